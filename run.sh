#!/usr/bin/env bash
# Installs what is missing, builds, and starts the simulator on the bundled default car.
set -euo pipefail
cd "$(dirname "$0")"
./setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build
if [ -x build/app/tralvik ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  cd data && exec ../build/app/tralvik
fi
if [ -x build/app/tralvik ]; then
  echo "No display: running the default drive headless with tralvik-batch instead."
fi
exec build/batch/tralvik-batch data
