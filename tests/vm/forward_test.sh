#!/usr/bin/env bash
# A command forwarded to the guest ends on the host as it ended there: exit
# code, signal, stdout and stderr apart, the working folder and environment
# it was given; a guest that is not there or says nothing fails with a "vm:"
# message within the time it was given.
set -uo pipefail
exec_guest=$(cd "$(dirname "$0")/../../tools/vm" && pwd)/exec
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# name | command | expected exit code | expected stdout | expected stderr
while IFS='|' read -r name command code out err; do
  [ -n "$name" ] || continue
  (cd "$work" && KW_FORWARD_PROBE="a b" "$exec_guest" bash -c "$command" >"$work/out" 2>"$work/err")
  got=$?
  [ "$got" = "$code" ] || fail "$name: exit code $got, expected $code"
  [ "$(cat "$work/out")" = "$out" ] || fail "$name: stdout '$(cat "$work/out")', expected '$out'"
  [ "$(cat "$work/err")" = "$err" ] || fail "$name: stderr '$(cat "$work/err")', expected '$err'"
done <<CASES
success|echo out; echo err >&2|0|out|err
exit code|echo partial; exit 7|7|partial|
working folder|pwd|0|$work|
environment|printf %s "\$KW_FORWARD_PROBE"|0|a b|
signal|kill -TERM \$\$|143||
CASES

# A program the guest does not have.
"$exec_guest" /nonexistent/program >"$work/out" 2>"$work/err"
got=$?
[ "$got" = 127 ] || fail "missing program: exit code $got, expected 127"
grep -q "/nonexistent/program: command not found" "$work/err" || fail "missing program: $(cat "$work/err")"

# Much output in both streams arrives whole.
"$exec_guest" bash -c 'seq 1 200000; seq 1 50000 >&2' >"$work/out" 2>"$work/err"
[ "$(wc -l <"$work/out")" = 200000 ] && [ "$(tail -n1 "$work/out")" = 200000 ] || fail "long stdout cut short"
[ "$(wc -l <"$work/err")" = 50000 ] || fail "long stderr cut short"

# A file the host writes is what the guest reads, at once, and the other way.
echo "from the host" >"$work/file"
[ "$("$exec_guest" cat "$work/file")" = "from the host" ] || fail "the guest does not read what the host wrote"
"$exec_guest" bash -c "echo from the guest >'$work/file'"
[ "$(cat "$work/file")" = "from the guest" ] || fail "the host does not read what the guest wrote"

# A command that outlives its silence limit is reported, not waited for.
start=$(date +%s)
KW_WINE_VM_SILENCE_TIMEOUT=2 "$exec_guest" bash -c 'exec 1>&- 2>&-; sleep 1000 </dev/null' >"$work/out" 2>"$work/err"
got=$?
# The guest sends keep-alives every 5 s, so a 2 s limit ends the wait.
[ "$got" = 125 ] || fail "silent command: exit code $got, expected 125"
grep -q "^vm: the guest said nothing for 2 s" "$work/err" || fail "silent command: $(cat "$work/err")"
[ $(( $(date +%s) - start )) -lt 30 ] || fail "silent command took $(( $(date +%s) - start )) s to be reported"

[ "$failures" = 0 ] && echo "forwarding: all cases pass"
exit "$failures"
