# Debian packages the build, tests and programs need; sourced by the other scripts.
GLITTER_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libembree-dev libopenexr-dev libpng-dev
    python3-dev pybind11-dev python3-numpy python3-pytest python3-matplotlib
    python3-distributed
)

glitter_install_deps() {
    local missing=()
    for pkg in "${GLITTER_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if ((${#missing[@]})); then
        echo "Installing missing Debian packages: ${missing[*]}"
        local sudo=()
        [[ $(id -u) -eq 0 ]] || sudo=(sudo)
        "${sudo[@]}" apt-get update -q
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
    fi
}
