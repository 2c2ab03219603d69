#!/usr/bin/env bash
# run_orv_info.sh ok   ORV_INFO PLUGIN TEXT...   exit 0 and every TEXT in the output
# run_orv_info.sh fail ORV_INFO PLUGIN REGEX     non-zero exit, nothing on stdout,
#                                                one line on stderr matching REGEX
set -uo pipefail
mode=$1 orv_info=$2 plugin=$3
shift 3
out=$(mktemp) err=$(mktemp)
trap 'rm -f "$out" "$err"' EXIT
"$orv_info" "$plugin" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2

case $mode in
  ok)
    ((rc == 0)) || { echo "FAIL: orv-info exited $rc"; exit 1; }
    for text; do
      grep -qF -- "$text" "$out" || { echo "FAIL: output lacks '$text'"; exit 1; }
    done
    ;;
  fail)
    ((rc != 0)) || { echo "FAIL: orv-info exited 0"; exit 1; }
    [[ ! -s "$out" ]] || { echo "FAIL: orv-info printed on stdout"; exit 1; }
    [[ $(wc -l <"$err") == 1 ]] || { echo "FAIL: expected one error line"; exit 1; }
    grep -qE -- "$1" "$err" || { echo "FAIL: error does not match '$1'"; exit 1; }
    ;;
  *) echo "unknown mode $mode"; exit 2 ;;
esac
echo "OK"
