# Shared by the scripts in this folder: package installation and the build.
# shellcheck shell=bash

ORLEK_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# What building and testing need on Debian 12.
ORLEK_PACKAGES=(
    cmake g++ ninja-build pkgconf
    qt6-base-dev libqt6sql6-sqlite qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools
    dbus-daemon dbus-bin
)

# Installs the given Debian packages that are not installed yet.
ensure_packages() {
    local missing=() pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        command -v sudo >/dev/null || { echo "missing packages: ${missing[*]} (run as root or install sudo)" >&2; return 1; }
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    "${sudo[@]}" apt-get update -q </dev/null
    "${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}" </dev/null
}

# configure_and_build <build dir> [extra cmake arguments...]
configure_and_build() {
    local dir=$1
    shift
    cmake -S "$ORLEK_ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
    cmake --build "$dir" --parallel "$(nproc)"
}
