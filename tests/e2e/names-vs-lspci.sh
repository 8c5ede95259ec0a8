#!/usr/bin/env bash
# The generated name database names the functions of the samples and of
# this machine as lspci does.
set -uo pipefail
# shellcheck source-path=SCRIPTDIR source=lib/common.sh
. "$(dirname "$0")/lib/common.sh"
dumps=("$top"/samples/*.txt)
! "$lumivar" --save-dump "$work/this-machine.txt" 2>/dev/null || dumps+=("$work/this-machine.txt")
python3 "$top/tests/e2e/names_vs_lspci.py" "$lumivar" "$native/pcidevs.txt" "${dumps[@]}"
