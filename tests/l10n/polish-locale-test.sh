#!/usr/bin/env bash
# The start scripts' locale: a user whose language is not Polish gets the
# Polish one when it is installed; a Polish one the user chose stays.
set -euo pipefail
script=$1
got=$(env -i PATH="$PATH" LANG=C.UTF-8 LC_ALL=C.UTF-8 bash -c "source '$script'; echo \"\$LANG|\${LC_ALL:-}\"")
if locale -a 2>/dev/null | grep -qix 'pl_PL\.utf-\?8'; then
  [ "$got" = "pl_PL.UTF-8|" ] || { echo "expected the Polish locale, got '$got'"; exit 1; }
else
  [ "$got" = "C.UTF-8|C.UTF-8" ] || { echo "expected no change without a Polish locale, got '$got'"; exit 1; }
fi
kept=$(env -i PATH="$PATH" LANG=pl_PL.ISO-8859-2 bash -c "source '$script'; echo \"\$LANG\"")
[ "$kept" = "pl_PL.ISO-8859-2" ] || { echo "a Polish locale the user chose was replaced by '$kept'"; exit 1; }
echo "the start scripts' locale is right"
