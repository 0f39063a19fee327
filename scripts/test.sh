#!/usr/bin/env bash
# Installs what is missing, builds Quarvel with its tests and runs them all;
# then builds them again with clang under AddressSanitizer and
# UndefinedBehaviorSanitizer, runs them there (any report fails the test) and
# fuzzes each text parser for a bounded time.
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS="${QUARVEL_FUZZ_SECONDS:-15}"

bash scripts/install-deps.sh test
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARVEL_WERROR=ON
cmake --build build
(cd build && ctest --output-on-failure --parallel 2)

cmake -S . -B build-asan -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang-14 -DCMAKE_CXX_COMPILER=clang++-14 \
    -DQUARVEL_SANITIZE=ON -DQUARVEL_BUILD_FUZZ=ON -DQUARVEL_BUILD_BENCH=OFF -DQUARVEL_WERROR=ON
cmake --build build-asan
(cd build-asan && ctest --output-on-failure --parallel 2)

# Each fuzzer starts from the corpus in the repo and writes what it finds into
# a scratch folder; a crash or broken property leaves its input in
# build-asan/fuzz-findings and fails the run.
bash scripts/fuzz.sh build-asan "$FUZZ_SECONDS"
