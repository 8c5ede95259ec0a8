#!/usr/bin/env bash
# --details and --json on every sample and on this machine: the JSON against
# docs/lumivar-json.schema.json, the decoded capabilities, bridges and BARs
# against lspci -vv of the same bytes (0 differences), and every sample's
# --details text without a failure.
set -euo pipefail
top=$(cd "$(dirname "$0")/../.." && pwd)
lumivar=${LUMIVAR:-${LUMIVAR_OUT:-$top/out}/native/src/lumivar}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
dumps=("$top"/samples/*.txt)
live=()
# This machine: as root sysfs gives every byte; lspci saves the same bytes
# as a dump, which both then read.
if [ "$(id -u)" = 0 ] && "$lumivar" --json >/dev/null 2>"$work/err.txt"; then
  lspci -xxxx >"$work/this-machine.txt"
  dumps+=("$work/this-machine.txt")
  live=(--live)
else
  echo "deep-view: this machine is skipped: its configuration space cannot be read here" \
    "($(id -u) = uid; $(head -c 200 "$work/err.txt" 2>/dev/null))"
fi
for dump in "${dumps[@]}"; do
  "$lumivar" --from "$dump" --details >/dev/null 2>"$work/err.txt" ||
    { echo "FAIL: --details of $dump: $(cat "$work/err.txt")"; exit 1; }
done
python3 "$top/tests/e2e/deep_view_vs_lspci.py" "$lumivar" "$top/docs/lumivar-json.schema.json" \
  "${live[@]}" "${dumps[@]}"
