#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the sample job need,
# skipping those already present.  Run as root on Debian 12.
set -euo pipefail

packages=(
  # build
  g++ cmake make pkg-config clang libclang-rt-14-dev
  libcups2-dev libcupsimage2-dev libpng-dev libhwy-dev
  # tests and benchmarks
  googletest libgtest-dev libbenchmark-dev
  # printer descriptions and the CUPS print path
  cups cups-client cups-bsd cups-ppdc cups-filters ghostscript
  # the printer application: PAPPL, Little CMS, ghostscript's ICC profiles
  libpappl-dev liblcms2-dev libgs-common
  # its tests: the web interface through curl and headless Chromium
  curl chromium
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -ne 0 ]; then sudo=sudo; else sudo=; fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
