#!/usr/bin/env bash
# Installs the build tree into a scratch prefix, then builds a small consumer against it twice,
# through the CMake package and through pkg-config, and reads back the symbols each one writes.
# Usage: check_install.sh BUILD_DIR SOURCE_DIR C++_COMPILER
set -euo pipefail
build="$1" source="$2" cxx="$3"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

test -f "$prefix/include/glyphwell/encoder/pipeline.h"
test -f "$prefix/include/glyphwell/image/gw_image.h"
test -f "$prefix/lib/cmake/Glyphwell/GlyphwellConfig.cmake"
test -f "$prefix/lib/pkgconfig/glyphwell.pc"

cmake -S "$source/tests/install/consumer" -B "$work/consumer" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer" "installed package" "$work/package.png"
test "$(zbarimg -q --raw "$work/package.png" 2>/dev/null)" = "installed package"

export PKG_CONFIG_PATH="$prefix/lib/pkgconfig"
"$cxx" -std=c++17 "$source/tests/install/consumer/consumer.cpp" -o "$work/pc-consumer" \
       $(pkg-config --cflags --libs glyphwell)
"$work/pc-consumer" "through pkg-config" "$work/pc.png"
test "$(zbarimg -q --raw "$work/pc.png" 2>/dev/null)" = "through pkg-config"
echo "installed tree: CMake package and pkg-config consumers built and read back"
