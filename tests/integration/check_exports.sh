#!/usr/bin/env bash
# check_exports.sh PLUGIN.so
# A host finds the plug-in through VSTPluginMain (older hosts through main).
# Nothing else may be exported as a function: stray exports clash with other
# plug-ins loaded into the same host. Both names must be one function.
set -euo pipefail
plugin=${1:?usage: check_exports.sh PLUGIN.so}
[[ -f "$plugin" ]] || { echo "FAIL: $plugin does not exist"; exit 1; }

# Defined FUNC/IFUNC symbols of the dynamic table, as "address name".
syms=$(readelf -W --dyn-syms "$plugin" |
  awk '$4 ~ /^(FUNC|IFUNC)$/ && $5 ~ /^(GLOBAL|WEAK|GNU_UNIQUE)$/ && $7 != "UND" { sub(/@.*/, "", $8); print $2, $8 }' |
  sort -k2)
echo "defined dynamic functions of $plugin:"
echo "$syms" | sed 's/^/  /'

names=$(echo "$syms" | awk '{ print $2 }' | sort | tr '\n' ' ')
if [[ "$names" != "VSTPluginMain main " ]]; then
  echo "FAIL: expected exactly 'VSTPluginMain main', got '$names'"
  exit 1
fi
addr_vst=$(echo "$syms" | awk '$2 == "VSTPluginMain" { print $1 }')
addr_main=$(echo "$syms" | awk '$2 == "main" { print $1 }')
if [[ "$addr_vst" != "$addr_main" ]]; then
  echo "FAIL: VSTPluginMain at $addr_vst but main at $addr_main"
  exit 1
fi

# Cross-check with nm: the same two names at one address.
nm_syms=$(nm -D --defined-only "$plugin" | awk '$2 ~ /^[TWi]$/ { print $1, $3 }' | sort -k2)
if [[ "$(echo "$nm_syms" | awk '{ print $2 }' | tr '\n' ' ')" != "VSTPluginMain main " ]]; then
  echo "FAIL: nm -D sees other defined functions:"
  echo "$nm_syms"
  exit 1
fi
echo "OK: exports exactly VSTPluginMain and main, both at 0x$addr_vst"
