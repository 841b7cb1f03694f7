# Debian packages the build, tests and programs need; sourced by the other scripts.
GLITTER_PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libembree-dev libopenexr-dev libpng-dev
    python3-dev pybind11-dev python3-numpy python3-pytest python3-matplotlib
    libcpp-httplib-dev nlohmann-json3-dev chromium nodejs
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

# The studio's page tests drive the system's chromium with playwright-core from npm, installed
# into their own folder from the lock file; nothing downloads a browser.
glitter_install_node_deps() {
    local root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    if ! command -v npm >/dev/null; then
        local sudo=()
        [[ $(id -u) -eq 0 ]] || sudo=(sudo)
        DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -q --no-install-recommends npm
    fi
    if [[ ! -d "$root/tests/apps/studio/node_modules/playwright-core" ]]; then
        (cd "$root/tests/apps/studio" &&
            PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1 npm ci --no-audit --no-fund)
    fi
}

# Installs what is missing, then configures the release preset and builds one program target
# (with the plug-in library it loads), as the one-line commands of the README do.
glitter_build_release_program() {
    local root
    root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
    (
        cd "$root"
        glitter_install_deps
        cmake --preset release >/dev/null
        cmake --build --preset release --target "$1" -j "$(nproc)"
    )
}
