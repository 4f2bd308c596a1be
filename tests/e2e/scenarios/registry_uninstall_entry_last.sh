# The application's uninstall entry goes last: a run that leaves a file keeps it, the next run that removes every file removes it
E2E_KEEP_SERVER=1
ENTRIES='Software\Microsoft\Windows\CurrentVersion\Uninstall'
app_dir "$PROGRAM_FILES\\Acme"
make_file "$APP\\Acme.exe"
make_file "$APP\\Data\\Locked.dll"
reg_key HKLM "$ENTRIES\\Acme" DisplayName Acme
reg_key HKCU "$ENTRIES\\Acme" DisplayName Acme
reg_key HKLM 'Software\Acme\Settings'
reg_key HKCU 'Software\Acme'
log_app '%currentdir%' 'Acme' '%currentdir%Acme.exe' ''
log_file '' '%currentdir%Data\Locked.dll' 0
log_file '' '%currentdir%Acme.exe' 0
log_reg HKLM "$ENTRIES\\Acme\\"
log_reg HKCU "$ENTRIES\\Acme"
log_reg HKLM 'Software\Acme\Settings\'
log_reg HKLM 'Software\Acme\'
log_reg HKCU 'Software\Acme\'
write_log

# Cancel on the held file: the other keys go in the registry stage, first;
# the entries stay, the user's way back to the uninstaller.
if start_holder entry "$APP\\Data\\Locked.dll"; then
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm Acme)" yes
  expect_box Uninstall 53 "$(text_delete_error "$APP\\Data\\Locked.dll")" cancel
  expect_box Uninstall 64 "$TEXT_NOT_ALL" ok
  run_uninstall
  stop_holder entry
  wine_stop
  expect_tree "$APP" Uninstall.dat Uninstall.exe Data/ Data/Locked.dll
  expect_no_key HKLM 'Software\Acme'
  expect_no_key HKCU 'Software\Acme'
  expect_value HKLM "$ENTRIES\\Acme" DisplayName
  expect_value HKCU "$ENTRIES\\Acme" DisplayName
fi
stop_holder entry

# The file is free now: the next run removes it, and the entries with it.
expect_window shown
expect_box Uninstall 36 "$(text_confirm Acme)" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
E2E_KEEP_SERVER=0 run_answered "$APP\\Uninstall.exe"
expect_no_key HKLM "$ENTRIES\\Acme"
expect_no_key HKCU "$ENTRIES\\Acme"
expect_key HKLM "$ENTRIES"
expect_missing "$APP"
