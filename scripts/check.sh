#!/usr/bin/env bash
# The developers' quick loop: an incremental build in build-check (the
# CMake preset "check": no benchmarks, optimised as a release is so the
# tests run fast, warnings are errors as in CI, ccache when it is there),
# the formatting of the C++ files changed against main (or HEAD), and every
# test that needs neither the package build nor a CUPS or database server.
# The whole proof stays scripts/test.sh, which CI runs.
#
#   bash scripts/check.sh               # build, formatting, then the quick tests
#   bash scripts/check.sh -L data       # ...only the store's tests
#   bash scripts/check.sh -R item       # ...any ctest selection
#   bash scripts/check.sh -N            # build and formatting only (ctest lists the tests)
set -euo pipefail
cd "$(dirname "$0")/.."

launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
# Configured by the preset (again when an older build-check was not).
if [[ ! -f build-check/build.ninja ]] ||
    ! grep -q '^QUARVEL_WERROR:BOOL=ON' build-check/CMakeCache.txt; then
    cmake --preset check "${launcher[@]}"
fi
cmake --build --preset check

# The C++ files changed against main (HEAD when there is no main), as
# clang-format leaves them; committed, staged or not.
base=main
git rev-parse -q --verify main >/dev/null || base=HEAD
mapfile -t changed < <(git diff --name-only --diff-filter=d "$(git merge-base "$base" HEAD)" -- \
    '*.cpp' '*.h'; git ls-files --others --exclude-standard -- '*.cpp' '*.h')
if ((${#changed[@]})); then
    if command -v clang-format >/dev/null; then
        clang-format --dry-run -Werror "${changed[@]}"
    else
        echo "clang-format is missing: the formatting of ${#changed[@]} changed files is not checked" >&2
    fi
fi

exec ctest --preset check --parallel "$(nproc 2>/dev/null || echo 2)" "$@"
