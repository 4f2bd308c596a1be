# Logged keys without a trailing backslash: the application's keys and those between them go, no key above them, and no shared key even when listed
RUN='Software\Microsoft\Windows\CurrentVersion\Run'
RUN_ONCE='Software\Microsoft\Windows\CurrentVersion\RunOnce'
ENTRIES='Software\Microsoft\Windows\CurrentVersion\Uninstall'

# The keys the log lists, as installers name them: no trailing backslash.
# Tool\Deep lies between two of them; Software\Acme\AppData only starts with
# the letters of App; Run, RunOnce and the class key Folder are shared.
acme_keys=(
  'HKCU\Software\Acme'
  'HKCU\Software\Acme\Tool'
  'HKCU\Software\Acme\Tool\Deep\Leaf'
  'HKLM\Software\Acme\App'
  'HKLM\Software\Acme\AppData\Cache'
  "HKCU\\$RUN\\AcmeTool"
  "HKCU\\$RUN_ONCE"
  "HKLM\\$ENTRIES\\Acme"
  'HKCU\Software\Classes\Folder'
  'HKCR\AllFilesystemObjects'
)

# The application's keys, and beside them keys of the system and of other
# applications, each a key without subkeys that holds a value: a deletion
# of one of them would succeed.
install_acme() {
  app_dir "$PROGRAM_FILES\\Acme"
  make_file "$APP\\Acme.exe"
  reg_key HKCU 'Software\Acme\Tool\Deep\Leaf'
  reg_key HKLM 'Software\Acme\App'
  reg_key HKLM 'Software\Acme\AppData\Cache'
  reg_key HKLM 'Software\Acme\AppData' Owner other
  reg_key HKCU "$RUN\\AcmeTool"
  reg_key HKCU "$RUN" OtherTool other.exe
  reg_key HKCU "$RUN_ONCE" OtherSetup setup.exe
  reg_key HKLM "$ENTRIES\\Acme" DisplayName Acme
  reg_key HKLM "$ENTRIES\\OtherApp" DisplayName Other
  reg_key HKCU 'Software\Classes\Folder' OtherHandler other
  reg_key HKCR 'AllFilesystemObjects' OtherHandler other
}

expect_only_acme_gone() {
  expect_no_key HKCU 'Software\Acme'
  expect_no_key HKLM 'Software\Acme\App'
  expect_no_key HKLM 'Software\Acme\AppData\Cache'
  expect_value HKLM 'Software\Acme\AppData' Owner
  expect_no_key HKCU "$RUN\\AcmeTool"
  expect_value HKCU "$RUN" OtherTool
  expect_value HKCU "$RUN_ONCE" OtherSetup
  expect_no_key HKLM "$ENTRIES\\Acme"
  expect_value HKLM "$ENTRIES\\OtherApp" DisplayName
  expect_value HKCU 'Software\Classes\Folder' OtherHandler
  expect_value HKCR 'AllFilesystemObjects' OtherHandler
  expect_key HKCU 'Software\Wine'
  expect_key HKLM 'Software\Microsoft\Windows\CurrentVersion'
  expect_missing "$APP"
}

# The log installlog.exe writes from --reg-key options.
install_acme
mkdir -p "$WINEPREFIX/drive_c/e2e/stage"
printf 'program' >"$WINEPREFIX/drive_c/e2e/stage/Acme.exe"
options=()
for key in "${acme_keys[@]}"; do options+=(--reg-key "$key"); done
installlog manifest 'C:\e2e\stage' --name Acme --main Acme.exe "${options[@]}"
[ "$INSTALLLOG_RC" -eq 0 ] || fail "manifest exited $INSTALLLOG_RC: $INSTALLLOG_ERR"
printf '%s\n' "$INSTALLLOG_OUT" >"$WINEPREFIX/drive_c/e2e/acme.json"
installlog write 'C:\e2e\acme.json' "$APP\\Uninstall.dat"
[ "$INSTALLLOG_RC" -eq 0 ] || fail "write exited $INSTALLLOG_RC: $INSTALLLOG_ERR"
uninstall_confirmed Acme
expect_only_acme_gone

# The same keys in a log of the format's bytes, as logs written earlier
# hold them, whatever the tool writes today.
install_acme
log_app '%currentdir%' 'Acme' '%currentdir%Acme.exe' ''
log_file '' '%currentdir%Acme.exe' 0
for key in "${acme_keys[@]}"; do log_reg "${key%%\\*}" "${key#*\\}"; done
write_log
uninstall_confirmed Acme
expect_only_acme_gone
