# A hidden Uninstall.dat is no usable log: only the "not found" message
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
log_app "$APP\\" 'Sample' "$APP\\Sample.exe" ''
log_file '' "$APP\\Sample.exe" 0
write_log
set_attr "$APP\\Uninstall.dat" hidden

expect_window never
expect_box Uninstall 48 "$TEXT_NOT_FOUND" ok
run_uninstall

expect_tree "$APP" Sample.exe Uninstall.dat Uninstall.exe
