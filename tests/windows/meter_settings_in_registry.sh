#!/usr/bin/env bash
# meter_settings_in_registry.sh WINE_RUN PROBE PLUGIN.dll
# An instance closed after the meter settings were changed leaves them in the
# prefix's real HKEY_CURRENT_USER, as `reg query` (wine's reg.exe) shows them:
# five 4-byte REG_BINARY values, little-endian floats.
set -euo pipefail
wine_run=$1 probe=$2 dll=$3
key='HKCU\SOFTWARE\Orv-acoustics\Kolvane20'
winpath() { local p=${1//\//\\}; echo "Z:$p"; }

"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
"$wine_run" "$probe" meters "$(winpath "$dll")"
listing=$("$wine_run" reg query "$key" | tr -d '\r')
"$wine_run" reg delete "$key" /f >/dev/null 2>&1 || true
echo "$listing"

# orv_probe sets 0.25, 0.75, 0.125, 0.875 and 1/3; the over counter is stored
# as its rounded step, 3/9, which is the same float as 1/3.
status=0
while read -r name hex; do
  line=$(echo "$listing" | awk -v n="$name" 'tolower($1) == tolower(n)')
  if [[ $line != *"REG_BINARY"*"$hex" ]]; then
    echo "FAIL: $name should be REG_BINARY $hex, found '${line:-nothing}'"
    status=1
  fi
done <<'VALUES'
vuintegration 0000803E
vureference 0000403F
ppmintegration 0000003E
ppmreturn 0000603F
overcounter ABAAAA3E
VALUES
count=$(echo "$listing" | grep -c REG_ || true)
if [[ $count != 5 ]]; then
  echo "FAIL: expected 5 values under $key, found $count"
  status=1
fi
((status == 0)) && echo "OK: five 4-byte REG_BINARY values under $key"
exit $status
