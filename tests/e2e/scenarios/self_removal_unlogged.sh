# A log that names neither the uninstaller nor its log: after the success report both go, and the folder with them
app_dir "$PROGRAM_FILES\\Plain Sample"
make_file "$APP\\Sample.exe"
log_app '%currentdir%' 'Plain Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm 'Plain Sample')" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall
expect_missing "$APP"
expect_exists "$PROGRAM_FILES"
