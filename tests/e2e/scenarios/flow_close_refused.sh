# Closing the window while the confirmation shows is refused: the window stays open
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" no close_main
run_uninstall

expect_tree "$APP" Sample.exe Uninstall.dat Uninstall.exe
