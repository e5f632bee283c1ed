#!/usr/bin/env bash
# Configures and builds both trees: build/win32 (Zandle.dll and the Windows programs,
# cross-built) and build/native (client core under sanitizers, fuzz target, service).
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
jobs=${ZANDLE_JOBS:-$(nproc)}
[ -f build/win32/build.ninja ] ||
  cmake -S . -B build/win32 -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake -DCMAKE_BUILD_TYPE=RelWithDebInfo
[ -f build/native/build.ninja ] ||
  cmake -S . -B build/native -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build/win32 -j "$jobs"
cmake --build build/native -j "$jobs"
