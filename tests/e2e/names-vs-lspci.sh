#!/usr/bin/env bash
# The generated name database names the functions of the samples and of
# this machine as lspci does.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
native=${LUMIVAR_OUT:-$top/out}/native
dumps=("$top"/samples/*.txt)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if "$native/src/lumivar" --save-dump "$work/this-machine.txt" 2>/dev/null; then
  dumps+=("$work/this-machine.txt")
fi
python3 "$top/tests/e2e/names_vs_lspci.py" "$native/src/lumivar" "$native/pcidevs.txt" "${dumps[@]}"
