# No display to show a box on: the confirmation counts as No, nothing is removed, exit code 2
app_dir 'C:\Program Files\Sample'
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\settings.ini"
reg_key HKLM 'Software\Sample\Settings'
make_link "$PROGRAMS_DIR\\Sample" 'Sample'
log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%Data\settings.ini' 0
log_reg HKLM 'Software\Sample\Settings'
log_reg HKLM 'Software\Sample'
log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
write_log
apply_registry
cp "$E2E_UNINSTALL_EXE" "$(unix_path "$APP\\Uninstall.exe")"

# Without an X display every message box fails at once. The answering helper
# needs the display itself, so the program runs on its own here.
rc=0
(unset DISPLAY && wine_run 60 "$APP\\Uninstall.exe") || rc=$?
wine_stop
echo "  | exit code $rc"
[ "$rc" -eq 2 ] || fail "exit code $rc, expected 2 (a message box could not be shown)"

expect_tree "$APP" Sample.exe Data/ Data/settings.ini Uninstall.dat Uninstall.exe
expect_key HKLM 'Software\Sample\Settings'
expect_exists "$PROGRAMS_DIR\\Sample\\Sample.lnk"
