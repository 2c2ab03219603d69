#!/usr/bin/env bash
# compare_with_linux.sh WINE_RUN WIN_PROBE PLUGIN.dll LINUX_PROBE PLUGIN.so OUT_DIR
# Renders orv_probe's fixed programme with the Linux module, then with the DLL
# under wine, which compares the two sample by sample (1e-6 of full scale).
# The arithmetic is the same IEEE double arithmetic on both (SSE2, no fused
# multiply-adds outside the Hilbert sum, whose AVX2 clone only Linux picks);
# what differs is the C library's pow, sin, cos and log10 (glibc's against
# mingw-w64's and msvcrt's), which round the last bit differently now and then.
set -euo pipefail
wine_run=$1 win_probe=$2 dll=$3 linux_probe=$4 so=$5 out=$6
name=$(basename "$dll" .dll)

if [[ ! -x $linux_probe || ! -f $so ]]; then
  echo "skipped: no Linux build to compare with ($linux_probe, $so); scripts/build makes one"
  exit 77
fi
mkdir -p "$out"
linux_file=$out/$name.linux.f64
windows_file=$out/$name.$(basename "$(dirname "$(dirname "$dll")")").f64

# The Linux instance keeps its meter settings in a folder of its own.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
XDG_CONFIG_HOME=$home HOME=$home "$linux_probe" render "$so" "$linux_file"

# Under wine, drive Z: is the Unix root.
winpath() { local p=${1//\//\\}; echo "Z:$p"; }
"$wine_run" "$win_probe" render "$(winpath "$dll")" "$(winpath "$windows_file")" "$(winpath "$linux_file")"
