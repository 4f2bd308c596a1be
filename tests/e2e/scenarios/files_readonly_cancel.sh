# A read-only file and Cancel: it stays, the other files go, and the final message says not all were removed
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\Locked.dat"
make_file "$APP\\Data\\other.dat"
set_attr "$APP\\Data\\Locked.dat" readonly
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Data\Locked.dat' 0
log_file '' '%currentdir%Data\other.dat' 0
log_file '' '%currentdir%Sample.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 53 "$(text_delete_error "$APP\\Data\\Locked.dat")" cancel
expect_box Uninstall 64 "$TEXT_NOT_ALL" ok
run_uninstall

expect_tree "$APP" Data/ Data/Locked.dat Uninstall.dat Uninstall.exe
