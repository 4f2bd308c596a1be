#!/usr/bin/env bash
# The NSIS example built as its author builds it (build.sh: stage, build,
# capture, write, build again, verify) must verify clean, its captured log
# naming the vendor folder above the application folder and the empty staged
# folder. Then the same with a log that lacks one registry key and one link:
# verify must fail and name both.
#
# Run by ctest (examples/nsis/CMakeLists.txt sets the environment: E2E_WORK,
# E2E_HOST_INSTALLLOG, E2E_WIN_BUILD, E2E_PROGRAM_BITS and the INSTALLLOG_*
# variables that make capture and verify copy the tests' template prefix).
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=../lib.sh
. "$here/../lib.sh"
test_start
# A 64-bit build's programs need a 64-bit installer to run where 32-bit code
# cannot.
[ "${E2E_PROGRAM_BITS:-32}" = 64 ] && export NSIS_TARGET=amd64-unicode

# verify must find the prefix as before the install.
run_logged build.log 0 "$here/build.sh" "$out"
manifest=$out/sample-notes.json
expect_in "$manifest" '"%currentdir%..\\"' '"%currentdir%\\data\\Brouillons\\"' \
  '"%currentdir%\\data\\Modèles\\mémo.txt"' '"%windir%\\SampleNotes.ini"' \
  '"Software\\Sample Vendor\\Sample Notes\\Settings\\"' '"SampleNotes.Document\\shell\\open\\"' \
  '"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample Notes\\"' \
  '"LinkName": "Read me"' '"GroupName": "Sample Notes"'

# One key and one link less: what verify must name.
python3 - "$manifest" "$out/incomplete.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1], encoding="utf-8"))
m["RegKeys"] = [k for k in m["RegKeys"] if k["SubKey"] != ".sampnote\\"]
m["Links"] = [l for l in m["Links"] if l["LinkName"] != "Read me"]
json.dump(m, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False, indent=2)
PY
run_logged incomplete.log 1 "$here/build.sh" "$out" "$out/incomplete.json"
# The key, and the group that the link left behind keeps.
expect_in "$out/incomplete.log" 'leftover: HKEY_LOCAL_MACHINE\Software\Classes\.sampnote\ (key)' \
  '\Programs\Sample Notes\ (holding Read me.lnk)'

finish
