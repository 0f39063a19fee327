#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <QString>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// Fuzzed bytes as the text a user could type or paste: UTF-8, bad sequences
// turned into replacement characters as Qt turns them.
inline QString fuzzText(const uint8_t* data, size_t size) {
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline QString fuzzText(FuzzedDataProvider& in) {
    const std::string bytes = in.ConsumeRemainingBytesAsString();
    return QString::fromUtf8(bytes.data(), qsizetype(bytes.size()));
}

// A broken property stops the run like a crash, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                     \
    do {                                                                                          \
        if (!(condition)) {                                                                       \
            std::fprintf(stderr, "%s:%d: property broken: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                         \
        }                                                                                         \
    } while (false)
