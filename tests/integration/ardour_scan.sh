#!/usr/bin/env bash
# ardour_scan.sh ORV_INFO PLUGIN.so NAME CATEGORY INPUTS OUTPUTS
# Runs Ardour's VST2 scanner on the plug-in, as Ardour does before offering it,
# and checks the cache entry it writes against what the plug-in reports.
# Exits 77 (skipped) when Ardour is not installed, or when ORV_SANITIZED_BUILD=1:
# the scanner is not built with ASan and cannot load an ASan-built module, and
# preloading the ASan runtime into it deadlocks its exit (glibc's locale lock is
# taken by libp11-kit's constructor while ASan initialises).
set -euo pipefail
orv_info=${1:?usage: ardour_scan.sh ORV_INFO PLUGIN.so NAME CATEGORY INPUTS OUTPUTS}
plugin=$(realpath "${2:?missing plug-in}")
name=${3:?missing name}
category=${4:?missing category}
inputs=${5:?missing input count}
outputs=${6:?missing output count}

if [[ "${ORV_SANITIZED_BUILD:-0}" == 1 ]]; then
  echo "sanitizer build: Ardour's scanner cannot load this module; checked in the plain build: skipped"
  exit 77
fi

scanner=""
for candidate in /usr/lib/ardour*/ardour-vst-scanner; do
  [[ -x "$candidate" ]] && scanner=$candidate
done
if [[ -z "$scanner" ]] && command -v dpkg >/dev/null; then
  scanner=$(dpkg -L ardour 2>/dev/null | grep '/ardour-vst-scanner$' | head -n1 || true)
fi
if [[ -z "$scanner" || ! -x "$scanner" ]]; then
  echo "ardour-vst-scanner not found (install ardour): skipped"
  exit 77
fi

home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT

# What the plug-in itself reports, to compare the scanner's view against.
info=$(HOME="$home" XDG_CONFIG_HOME="$home/.config" "$orv_info" "$plugin") || { echo "FAIL: orv-info failed"; exit 1; }
flags=$(sed -n 's/^Flags: *\(0x[0-9a-fA-F]*\).*/\1/p' <<<"$info")
unique_id=$(sed -n 's/^Unique id: .*(\(-\{0,1\}[0-9]*\))$/\1/p' <<<"$info")
[[ -n "$flags" && -n "$unique_id" ]] || { echo "FAIL: cannot read flags and unique id from orv-info"; exit 1; }
has_editor=$((flags & 1))

echo "running $scanner on $plugin"
# The scanner exits 0 even when it rejects a module; the cache file is the verdict.
HOME="$home" XDG_CONFIG_HOME="$home/.config" LD_LIBRARY_PATH="$(dirname "$scanner")" \
  timeout 120 "$scanner" -f "$plugin" </dev/null

shopt -s nullglob
caches=("$home"/.cache/ardour*/vst/*.v2i)
if ((${#caches[@]} != 1)); then
  echo "FAIL: expected one VST2 cache file under $home/.cache/ardour*/vst/, found ${#caches[@]}"
  exit 1
fi
echo "cache ${caches[0]##*/}:"
cat "${caches[0]}"

entries=$(grep -c '<VST2Info ' "${caches[0]}" || true)
[[ "$entries" == 1 ]] || { echo "FAIL: expected one VST2Info entry, found $entries"; exit 1; }
entry=$(grep '<VST2Info ' "${caches[0]}")
binary=$(grep -o ' binary="[^"]*"' "${caches[0]}" | sed 's/^ binary="//; s/"$//')

attr() {
  local v
  v=$(grep -o " $1=\"[^\"]*\"" <<<"$entry" | sed "s/^ $1=\"//; s/\"\$//") || true
  v=${v//&lt;/<}; v=${v//&gt;/>}; v=${v//&quot;/\"}; v=${v//&apos;/\'}; v=${v//&amp;/&}
  printf '%s' "$v"
}

failures=0
expect() {  # expect LABEL ACTUAL EXPECTED
  if [[ "$2" == "$3" ]]; then
    echo "ok   $1 = '$2'"
  else
    echo "FAIL $1 = '$2', expected '$3'"
    failures=$((failures + 1))
  fi
}
expect binary "$binary" "$plugin"
expect name "$(attr name)" "$name"
expect id "$(attr id)" "$unique_id"
expect category "$(attr category)" "$category"
expect n_inputs "$(attr n_inputs)" "$inputs"
expect n_outputs "$(attr n_outputs)" "$outputs"
expect is_instrument "$(attr is_instrument)" 0
expect can_process_replace "$(attr can_process_replace)" 1
expect has_editor "$(attr has_editor)" "$has_editor"
((failures == 0)) || exit 1
echo "OK: Ardour's scanner accepts $name"
