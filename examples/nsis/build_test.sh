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
out=${E2E_WORK:?}/build
# shellcheck source=../lib.sh
. "$here/../lib.sh"
export INSTALLLOG=${E2E_HOST_INSTALLLOG:?} WIN_BUILD=${E2E_WIN_BUILD:?}
# A 64-bit build's programs need a 64-bit installer to run where 32-bit code
# cannot.
[ "${E2E_PROGRAM_BITS:-32}" = 64 ] && export NSIS_TARGET=amd64-unicode
rm -rf "$out"
mkdir -p "$out"

"$here/build.sh" "$out" >"$out/build.log" 2>&1
rc=$?
sed 's/^/  | /' "$out/build.log"
[ "$rc" -eq 0 ] || fail "build.sh exited $rc: verify must find the prefix as before the install"
manifest=$out/sample-notes.json
for want in '"%currentdir%..\\"' '"%currentdir%\\data\\Brouillons\\"' \
  '"%currentdir%\\data\\Modèles\\mémo.txt"' '"%windir%\\SampleNotes.ini"' \
  '"Software\\Sample Vendor\\Sample Notes\\Settings\\"' '"SampleNotes.Document\\shell\\open\\"' \
  '"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Sample Notes\\"' \
  '"LinkName": "Read me"' '"GroupName": "Sample Notes"'; do
  grep -qF -- "$want" "$manifest" || fail "the captured log lacks $want"
done

# One key and one link less: what verify must name.
python3 - "$manifest" "$out/incomplete.json" <<'PY'
import json, sys
m = json.load(open(sys.argv[1], encoding="utf-8"))
m["RegKeys"] = [k for k in m["RegKeys"] if k["SubKey"] != ".sampnote\\"]
m["Links"] = [l for l in m["Links"] if l["LinkName"] != "Read me"]
json.dump(m, open(sys.argv[2], "w", encoding="utf-8"), ensure_ascii=False, indent=2)
PY
"$here/build.sh" "$out" "$out/incomplete.json" >"$out/incomplete.log" 2>&1
rc=$?
sed 's/^/  | /' "$out/incomplete.log"
[ "$rc" -eq 1 ] || fail "verify of the incomplete log exited $rc, not 1"
grep -qF 'leftover: HKEY_LOCAL_MACHINE\Software\Classes\.sampnote\ (key)' "$out/incomplete.log" ||
  fail "verify did not name the key the log lacks"
grep -qF '\Programs\Sample Notes\ (holding Read me.lnk)' "$out/incomplete.log" ||
  fail "verify did not name the link the log lacks (in the group, which stays)"

finish "$out"
