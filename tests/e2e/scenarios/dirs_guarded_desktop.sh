# The user's desktop as main directory: its other files stay
app_dir 'C:\Sample'
make_file "$DESKTOP_DIR\\sample.exe"
make_file "$DESKTOP_DIR\\letter.txt"
log_app '%currentdir%' 'Sample' "$DESKTOP_DIR\\sample.exe" ''
log_file '' "$DESKTOP_DIR\\sample.exe" 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_tree "$DESKTOP_DIR" letter.txt
