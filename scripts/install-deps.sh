#!/usr/bin/env bash
# Installs what building and testing Kestrun needs on Debian 12 (run as root).
set -euo pipefail

packages=(cmake make g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev nlohmann-json3-dev
    # the windows: Qt's CMake package also wants the OpenGL headers; without a font
    # offscreen tests have no text metrics; xdg-utils brings the mail composer call
    qt6-base-dev libgl1-mesa-dev fonts-dejavu-core xdg-utils
    # the plot window draws with QCustomPlot's Qt 6 build (the -dev package also ships
    # the Qt 5 build, which is not linked); Qt Charts only for bench_plot_library, which
    # measured the two side by side (its CMake package needs the Qt 6 OpenGL headers)
    libqcustomplot-dev libqcustomplot2.1-qt6 qt6-charts-dev libqt6opengl6-dev
    # the translations: Qt6LinguistTools (CMake) and lrelease, which compiles them at build time;
    # Qt's own texts (standard buttons, file dialogs) in the user's language
    qt6-tools-dev qt6-l10n-tools qt6-tools-dev-tools qt6-translations-l10n
    # the fuzz targets (scripts/fuzz.sh): clang with libFuzzer and its sanitizers
    clang-14 libclang-rt-14-dev
    # the network port tests serve a pseudo-terminal with it
    ser2net
    # the script host embeds Lua 5.4, built as C++ (pkg-config lua5.4-c++)
    liblua5.4-dev)
# the Debian package: dpkg-shlibdeps (dpkg-dev) computes its dependencies, the rest check it
packages+=(dpkg-dev file desktop-file-utils appstream lintian shared-mime-info)
# the tests read the Wireshark captures with tshark (it asks about capturing as a
# non-root user: the non-interactive install keeps its default, no)
packages+=(tshark)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
