#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, and any named as arguments;
# does nothing when all are there.
set -euo pipefail

packages=(
    g++ make ninja-build cmake pkg-config
    qtbase5-dev qtbase5-dev-tools
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins
    fonts-dejavu-core fonts-dejavu-extra fonts-urw-base35 fonts-noto-core fonts-liberation2
    xvfb xauth
    clang libclang-rt-14-dev
    libqt5svg5 libqt6svg6 qt5-image-formats-plugins qt6-image-formats-plugins
    desktop-file-utils dpkg-dev file man-db
    otf2bdf xfonts-utils time zlib1g-dev
    libxml2-utils
    slurmctld slurmd slurm-client munge
)
# Callers may ask for more, such as the benchmarks' yardsticks.
packages+=("$@")

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

sudo=()
if [ "$(id -u)" -ne 0 ]; then
    sudo=(sudo)
fi
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
