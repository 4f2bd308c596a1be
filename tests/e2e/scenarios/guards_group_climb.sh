# A program group name that climbs out of the Programs folder or names a folder the user owns: no folder is removed
app_dir 'C:\Apps\Sample'
make_file "$APP\\Sample.exe"
make_dir 'C:\users\Public\Desktop'
make_dir "$PROGRAMS_DIR\\..\\Sample"
snapshot_drive_c before
# Programs is six folders below the profile.
for group in '..\..\..\..\..\..\Desktop' '..\..\..\..\..\..\..\Public\Desktop' 'StartUp' \
  '..\Sample' '.' '..\..\..\..\..\..\..\..\..'; do
  reset_log
  log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' "$group"
  write_log
  uninstall_confirmed Sample
done
expect_exists "$DESKTOP_DIR"
expect_exists 'C:\users\Public\Desktop'
expect_exists "$PROGRAMS_DIR\\StartUp"
expect_exists "$PROGRAMS_DIR\\..\\Sample"
expect_drive_c_unchanged before "$APP"
