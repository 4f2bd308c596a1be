# Hidden and system files in the log are deleted like any other, without a question
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\hidden.dat"
make_file "$APP\\Data\\system.dat"
make_file "$APP\\Data\\both.dat"
make_file "$APP\\Data\\plain.dat"
set_attr "$APP\\Data\\hidden.dat" hidden
set_attr "$APP\\Data\\system.dat" system
set_attr "$APP\\Data\\both.dat" hidden system
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Data\hidden.dat' 0
log_file '' '%currentdir%Data\system.dat' 0
log_file '' '%currentdir%Data\both.dat' 0
log_file '' '%currentdir%Data\plain.dat' 0
log_file '' '%currentdir%Sample.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_missing "$APP\\Data\\hidden.dat"
expect_missing "$APP\\Data\\system.dat"
expect_missing "$APP\\Data\\both.dat"
# Every logged file went, so Data and the application's folder went too.
expect_missing "$APP"
