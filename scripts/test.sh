#!/usr/bin/env bash
# Installs what is missing, builds Quarvel with its tests (and benchmarks,
# so they keep compiling) and runs them all; then builds them again with
# clang under AddressSanitizer and UndefinedBehaviorSanitizer, runs them there
# (any report fails the test) and fuzzes each text parser for a bounded time.
# The builds are the CMake presets "test" (build/) and "asan" (build-asan/).
set -euo pipefail
cd "$(dirname "$0")/.."

FUZZ_SECONDS="${QUARVEL_FUZZ_SECONDS:-15}"

bash scripts/install-deps.sh test
cmake --preset test
cmake --build --preset test
ctest --preset test

cmake --preset asan
cmake --build --preset asan
ctest --preset asan

# Each fuzzer starts from the corpus in the repo and writes what it finds into
# a scratch folder; a crash or broken property leaves its input in
# build-asan/fuzz-findings and fails the run.
bash scripts/fuzz.sh build-asan "$FUZZ_SECONDS"
