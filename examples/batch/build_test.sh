#!/usr/bin/env bash
# The batch example built as its author builds it (build.sh: stage, capture,
# write, verify) must verify clean, its captured log naming the vendor
# folder and the empty staged folder. The same installer told to start the
# application with Windows adds a value to the shared Run key: capture must
# say that the log cannot undo it, and exit 1.
#
# Run by ctest with the environment of examples/nsis/build_test.sh, and
# BATCH_CMD for a 32-bit prefix kind under WOW64.
set -uo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
out=${E2E_WORK:?}/build
# shellcheck source=../lib.sh
. "$here/../lib.sh"
export INSTALLLOG=${E2E_HOST_INSTALLLOG:?} WIN_BUILD=${E2E_WIN_BUILD:?}
rm -rf "$out"
mkdir -p "$out"

"$here/build.sh" "$out" >"$out/build.log" 2>&1
rc=$?
sed 's/^/  | /' "$out/build.log"
[ "$rc" -eq 0 ] || fail "build.sh exited $rc: verify must find the prefix as before the install"
for want in '"%currentdir%..\\"' '"%currentdir%\\data\\Brouillons\\"' \
  '"Software\\Batch Vendor\\Batch Notes\\Settings\\"' '"Software\\Batch Vendor\\"'; do
  grep -qF -- "$want" "$out/batch-notes.json" || fail "the captured log lacks $want"
done

(cd "$out" && "$INSTALLLOG" capture --arch "${INSTALLLOG_ARCH:-win64}" --name "Batch Notes" \
  --main SampleNotes.exe -- "${BATCH_CMD:-cmd}" /c install.bat run >run.json 2>run.err)
rc=$?
sed 's/^/  | /' "$out/run.err"
[ "$rc" -eq 1 ] || fail "capture of an install that adds a Run value exited $rc, not 1"
grep -qF 'cannot undo: HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run: values added' \
  "$out/run.err" || fail "capture did not report the value added to the Run key"
grep -qF '"Batch Notes"' "$out/run.err" || fail "capture did not name the value"

finish "$out"
