#!/usr/bin/env bash
# The README's command that starts a Windows preset's Wine session by hand, taken from the README
# and run as written, in a scratch checkout of links to this one's scripts and tests, so that the
# suite's own prefix is left alone. It must make the prefix and start its session.
#
#     readme_start_wine.sh SCRATCH_FOLDER
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
scratch="$1"
command="$(grep -o '`source scripts/wine-env; [^`]*`' "$root/README.md" | tr -d '`')"
if [ -z "$command" ]; then
    echo "FAIL: the README shows no 'source scripts/wine-env; ...' command"
    exit 1
fi
rm -rf "$scratch"
mkdir -p "$scratch"
ln -s "$root/scripts" "$root/tests" "$scratch/"
prefix="$scratch/build/wine/prefix64"
status=0
(cd "$scratch" && env -u WINEPREFIX -u WINEARCH -u WINELOADER bash -c "$command") || status=$?
problems=()
[ "$status" -eq 0 ] || problems+=("it ended with exit status $status")
[ -f "$prefix/.ovuninst-prefix" ] || problems+=("it made no prefix at $prefix")
[ -f "$prefix.session.txt" ] || problems+=("it started no session ($prefix.session.txt is missing)")
WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
if ((${#problems[@]})); then
    echo "FAIL: $command"
    printf '    %s\n' "${problems[@]}"
    exit 1
fi
rm -rf "$scratch"
echo "PASS: $command"
