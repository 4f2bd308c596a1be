#!/usr/bin/env bash
# Checks that a built Uninstall.exe is what we ship: a Windows GUI program of
# the expected machine type that imports nothing but system DLLs (statically
# linked: it needs nothing beside it but the log).
#   check_executable.sh EXE OBJDUMP "PE32 executable (GUI) Intel 80386"
set -euo pipefail
exe=$1 objdump=$2 expected=$3

kind=$(file -b "$exe")
case $kind in
  "$expected"*) echo "format: $kind" ;;
  *) echo "FAIL: $exe is '$kind', expected '$expected'" >&2; exit 1 ;;
esac

system_dlls='^(ADVAPI32|COMCTL32|GDI32|KERNEL32|msvcrt|ole32|OLEAUT32|SHELL32|USER32|SHLWAPI|UxTheme)\.(dll|DLL)$'
bad=0
headers=$("$objdump" -p "$exe")
while read -r dll; do
  if [[ $dll =~ $system_dlls ]]; then
    echo "imports: $dll"
  else
    echo "FAIL: imports $dll, which is not part of Windows" >&2
    bad=1
  fi
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")

[[ $headers == *"(Windows GUI)"* ]] || { echo "FAIL: not a GUI program" >&2; exit 1; }
[[ $(strings "$exe") == *requestedExecutionLevel* ]] || { echo "FAIL: no application manifest" >&2; exit 1; }
echo "manifest: present"
exit $bad
