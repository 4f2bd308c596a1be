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
export LANG=C.UTF-8
unset LC_ALL

installlog=${INSTALLLOG:-}
for candidate in "$root/build/release/tools/installlog" "$root/build/host/tools/installlog" \
  "$(command -v installlog || true)"; do
  if [ -z "$installlog" ] && [ -n "$candidate" ] && [ -x "$candidate" ]; then
    installlog=$candidate
  fi
done
[ -n "$installlog" ] || {
  echo "build.sh: no installlog; build it first (cmake --preset release && cmake --build --preset release)" >&2
  exit 2
}
win_build=${WIN_BUILD:-$root/build/win32}
if [ ! -f "$win_build/Uninstall.exe" ] || [ ! -f "$win_build/examples/nsis/SampleNotes.exe" ] ||
  [ ! -f "$win_build/tests/e2e/answer.exe" ]; then
  (cd "$root" && cmake --preset win32 >/dev/null &&
    cmake --build "$win_build" --target Uninstall SampleNotes answer >/dev/null)
fi
export INSTALLLOG_ANSWER_EXE=${INSTALLLOG_ANSWER_EXE:-$win_build/tests/e2e/answer.exe}
arch=${INSTALLLOG_ARCH:-win64}
cmd=${BATCH_CMD:-cmd}
x() { if [ -n "${DISPLAY:-}" ]; then "$@"; else xvfb-run -a "$@"; fi; }

mkdir -p "$out"
cd "$out"
sample_stage stage "$win_build/examples/nsis/SampleNotes.exe" "$win_build/Uninstall.exe"
cp "$here/install.bat" .
x "$installlog" capture --arch "$arch" --name "Batch Notes" --main SampleNotes.exe -- \
  "$cmd" /c install.bat >batch-notes.json || exit 2
"$installlog" write batch-notes.json stage/app/Uninstall.dat || exit 2
x "$installlog" verify --arch "$arch" -- "$cmd" /c install.bat
