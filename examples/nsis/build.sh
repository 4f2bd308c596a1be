#!/usr/bin/env bash
# Builds the installer of the Sample Notes example as an installer author
# would, and proves in the end that its uninstall leaves nothing behind:
#
#   1. stage the application (sample/, its program, Uninstall.exe);
#   2. build the installer (makensis);
#   3. installlog capture: run it under Wine and take the log of what it made;
#   4. installlog write: that log into the staged folder, as Uninstall.dat;
#   5. build the installer again, with the log inside;
#   6. installlog verify: install, uninstall with the installed
#      Uninstall.exe, and compare with the prefix before the install.
#
#   examples/nsis/build.sh [OUT_DIR [MANIFEST]]   (default build/nsis-example)
#
# With MANIFEST (a manifest edited by hand, say) steps 2 and 3 are left out
# and that manifest is written instead.
# Writes OUT_DIR/stage/ (the staged folder), OUT_DIR/sample-notes.json (the
# captured manifest) and OUT_DIR/SampleNotesSetup.exe. Exit status: 0 when
# verify found the prefix as before, 1 when it did not, 2 when a step failed.
# Environment:
#   INSTALLLOG   the installlog to run (default: build/release/tools/installlog,
#                else build/host/tools/installlog, else installlog on PATH)
#   WIN_BUILD    a built Windows tree with Uninstall.exe and the sample's
#                program (default build/win32; built when it is missing)
#   NSIS_TARGET  makensis's target (default x86-unicode; amd64-unicode for
#                machines that run only 64-bit code)
#   INSTALLLOG_ARCH  the kind of Wine prefix, win64 (default) or win32
#   INSTALLLOG_ANSWER_EXE  verify's answering helper (default: WIN_BUILD's)
# Needs Wine, makensis (the Debian packages wine, nsis) and an X display;
# without DISPLAY the Wine steps run under xvfb-run.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(realpath -m "${1:-$root/build/nsis-example}")
given=${2:+$(realpath "$2")}
# shellcheck source=sample.sh
. "$root/examples/nsis/sample.sh"

# shellcheck source=../lib.sh
. "$root/examples/lib.sh"
example_tools
command -v makensis >/dev/null || {
  echo "build.sh: makensis is missing (Debian package nsis)" >&2
  exit 2
}
nsis() {
  makensis -V2 ${NSIS_TARGET:+-DTARGET="$NSIS_TARGET"} -DSTAGE="$out/stage" \
    -DOUTFILE="$out/SampleNotesSetup.exe" "$SAMPLE_DIR/sample-notes.nsi"
}

mkdir -p "$out"
cd "$out"
sample_stage stage "$win_build/examples/nsis/SampleNotes.exe" "$win_build/Uninstall.exe"
if [ -z "$given" ]; then
  nsis || exit 2
  # capture's exit status 1 says the log cannot undo all of the install:
  # the author must know, so the build stops.
  x "$installlog" capture --arch "$arch" "${SAMPLE_CAPTURE_OPTIONS[@]}" -- \
    SampleNotesSetup.exe /S >sample-notes.json || exit 2
fi
"$installlog" write "${given:-sample-notes.json}" stage/app/Uninstall.dat || exit 2
nsis || exit 2
x "$installlog" verify --arch "$arch" -- SampleNotesSetup.exe /S
echo "$out/SampleNotesSetup.exe"
