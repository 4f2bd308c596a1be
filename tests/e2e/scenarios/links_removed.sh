# The desktop link, the group's links and the emptied group are removed
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_link "$DESKTOP_DIR" 'Sample'
make_link "$DESKTOP_DIR" 'Other App'
make_link "$PROGRAMS_DIR\\Sample" 'Sample'
make_link "$PROGRAMS_DIR\\Sample" 'Read me'
make_link "$PROGRAMS_DIR\\Sample\\Tools" 'Settings'
make_link "$PROGRAMS_DIR" 'Sample Web Site'
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
log_file '' '%currentdir%Sample.exe' 0
log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
log_link '%userfolder%' 'Read me' '%currentdir%readme.txt'
log_link 'Sample\Tools' 'Settings' '%currentdir%Sample.exe'
log_link '' 'Sample Web Site' ''
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_tree "$DESKTOP_DIR" 'Other App.lnk'
# The group Sample\ still holds the emptied Tools\ folder, which only the
# group itself would be removed with; links listed in the Programs folder
# itself go.
expect_tree "$PROGRAMS_DIR\\Sample" Tools/
expect_missing "$PROGRAMS_DIR\\Sample Web Site.lnk"
