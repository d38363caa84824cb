#!/usr/bin/env bash
# Runs a command with a private, freshly made Wine prefix and removes the prefix afterwards.
set -uo pipefail
prefix=$(mktemp -d /tmp/marlo-wine.XXXXXX)
# One locale everywhere, so that the code pages the tests see do not depend on the caller.
export LC_ALL=${LC_ALL:-C.UTF-8}
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
wineboot -i >/dev/null 2>&1
"$@"
rc=$?
wineserver -k >/dev/null 2>&1
rm -rf "$prefix"
exit $rc
