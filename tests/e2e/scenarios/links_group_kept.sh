# A group that still holds a link the log does not list stays, with that link
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_link "$PROGRAMS_DIR\\Sample" 'Sample'
make_link "$PROGRAMS_DIR\\Sample" 'Added by the user'
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
log_file '' '%currentdir%Sample.exe' 0
log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_tree "$PROGRAMS_DIR\\Sample" 'Added by the user.lnk'
