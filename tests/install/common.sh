# Shared by the install and package checks.
fail() {
    echo "FAIL: $*"
    exit 1
}

# Skips the check (CTest's SKIP_RETURN_CODE) when a tool is missing.
need() {
    local tool=$1 package=$2
    if ! command -v "$tool" >/dev/null; then
        echo "SKIP: $tool is not installed (Debian package $package)"
        exit 77
    fi
}

# The one package the fixture built, or a skip when it could not be built.
built_package() {
    local dir=$1 debs
    debs=("$dir"/quarvel_*.deb)
    if [[ ! -f ${debs[0]} ]]; then
        echo "SKIP: no package in $dir (test_deb_build was skipped)" >&2
        exit 77
    fi
    echo "${debs[0]}"
}
