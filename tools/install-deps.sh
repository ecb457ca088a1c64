#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs the Debian packages Lumenlog needs, by group; the README's commands and CI take
# their lists from here.
#   tools/install-deps.sh                 build the program and run its unit tests
#   tools/install-deps.sh e2e fuzz ...    more groups (see below)
# Works as root (a container has no sudo) and as a user who may use sudo. When every package
# asked for is installed already it does nothing, so it needs neither root nor the network
# then.
set -euo pipefail

declare -A groups=(
    [build]="cmake ninja-build g++ qt6-base-dev fonts-dejavu-core"
    [e2e]="xvfb xauth xdotool x11-utils openbox xclip tidy syncthing curl jq"
    [checks]="clang clang-format clang-tidy"
    [fuzz]="clang libclang-rt-14-dev"
    [package]="desktop-file-utils appstream dpkg-dev file lintian man-db tidy"
    [wayland]="weston qt6-wayland"
)

packages=()
for group in "${@:-build}"; do
    if [ -z "${groups[$group]+set}" ]; then
        echo "install-deps: unknown group '$group' (groups: ${!groups[*]})" >&2
        exit 2
    fi
    read -ra listed <<<"${groups[$group]}"
    packages+=("${listed[@]}")
done

missing=()
for package in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${db:Status-Abbrev}' "$package" 2>/dev/null || true)
    [ "$status" = "ii " ] || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
    echo "install-deps: all ${#packages[@]} packages are installed"
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    as_root=(env)
elif command -v sudo >/dev/null; then
    as_root=(sudo env)
else
    echo "install-deps: installing ${missing[*]} needs root or sudo" >&2
    exit 1
fi
# A fresh machine has no package lists yet, and old ones may name files the mirror dropped.
"${as_root[@]}" apt-get update
"${as_root[@]}" DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${missing[@]}"
