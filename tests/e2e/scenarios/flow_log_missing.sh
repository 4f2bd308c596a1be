# Uninstall.dat missing: only the "not found" message, and the window never shows
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"

expect_window never
expect_box Uninstall 48 "$TEXT_NOT_FOUND" ok
run_uninstall

expect_tree "$APP" Sample.exe Uninstall.exe
