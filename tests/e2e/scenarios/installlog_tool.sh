# installlog.exe writes a log from a manifest, plans it with this machine's folders and refuses a file that is no log
app_dir 'C:\Program Files\Sample'

# expect_in TEXT PART: PART occurs in TEXT.
expect_in() {
  case $1 in
    *"$2"*) ;;
    *) fail "expected to find: $2"$'\n'"  in: $1" ;;
  esac
}

if [ ! -f "$E2E_INSTALLLOG_EXE" ]; then
  fail "installlog.exe is missing: $E2E_INSTALLLOG_EXE"
else
  cp "$E2E_INSTALLLOG_EXE" "$WINEPREFIX/drive_c/e2e/installlog.exe"

  # A manifest with a file name and a text outside ASCII.
  cat >"$APP_UNIX/Café.json" <<'JSON'
{"AppInfo": {"AppPath": "%currentdir%", "AppName": "Sample Café", "MainPath": "%currentdir%\\Sample.exe",
             "GroupName": "Sample"},
 "Files": [{"SourcePath": "Sample.exe", "TargetPath": "%currentdir%\\Sample.exe", "KeepFile": false},
           {"SourcePath": "sample.ini", "TargetPath": "%windir%\\sample.ini", "KeepFile": false},
           {"SourcePath": "readme.txt", "TargetPath": "%currentdir%\\readme.txt", "KeepFile": true},
           {"SourcePath": "logo.png", "TargetPath": "%currentdir%\\data\\img\\logo.png", "KeepFile": false}],
 "RegKeys": [{"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "Software\\Sample\\", "Extra1": "", "Extra2": ""},
             {"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "Software\\Sample\\App\\Deep\\", "Extra1": "",
              "Extra2": ""}],
 "Links": [{"FolderName": "%userfolder%", "LinkName": "Sample", "LinkPath": "%currentdir%\\Sample.exe"}]}
JSON
  # The same log, written byte by byte.
  # shellcheck source=../log_bytes.sh
  . "$here/log_bytes.sh"
  log_app '%currentdir%' 'Sample Café' '%currentdir%\Sample.exe' 'Sample'
  log_file 'Sample.exe' '%currentdir%\Sample.exe' 0
  log_file 'sample.ini' '%windir%\sample.ini' 0
  log_file 'readme.txt' '%currentdir%\readme.txt' -1
  log_file 'logo.png' '%currentdir%\data\img\logo.png' 0
  log_reg HKLM 'Software\Sample\'
  log_reg HKLM 'Software\Sample\App\Deep\'
  log_link '%userfolder%' 'Sample' '%currentdir%\Sample.exe'

  installlog write "$APP\\Café.json" "$APP\\Uninstall.dat"
  [ "$INSTALLLOG_RC" -eq 0 ] || fail "write exited $INSTALLLOG_RC: $INSTALLLOG_ERR"
  cmp -s "$E2E_LOG" "$APP_UNIX/Uninstall.dat" ||
    fail "the log installlog.exe wrote differs from the format's bytes"

  # Without options: the prefix's Windows folder and the log's own folder.
  installlog plan "$APP\\Uninstall.dat" --json
  [ "$INSTALLLOG_RC" -eq 0 ] || fail "plan exited $INSTALLLOG_RC: $INSTALLLOG_ERR"
  plan=$(printf '%s\n' "$INSTALLLOG_OUT" | sed 's/^ *//' | tr -d '\n')
  expect_in "$plan" '"registry": [[-2147483646,"Software\\Sample\\App\\Deep\\"],[-2147483646,"Software\\Sample\\App\\"],[-2147483646,"Software\\Sample\\"]]'
  expect_in "$plan" '"AppPath": "C:\\Program Files\\Sample\\"'
  expect_in "$plan" '"files": ["C:\\Program Files\\Sample\\Sample.exe","C:\\windows\\sample.ini","C:\\Program Files\\Sample\\data\\img\\logo.png"]'
  expect_in "$plan" '"directories": ["C:\\Program Files\\Sample\\data\\img\\","C:\\Program Files\\Sample\\data\\","C:\\Program Files\\Sample\\","C:\\windows\\"]'
  expect_in "$plan" '"mainDirectory": "C:\\Program Files\\Sample\\"'
  expect_in "$plan" '"links": [["..\\..\\Desktop","Sample Café"],["Sample","Sample"]]'

  write_raw_log 'not a log' "$APP\\bad.dat"
  installlog dump "$APP\\bad.dat"
  [ "$INSTALLLOG_RC" -eq 1 ] || fail "dump of a file that is no log exited $INSTALLLOG_RC, not 1"
  expect_in "$INSTALLLOG_ERR" "$(text_invalid_log "$APP\\bad.dat")"
fi
