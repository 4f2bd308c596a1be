# Cancel on a file that is held: the uninstaller and its log stay; started again once the file is free, it finishes and goes
app_dir "$PROGRAM_FILES\\Busy Sample"
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\Busy.dll"
log_app '%currentdir%' 'Busy Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%Data\Busy.dll' 0
log_file '' '%currentdir%Uninstall.exe' 0
write_log

if start_holder busy "$APP\\Data\\Busy.dll"; then
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm 'Busy Sample')" yes
  expect_box Uninstall 53 "$(text_delete_error "$APP\\Data\\Busy.dll")" cancel
  expect_box Uninstall 64 "$TEXT_NOT_ALL" ok
  run_uninstall
  stop_holder busy
  expect_tree "$APP" Uninstall.dat Uninstall.exe Data/ Data/Busy.dll

  # The same uninstaller, started again from its folder.
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm 'Busy Sample')" yes
  expect_box Uninstall 64 "$TEXT_REMOVED" ok
  run_answered "$APP\\Uninstall.exe"
  expect_missing "$APP"
fi
