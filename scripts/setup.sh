#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the tools need, when
# any is missing. Safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libgeographiclib-dev libosmium2-dev libprotozero-dev libboost-dev libpugixml-dev nlohmann-json3-dev
  zlib1g-dev libbz2-dev libexpat1-dev liblz4-dev
  clang libclang-rt-14-dev clang-format clang-tidy doxygen valgrind jq
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
