# A file of the user's in a subfolder of the application's folder: it stays, and the folders that hold it; the uninstaller and its log go
app_dir "$PROGRAM_FILES\\Game Sample"
make_file "$APP\\Game.exe"
make_file "$APP\\Saves\\slot1.sav"
log_app '%currentdir%' 'Game Sample' '%currentdir%Game.exe' ''
log_file '' '%currentdir%Game.exe' 0
write_log

uninstall_confirmed 'Game Sample'
expect_tree "$APP" Saves/ Saves/slot1.sav
