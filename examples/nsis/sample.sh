# The facts of the Sample Notes example, shared by build.sh and its test
# under Wine (build_test.sh). Source it.

SAMPLE_NAME='Sample Notes'
SAMPLE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# installlog capture's options: the application and its main program.
SAMPLE_CAPTURE_OPTIONS=(--name "$SAMPLE_NAME" --main SampleNotes.exe)

# sample_stage DIR SAMPLE_EXE UNINSTALL_EXE: the staged folder, made anew:
# the files of sample/, the application's program, Uninstall.exe and an
# empty folder for the user's drafts (git keeps no empty folder).
sample_stage() {
  local dir=$1
  rm -rf "$dir"
  mkdir -p "$dir"
  cp -R "$SAMPLE_DIR/sample/." "$dir/" &&
    mkdir -p "$dir/app/data/Brouillons" &&
    cp "$2" "$dir/app/SampleNotes.exe" &&
    cp "$3" "$dir/app/Uninstall.exe"
}
