# A log that names neither the uninstaller nor its log: after the success report both go, and the folder with them
app_dir "$PROGRAM_FILES\\Plain Sample"
make_file "$APP\\Sample.exe"
log_app '%currentdir%' 'Plain Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
write_log

uninstall_confirmed 'Plain Sample'
expect_missing "$APP"
expect_exists "$PROGRAM_FILES"
