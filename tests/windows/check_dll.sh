#!/usr/bin/env bash
# check_dll.sh OBJDUMP PLUGIN.dll
# What a Windows host sees of the DLL before loading it: exactly two exports,
# VSTPluginMain and main, at one address; imports only from DLLs that every
# Windows has (the C runtime msvcrt.dll included), so nothing needs to be
# installed beside the plug-in.
set -euo pipefail
objdump=${1:?usage: check_dll.sh OBJDUMP PLUGIN.dll}
dll=${2:?usage: check_dll.sh OBJDUMP PLUGIN.dll}
[[ -f $dll ]] || { echo "FAIL: $dll does not exist"; exit 1; }

table=$("$objdump" -p "$dll")
names=$(echo "$table" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/^\t\[/ { print $NF }' | sort | tr '\n' ' ')
addresses=$(echo "$table" | sed -n '/^Export Address Table -- Ordinal Base/,/^$/p' | awk '/Export RVA/ { print $(NF-2) }' | sort -u)
imports=$(echo "$table" | awk '/DLL Name:/ { print $3 }' | sort -f | tr '\n' ' ')
echo "exports of $dll: $names(address $addresses)"
echo "imports: $imports"

status=0
if [[ $names != "VSTPluginMain main " ]]; then
  echo "FAIL: expected exactly 'VSTPluginMain main'"
  status=1
fi
if [[ $(echo "$addresses" | wc -l) != 1 ]]; then
  echo "FAIL: the two exports are different functions"
  status=1
fi
for dep in $imports; do
  case ${dep,,} in
    kernel32.dll | user32.dll | advapi32.dll | msvcrt.dll) ;;
    *) echo "FAIL: imports $dep, which a host's machine may not have"; status=1 ;;
  esac
done
((status == 0)) && echo "OK"
exit $status
