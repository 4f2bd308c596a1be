# Changes behind the stages' back and things already gone: only what the log names is removed, and the final message is true
# While the confirmation shows, a file appears in a logged directory and a
# subkey under a logged key. A second logged key has had a subkey the log
# does not list from the start. The program group and its link are already
# gone.
app_dir 'C:\Changing'
make_file "$APP\\Sample.exe"
make_file "$APP\\Data\\a.dat"
make_file "$APP\\Data\\Deep\\b.dat"
make_file "$APP\\Data\\Deep\\c.dat"
make_link "$PROGRAMS_DIR\\Other Group" 'Other'
reg_key HKLM 'Software\Changing\Settings'
reg_key HKLM 'Software\Changing\Prefs\Unlisted'
reg_key HKLM 'Software\Changing\Cache'
log_app '%currentdir%' 'Changing' '%currentdir%Sample.exe' 'Changing Group'
log_file '' '%currentdir%Sample.exe' 0
log_file '' '%currentdir%Data\a.dat' 0
log_file '' '%currentdir%Data\Deep\b.dat' 0
log_file '' '%currentdir%Data\Deep\c.dat' 0
log_reg HKLM 'Software\Changing\'
log_reg HKLM 'Software\Changing\Settings\'
log_reg HKLM 'Software\Changing\Prefs\'
log_reg HKLM 'Software\Changing\Cache\'
log_link '%userfolder%' 'Changing' '%currentdir%Sample.exe'
write_log

hook="C:\\windows\\system32\\cmd.exe /c echo added>$APP\\Data\\Deep\\added.txt"
hook+=" && C:\\windows\\system32\\reg.exe add HKLM\\Software\\Changing\\Settings\\Added /v e2e /d 1 /f"
expect_window shown
expect_box Uninstall 36 "$(text_confirm Changing)" yes "run=$hook"
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall

expect_tree "$APP" Data/ Data/Deep/ Data/Deep/added.txt
expect_tree "$PROGRAMS_DIR\\Other Group" Other.lnk
expect_missing "$PROGRAMS_DIR\\Changing Group"
expect_key HKLM 'Software\Changing\Settings\Added'
expect_key HKLM 'Software\Changing\Prefs\Unlisted'
expect_no_key HKLM 'Software\Changing\Cache'
expect_key HKLM 'Software\Changing'
