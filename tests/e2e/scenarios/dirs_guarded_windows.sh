# The Windows directory as main directory: only the logged file goes, nothing else there is touched
app_dir 'C:\Program Files\Sample'
make_file "$WINDIR\\sample.ini"
make_file "$WINDIR\\unlisted.ini"
log_app '%currentdir%' 'Sample' '%windir%sample.exe' ''
log_file '' '%windir%sample.ini' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_missing "$WINDIR\\sample.ini"
expect_exists "$WINDIR\\unlisted.ini"
expect_exists "$WINDIR\\win.ini"
expect_exists "$WINDIR\\regedit.exe"
