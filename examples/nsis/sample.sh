# The facts of the Sample Notes example, shared by build.sh and the round
# trip under Wine (nsis_roundtrip.sh). Source it.

SAMPLE_NAME='Sample Notes'
SAMPLE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# installlog manifest's options for the staged folder, but --extras
# (sample-extras.json, whose path the caller gives): the application, its
# two staged folders and the links that sample-notes.nsi makes in the group.
SAMPLE_MANIFEST_OPTIONS=(
  --name "$SAMPLE_NAME" --main app/SampleNotes.exe --group "$SAMPLE_NAME"
  --map 'app=%currentdir%' --map 'windows=%windir%'
  --link "$SAMPLE_NAME=app/SampleNotes.exe" --link 'Read me=app/Readme.txt'
)

# sample_stage DIR SAMPLE_EXE UNINSTALL_EXE: the staged folder, made anew:
# the files of sample/, the application's program and Uninstall.exe.
sample_stage() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -R "$SAMPLE_DIR/sample/." "$dir/" &&
    cp "$2" "$dir/app/SampleNotes.exe" &&
    cp "$3" "$dir/app/Uninstall.exe"
}
