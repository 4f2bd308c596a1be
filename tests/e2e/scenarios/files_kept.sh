# Files the log marks as kept stay, in the main directory too
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\settings.ini"
make_file "$APP\\Data\\user.db"
make_file "$APP\\Data\\cache.db"
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%settings.ini' -1
log_file '' '%currentdir%Data\user.db' -1
log_file '' '%currentdir%Data\cache.db' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

# The kept files stay, and keep the folder; the uninstaller and its log are
# gone after the success report.
expect_tree "$APP" settings.ini Data/ Data/user.db
