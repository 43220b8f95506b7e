#!/usr/bin/env bash
# Runs a Windows executable under Wine in the tests' private prefix, which it
# prepares on first use. CMake uses this as the cross-compiling emulator, so
# `ctest` and add_test() run .exe files as if they were native.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
prefix=$(realpath -m -- "${OSPREL_TEST_WINEPREFIX:-$here/../build/wineprefix-tests}")
# make test asks for it: it locks the prefix and stops its server after.
if [ "${1:-}" = --prefix ]; then echo "$prefix"; exit 0; fi
# shellcheck source=../scripts/wine-env.sh
. "$here/../scripts/wine-env.sh"

# A 32-bit test program needs Wine's 32-bit loader: where it cannot run here,
# the test fails at once and says why.
if [ -f "$1" ] && ! pe_64bit "$1"; then wine32_ready || exit 1; fi

# The tests write the prefix's registry freely: never a prefix of a user's.
"$here/../scripts/wine-prefix.sh" "$prefix" ||
  { echo "wine-run.sh: OSPREL_TEST_WINEPREFIX=$prefix cannot be used (see above)" >&2; exit 3; }
wine_env "$prefix"
exec wine "$@"
