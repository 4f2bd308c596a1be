#!/usr/bin/env bash
# The Batch Notes example: the Sample Notes application installed by a plain
# batch file (install.bat: xcopy and reg add) instead of NSIS, to show that
# installlog capture takes the log from whatever installer the author has:
#
#   1. stage the application (as examples/nsis does);
#   2. installlog capture: run `cmd /c install.bat` under Wine;
#   3. installlog write: the log into the staged folder, as Uninstall.dat;
#   4. installlog verify: install, uninstall, compare.
#
#   examples/batch/build.sh [OUT_DIR]     (default build/batch-example)
#
# Exit status and environment as examples/nsis/build.sh (NSIS_TARGET aside),
# and BATCH_CMD: the command processor (default cmd; under WOW64 a 32-bit
# uninstaller needs the 32-bit C:\windows\syswow64\cmd.exe, whose Program
# Files and HKEY_LOCAL_MACHINE\Software are the ones it sees).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here=$root/examples/batch
out=$(realpath -m "${1:-$root/build/batch-example}")
# shellcheck source=../nsis/sample.sh
. "$root/examples/nsis/sample.sh"

# shellcheck source=../lib.sh
. "$root/examples/lib.sh"
example_tools
cmd=${BATCH_CMD:-cmd}

mkdir -p "$out"
cd "$out"
sample_stage stage "$win_build/examples/nsis/SampleNotes.exe" "$win_build/Uninstall.exe"
cp "$here/install.bat" .
x "$installlog" capture --arch "$arch" --name "Batch Notes" --main SampleNotes.exe -- \
  "$cmd" /c install.bat >batch-notes.json || exit 2
"$installlog" write batch-notes.json stage/app/Uninstall.dat || exit 2
x "$installlog" verify --arch "$arch" -- "$cmd" /c install.bat
