#!/usr/bin/env bash
# Builds the installer of the Sample Notes example, as an installer author
# would: stages the application, writes its Uninstall.dat from the staged
# folder with installlog, and compiles sample-notes.nsi with makensis.
#
#   examples/nsis/build.sh [OUT_DIR]      (default build/nsis-example)
#
# Writes OUT_DIR/stage/ (the staged folder), OUT_DIR/sample-notes.json (the
# manifest) and OUT_DIR/SampleNotesSetup.exe. Environment:
#   INSTALLLOG  the installlog to run (default: build/release/tools/installlog,
#               else build/host/tools/installlog, else installlog on PATH)
#   WIN_BUILD   a built win32 tree with Uninstall.exe and the sample's
#               program (default build/win32; built when it is missing)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(realpath -m "${1:-$root/build/nsis-example}")
# shellcheck source=sample.sh
. "$root/examples/nsis/sample.sh"

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
command -v makensis >/dev/null || {
  echo "build.sh: makensis is missing (Debian package nsis)" >&2
  exit 2
}
win_build=${WIN_BUILD:-$root/build/win32}
if [ ! -f "$win_build/Uninstall.exe" ] || [ ! -f "$win_build/examples/nsis/SampleNotes.exe" ]; then
  (cd "$root" && cmake --preset win32 >/dev/null &&
    cmake --build "$win_build" --target Uninstall SampleNotes >/dev/null)
fi

mkdir -p "$out"
sample_stage "$out/stage" "$win_build/examples/nsis/SampleNotes.exe" "$win_build/Uninstall.exe"
# The author's three commands.
"$installlog" manifest "$out/stage" "${SAMPLE_MANIFEST_OPTIONS[@]}" \
  --extras "$SAMPLE_DIR/sample-extras.json" >"$out/sample-notes.json"
"$installlog" write "$out/sample-notes.json" "$out/stage/app/Uninstall.dat"
makensis -V2 -DSTAGE="$out/stage" -DOUTFILE="$out/SampleNotesSetup.exe" \
  "$SAMPLE_DIR/sample-notes.nsi"
echo "$out/SampleNotesSetup.exe"
