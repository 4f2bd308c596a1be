# 8.3 short names: a guarded folder by its short name stays whole; the application's folder by its short name is its own
# Wine makes short names that look like hashes (PROG~FBU); the file system
# itself is asked for them.
app_dir "$PROGRAM_FILES\\Sample Application"
make_file "$APP\\Sample.exe"
make_file "$APP\\leftover.log"
program_files_short="C:\\$(short_name 'C:\' "${NATIVE_PROGRAM_FILES#C:\\}")"
app_parent=${APP%\\*}
app_short="C:\\$(short_name 'C:\' "${app_parent#C:\\}")\\$(short_name "$app_parent" 'Sample Application')"
echo "short names: $NATIVE_PROGRAM_FILES is $program_files_short, $APP is $app_short"

# Native Program Files by its short name as main directory, and a folder in
# it by its short name that the log leaves empty.
make_file "$NATIVE_PROGRAM_FILES\\unlisted-e2e.txt"
make_file "$NATIVE_PROGRAM_FILES\\Common Files\\sample-e2e.dll"
log_app '%currentdir%' 'Sample' "$program_files_short\\sample-e2e.exe" ''
log_file '' "$program_files_short\\sample-e2e.exe" 0
log_file '' "$program_files_short\\$(short_name "$NATIVE_PROGRAM_FILES" 'Common Files')\\sample-e2e.dll" 0
write_log
make_file "$NATIVE_PROGRAM_FILES\\sample-e2e.exe"
snapshot_drive_c before
uninstall_confirmed Sample
expect_missing "$NATIVE_PROGRAM_FILES\\sample-e2e.exe"
expect_missing "$NATIVE_PROGRAM_FILES\\Common Files\\sample-e2e.dll"
expect_exists "$NATIVE_PROGRAM_FILES\\unlisted-e2e.txt"
expect_exists "$NATIVE_PROGRAM_FILES\\Common Files"
expect_drive_c_unchanged before "$NATIVE_PROGRAM_FILES\\sample-e2e.exe" \
  "$NATIVE_PROGRAM_FILES\\Common Files\\sample-e2e.dll" "$APP"

# The application's own folder by its short name: the same folder, so what
# the installer left in it goes, and the folder with it once it is empty.
reset_log
log_app '%currentdir%' 'Sample' "$app_short\\Sample.exe" ''
log_file '' "$app_short\\Sample.exe" 0
log_file '' "$app_short\\Uninstall.dat" 0
write_log
uninstall_confirmed Sample
expect_missing "$APP\\Sample.exe"
expect_missing "$APP\\leftover.log"
