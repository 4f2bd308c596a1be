# No at the confirmation: no further message, nothing is removed
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\settings.ini"
reg_key HKLM 'Software\Sample\Settings'
make_link "$PROGRAMS_DIR\\Sample" 'Sample'
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%Data\settings.ini' 0
log_reg HKLM 'Software\Sample\Settings'
log_reg HKLM 'Software\Sample'
log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" no
run_uninstall

expect_tree "$APP" Sample.exe Data/ Data/settings.ini Uninstall.dat Uninstall.exe
expect_key HKLM 'Software\Sample\Settings'
expect_exists "$PROGRAMS_DIR\\Sample\\Sample.lnk"
