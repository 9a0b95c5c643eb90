# Shared by scripts/run, scripts/test and scripts/package: installs what a
# fresh Debian 12 machine lacks and builds the project into a build folder of
# its own.

packages=(cmake ninja-build g++ qt6-base-dev qt6-serialbus-dev qt6-charts-dev libqt6opengl6-dev libqt6serialbus6-bin qt6-translations-l10n fonts-dejavu-core libbenchmark-dev python3-can
    qt6-l10n-tools librsvg2-bin desktop-file-utils appstream dpkg-dev file man-db)

install_missing() {
    local missing=()
    for p in "${packages[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing ${missing[*]}"
    local sudo=()
    [ "$(id -u)" -eq 0 ] || sudo=(sudo)
    "${sudo[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# build <folder> <cmake options>...
build() {
    local dir=$1
    shift
    [ -f "$dir/build.ninja" ] || cmake -S . -B "$dir" -G Ninja "$@"
    cmake --build "$dir" -j2
}
