# A log that names the uninstaller and its log: no question about either, the success report, the folder gone; after a restart no copy is left
app_dir "$PROGRAM_FILES\\Self Sample"
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\sample.dat"
log_app '%currentdir%' 'Self Sample' '%currentdir%Sample.exe' ''
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%Data\sample.dat' 0
log_file '' '%currentdir%Uninstall.exe' 0
log_file '' '%currentdir%Uninstall.dat' 0
write_log

uninstall_confirmed 'Self Sample'
# Checked as soon as the program has ended.
expect_missing "$APP"

# Until the next restart the executable waits, renamed, in the temporary
# folder; the restart deletes it.
copies=$(uninstaller_copies)
temp_unix=$(unix_path "$PROFILE_DIR\\Temp")
if [ "$(printf '%s' "$copies" | grep -c .)" != 1 ] || [ "${copies%/*}" != "$temp_unix" ]; then
  fail "expected one copy of the uninstaller in $temp_unix until the restart, found: ${copies:-none}"
fi
wine_run 120 wineboot -r >/dev/null 2>&1 || fail "wineboot -r failed"
wine_stop
copies=$(uninstaller_copies)
[ -z "$copies" ] || fail "a copy of the uninstaller is left after the restart: $copies"
