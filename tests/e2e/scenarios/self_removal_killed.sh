# The uninstaller ended from outside while a Retry box shows: started again, it asks for confirmation and finishes
app_dir "$PROGRAM_FILES\\Killed Sample"
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\Locked.dat"
make_file "$APP\\Data\\Other.dat"
set_attr "$APP\\Data\\Locked.dat" readonly
log_app '%currentdir%' 'Killed Sample' '%currentdir%Sample.exe' 'Killed Sample'
log_file '' '%currentdir%Data\Locked.dat' 0
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%Data\Other.dat' 0
log_file '' '%currentdir%Uninstall.dat' 0
log_link '%userfolder%' 'Killed Sample' '%currentdir%Sample.exe'
make_link "$PROGRAMS_DIR\\Killed Sample" 'Killed Sample'
write_log

expect_window shown
expect_exit_code any
expect_box Uninstall 36 "$(text_confirm 'Killed Sample')" yes
expect_box Uninstall 53 "$(text_delete_error "$APP\\Data\\Locked.dat")" kill
run_uninstall
# Ended in the file stage: the first file was still there, the rest not
# yet touched, and the log is there for the next start.
expect_tree "$APP" Sample.exe Data/ Data/Locked.dat Data/Other.dat Uninstall.dat Uninstall.exe
expect_exists "$PROGRAMS_DIR\\Killed Sample\\Killed Sample.lnk"

expect_window shown
expect_box Uninstall 36 "$(text_confirm 'Killed Sample')" yes
expect_box Uninstall 53 "$(text_delete_error "$APP\\Data\\Locked.dat")" retry \
  "run=C:\\windows\\system32\\attrib.exe -r \"$APP\\Data\\Locked.dat\""
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_answered "$APP\\Uninstall.exe"
expect_missing "$APP"
expect_missing "$PROGRAMS_DIR\\Killed Sample"
