# Program Files as main directory: its other contents stay, and the folder itself is never removed
app_dir 'C:\Sample'
make_file 'C:\Program Files\sample.exe'
make_file 'C:\Program Files\unlisted.txt'
log_app '%currentdir%' 'Sample' 'C:\Program Files\sample.exe' ''
log_file '' 'C:\Program Files\sample.exe' 0
write_log

expect_window shown
expect_box Uninstall 36 "$(text_confirm Sample)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_missing 'C:\Program Files\sample.exe'
expect_exists 'C:\Program Files\unlisted.txt'
expect_exists 'C:\Program Files\Common Files'
