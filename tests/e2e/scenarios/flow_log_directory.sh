# Uninstall.dat as a directory is no usable log: only the "not found" message
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_dir "$APP\\Uninstall.dat"

expect_window never
expect_box Uninstall 48 "$TEXT_NOT_FOUND" ok
run_uninstall

expect_tree "$APP" Sample.exe Uninstall.dat/ Uninstall.exe
