# Yes on a valid log: the application disappears and the final message reports success
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\readme.txt"
make_file "$APP\\Data\\settings.ini"
reg_key HKLM 'Software\Sample\Settings'
make_link "$PROGRAMS_DIR\\Sample" 'Sample'
make_link "$DESKTOP_DIR" 'Sample'
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
log_file 'Sample.exe' '%currentdir%Sample.exe' 0
log_file 'readme.txt' '%currentdir%readme.txt' 0
log_file 'settings.ini' '%currentdir%Data\settings.ini' 0
log_reg HKLM 'Software\Sample\Settings'
log_reg HKLM 'Software\Sample'
log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

# The uninstaller and its log go after the success report, and the folder
# with them.
expect_missing "$APP"
expect_no_key HKLM 'Software\Sample'
expect_key HKLM 'Software\Microsoft'
expect_missing "$PROGRAMS_DIR\\Sample"
expect_missing "$DESKTOP_DIR\\Sample.lnk"
expect_exists "$PROGRAMS_DIR"
