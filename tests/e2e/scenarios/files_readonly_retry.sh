# A read-only file: the Retry/Cancel box; Retry after the attribute is cleared deletes it
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\Locked.dll"
set_attr "$APP\\Locked.dll" readonly
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Locked.dll' 0
log_file '' '%currentdir%Sample.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
# The first Retry fails again (still read-only) and asks once more.
expect_box Uninstall 53 "$(text_delete_error "$APP\\Locked.dll")" retry
expect_box Uninstall 53 "$(text_delete_error "$APP\\Locked.dll")" retry \
  "run=C:\\windows\\system32\\attrib.exe -r \"$APP\\Locked.dll\""
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_missing "$APP"
