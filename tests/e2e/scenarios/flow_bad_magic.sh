# A log with a wrong magic: the reader's message, then the confirmation with an empty name
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
# The magic in the wrong letter case, followed by a valid application record.
write_raw_log 'installfile\r\n\x01\x00\x00\x00\x00\x06\x00\x00\x00Sample\x00\x00\x00\x00\x00\x00\x00\x00'

expect_window shown
expect_box Uninstall 48 "$(text_invalid_log "$APP\\Uninstall.dat")" ok
expect_box Uninstall 36 "$(text_confirm '')" no
run_uninstall

expect_tree "$APP" Sample.exe Uninstall.dat Uninstall.exe
