#!/usr/bin/env bash
# The developers' quick loop: an incremental build in build-check (no
# benchmarks, optimised as a release is so the tests run fast, ccache when it
# is there) and every test that needs neither the package build nor a CUPS or
# database server. The whole proof stays scripts/test.sh, which CI runs.
#
#   bash scripts/check.sh               # build, then the quick tests
#   bash scripts/check.sh -L data       # ...only the store's tests
#   bash scripts/check.sh -R item       # ...any ctest selection
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
if [[ ! -f build-check/build.ninja ]]; then
    cmake -S . -B build-check -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DQUARVEL_BUILD_BENCH=OFF "${launcher[@]}"
fi
cmake --build build-check

cd build-check
exec ctest --output-on-failure --parallel "$(nproc 2>/dev/null || echo 2)" \
    -LE "install|cups|postgres" "$@"
