# Shared by the scripts in this folder; not meant to be run on its own.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
JOBS="$(nproc 2>/dev/null || echo 2)"

# What a fresh Debian 12 machine needs to build, test and run the program.
PACKAGES=(
    build-essential cmake
    qt6-base-dev qt6-multimedia-dev libqt6multimedia6 qt6-qpa-plugins
    gstreamer1.0-plugins-base gstreamer1.0-plugins-good
    fonts-wqy-microhei qt6-translations-l10n
    libtag1-dev
    xvfb xauth x11-utils xdotool imagemagick curl
    desktop-file-utils appstream dpkg-dev lintian
    bash-completion zsh fish
    dbus at-spi2-core python3-pyatspi systemd
)

# Installs whatever of PACKAGES (plus any given) is missing.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "${PACKAGES[@]}" "$@"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    echo "Installing: ${missing[*]}"
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# [BUILD_TARGETS="a b"] configure_and_build BUILD_DIR [cmake options...]
configure_and_build() {
    local dir="$1"
    shift
    # A compiler cache, where there is one, makes a second clone's build quick;
    # paths below the source folder are hashed relative to it.
    if command -v ccache >/dev/null 2>&1; then
        export CCACHE_BASEDIR="$ROOT"
        set -- -DCMAKE_CXX_COMPILER_LAUNCHER=ccache "$@"
    fi
    cmake -S "$ROOT" -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    # BUILD_TARGETS, where set, names the only targets wanted (and what they need).
    # shellcheck disable=SC2086
    cmake --build "$dir" -j "$JOBS" ${BUILD_TARGETS:+--target $BUILD_TARGETS}
}
