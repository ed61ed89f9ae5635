#!/usr/bin/env bash
# Rebuilds the PE32+ fixtures of tests/platform/version/fixtures from their .rc
# sources with the MinGW resource compiler and linker
# (binutils-mingw-w64-x86-64): version resources in several languages, laid out
# by the Windows tool chain rather than by versioninfo.py. The built files are
# committed, so the tests do not need MinGW; run this after changing a source.
# The host C preprocessor stands in for the MinGW compiler's, and the link is
# without a timestamp, so the output is the same on every run.
#   tools/version/windres-fixtures.sh
set -euo pipefail
cd "$(dirname "$0")/../../tests/platform/version/fixtures"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
for rc in *.rc; do
  stem=${rc%.rc}
  x86_64-w64-mingw32-windres --preprocessor=cpp -i "$rc" -O coff -o "$tmp/$stem.o"
  x86_64-w64-mingw32-ld -s -e 0 --no-insert-timestamp -o "$stem.exe" "$tmp/$stem.o"
done
