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
# shellcheck source=../lib.sh
. "$here/../lib.sh"
test_start

# verify must find the prefix as before the install.
run_logged build.log 0 "$here/build.sh" "$out"
expect_in "$out/batch-notes.json" '"%currentdir%..\\"' '"%currentdir%\\data\\Brouillons\\"' \
  '"Software\\Batch Vendor\\Batch Notes\\Settings\\"' '"Software\\Batch Vendor\\"'

cd "$out" || exit 1
run_logged run.err 1 "$INSTALLLOG" capture --arch "${INSTALLLOG_ARCH:-win64}" --name "Batch Notes" \
  --main SampleNotes.exe -- "${BATCH_CMD:-cmd}" /c install.bat run
expect_in "$out/run.err" 'cannot undo: HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Run: values added or changed in a key that was there before, which the log cannot undo (it names keys, not values): "Batch Notes"'

finish
