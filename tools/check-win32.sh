#!/usr/bin/env bash
# Compiles the core and the Win32 backends with mingw-w64 (syntax only), to keep the Windows build
# possible. Needs Debian's g++-mingw-w64-x86-64-posix.
set -euo pipefail
cd "$(dirname "$0")/.."
compiler=x86_64-w64-mingw32-g++-posix
command -v "$compiler" >/dev/null || { echo "$compiler is not installed (apt-get install g++-mingw-w64-x86-64-posix)" >&2; exit 2; }
status=0
for file in common/*.cpp config/*.cpp serial/*.cpp modbus/*.cpp instrument/*.cpp console/*.cpp; do
  case "$file" in *_posix.cpp|*_linux.cpp|serial/SerialDevicePosix.cpp) continue ;; esac
  "$compiler" -std=c++20 -Wall -Wextra -Werror -fsyntax-only -I. "$file" || status=1
done
[ $status -eq 0 ] && echo "The core and the Win32 backends compile for Windows."
exit $status
