# A main path in the system folder in any view or in Program Files: only the logged files go, nothing else on drive C: changes
# Under WOW64 the 32-bit program sees System32 as SysWOW64 and reaches the
# real System32 as Sysnative, and its Program Files query gives
# "Program Files (x86)": the native Program Files must be guarded all the
# same. In a 32-bit prefix there is no second view, and those runs are
# left out.
app_dir "$PROGRAM_FILES\\Sample"
make_file "$APP\\Sample.exe"

# uninstall_with_main FOLDER: a log whose main path and two files lie in
# FOLDER (one of them in a subfolder of its own), beside a file no log names.
uninstall_with_main() {
  local dir=$1
  reset_log
  make_file "$dir\\sample-e2e.dll"
  make_file "$dir\\sample-e2e\\data.bin"
  make_file "$dir\\unlisted-e2e.txt"
  log_app '%currentdir%' 'Sample' "$dir\\sample-e2e.dll" ''
  log_file '' "$dir\\sample-e2e.dll" 0
  log_file '' "$dir\\sample-e2e\\data.bin" 0
  write_log
  snapshot_drive_c before
  uninstall_confirmed Sample
  expect_missing "$dir\\sample-e2e.dll"
  expect_missing "$dir\\sample-e2e\\data.bin"
  expect_exists "$dir\\unlisted-e2e.txt"
  expect_drive_c_unchanged before "$dir\\sample-e2e.dll" "$dir\\sample-e2e" "$APP"
}

# Nothing inside a system folder is removed, not even a folder the log
# emptied.
for dir in "$SYSDIR" 'C:\windows\syswow64' 'C:\windows\Sysnative'; do
  [ "$E2E_WOW64" = 1 ] || [ "$dir" = "$SYSDIR" ] || continue
  uninstall_with_main "$dir"
  expect_exists "$dir\\sample-e2e"
done
uninstall_with_main "$NATIVE_PROGRAM_FILES"
expect_exists "$NATIVE_PROGRAM_FILES\\Common Files"
if [ "$E2E_WOW64" = 1 ]; then
  uninstall_with_main 'C:\Program Files (x86)'
fi
