# A main path in the folder above the application's: the neighbours' files stay
app_dir 'C:\Apps\Tool'
make_file "$APP\\tool.exe"
make_file 'C:\Apps\tool-e2e.ini'
make_file 'C:\Apps\readme.txt'
make_file 'C:\Apps\Other\other.exe'
log_app '%currentdir%' 'Tool' '%currentdir%..\tool-e2e.ini' ''
log_file '' '%currentdir%..\tool-e2e.ini' 0
log_file '' '%currentdir%tool.exe' 0
write_log
snapshot_drive_c before
uninstall_confirmed Tool
expect_missing 'C:\Apps\tool-e2e.ini'
expect_exists 'C:\Apps\readme.txt'
expect_exists 'C:\Apps\Other\other.exe'
expect_drive_c_unchanged before 'C:\Apps\tool-e2e.ini' "$APP"

reset_log
log_app '%currentdir%' 'Tool' 'C:\Apps\tool-e2e.exe' ''
log_file '' 'C:\Apps\tool-e2e.exe' 0
write_log
make_file 'C:\Apps\tool-e2e.exe'
uninstall_confirmed Tool
expect_missing 'C:\Apps\tool-e2e.exe'
expect_exists 'C:\Apps\readme.txt'
expect_exists 'C:\Apps\Other\other.exe'
