#!/bin/sh
# The whole `melodrift-cli recognize` command against a general-purpose note
# tracker (Debian's aubio-tools, `aubionotes`) on one take, both measured in
# the same hyperfine run; prints the ratio of their mean wall times and of
# their CPU times (user + system), which a busy machine disturbs less.
#
# Usage: bench/cli/recognize-speed.sh TAKE.wav TEMPO [BUILD_DIR]
set -eu
take=${1:?usage: $0 TAKE.wav TEMPO [BUILD_DIR]}
tempo=${2:?usage: $0 TAKE.wav TEMPO [BUILD_DIR]}
build=${3:-build}
for tool in hyperfine aubionotes python3; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "$tool is not installed (apt-get install hyperfine aubio-tools): nothing measured"
        exit 0
    fi
done
out=$(mktemp)
trap 'rm -f "$out"' EXIT
hyperfine -N -w 3 -r 30 --export-json "$out" \
    "$build/bin/melodrift-cli recognize $take --tempo $tempo --metre 4/4 --json" \
    "aubionotes -i $take"
python3 - "$out" <<'PY'
import json, sys
ours, theirs = json.load(open(sys.argv[1]))["results"]
cpu = lambda r: r["user"] + r["system"]
print(f"recognize {ours['mean']*1000:.0f} ms wall, {cpu(ours)*1000:.0f} ms CPU; "
      f"aubionotes {theirs['mean']*1000:.0f} ms wall, {cpu(theirs)*1000:.0f} ms CPU")
print(f"recognize is {theirs['mean']/ours['mean']:.1f}x faster by wall time, {cpu(theirs)/cpu(ours):.1f}x by CPU time")
PY
