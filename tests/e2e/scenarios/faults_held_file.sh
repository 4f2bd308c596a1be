# A file another process holds open: Retry once it lets go deletes it; Cancel leaves it and says so
E2E_KEEP_SERVER=1

# Retry while it is still held asks again; the holder lets go before the
# second Retry, which deletes the file.
app_dir 'C:\Program Files\Held'
make_file "$APP\\Sample.exe"
make_file "$APP\\Locked.dll"
log_app '%currentdir%' 'Held' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Locked.dll' 0
log_file '' '%currentdir%Sample.exe' 0
write_log
if start_holder retry "$APP\\Locked.dll"; then
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm Held)" yes
  expect_box Uninstall 53 "$(text_delete_error "$APP\\Locked.dll")" retry
  expect_box Uninstall 53 "$(text_delete_error "$APP\\Locked.dll")" retry \
    "run=$(holder_release_command retry)"
  expect_box Uninstall 64 "$TEXT_REMOVED" ok
  run_uninstall
  expect_missing "$APP"
fi
stop_holder retry

# Cancel skips the file: it stays, everything else goes, and the final
# message says that not all files were removed.
reset_log
app_dir 'C:\Program Files\HeldCancel'
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\Locked.dll"
make_file "$APP\\Data\\Other.dll"
log_app '%currentdir%' 'HeldCancel' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Data\Locked.dll' 0
log_file '' '%currentdir%Data\Other.dll' 0
log_file '' '%currentdir%Sample.exe' 0
write_log
if start_holder cancel "$APP\\Data\\Locked.dll"; then
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm HeldCancel)" yes
  expect_box Uninstall 53 "$(text_delete_error "$APP\\Data\\Locked.dll")" cancel
  expect_box Uninstall 64 "$TEXT_NOT_ALL" ok
  run_uninstall
  expect_tree "$APP" Uninstall.dat Uninstall.exe Data/ Data/Locked.dll
fi
stop_holder cancel
