# Part of scripts/demo (sourced by it after tests/e2e/lib.sh): the sample
# application "Sample Editor" as its installer leaves it, and its log.
# shellcheck shell=bash disable=SC2034
APP_NAME='Sample Editor'
# Files under the application folder, as the log names them.
APP_FILES=(
  'SampleEditor.exe'
  'SampleEditor.chm'
  'readme.txt'
  'license.txt'
  'Data\dictionary.dic'
  'Data\templates\letter.tpl'
  'Data\templates\memo.tpl'
)
READ_ONLY_FILE='license.txt'
SYSTEM_FILE='SampleSpell.dll' # in the system folder
# Registry keys: ROOT SUBKEY VALUE-NAME VALUE-DATA (created), and what the
# log lists (the uninstaller adds the levels between).
REG_KEYS=(
  'HKLM|Software\Sample Editor\1.0\Settings|Theme|Light'
  'HKLM|Software\Sample Editor\1.0\Recent Files|File1|letter.txt'
  'HKCU|Software\Sample Editor\Preferences|WordWrap|1'
)
# shellcheck disable=SC1003 # a trailing backslash, not an escaped quote
LOG_KEYS=(
  'HKLM|Software\Sample Editor\1.0\Settings\'
  'HKLM|Software\Sample Editor\1.0\Recent Files\'
  'HKLM|Software\Sample Editor\'
  'HKCU|Software\Sample Editor\Preferences\'
  'HKCU|Software\Sample Editor\'
)
GROUP_LINKS=('Sample Editor' 'Read me')
# Things of another application that must stay.
OTHER_KEY='Software\Other Vendor\Other App'
OTHER_LINK='Other App'

json_string() {
  local v=${1//\\/\\\\}
  printf '"%s"' "${v//\"/\\\"}"
}

root_name() {
  case $1 in
    HKLM) echo HKEY_LOCAL_MACHINE ;;
    HKCU) echo HKEY_CURRENT_USER ;;
  esac
}

# The installer's manifest, for installlog.
write_manifest() {
  local f sep='' entry
  printf '{"AppInfo": {"AppPath": "%%currentdir%%", "AppName": %s, "MainPath": %s, "GroupName": %s},\n' \
    "$(json_string "$APP_NAME")" "$(json_string '%currentdir%SampleEditor.exe')" \
    "$(json_string "$APP_NAME")"
  printf ' "Files": ['
  for f in "${APP_FILES[@]}"; do
    printf '%s\n  {"SourcePath": %s, "TargetPath": %s, "KeepFile": false}' "$sep" \
      "$(json_string "${f##*\\}")" "$(json_string "%currentdir%$f")"
    sep=,
  done
  printf ',\n  {"SourcePath": %s, "TargetPath": %s, "KeepFile": false}],\n' \
    "$(json_string "$SYSTEM_FILE")" "$(json_string "%winsysdir%$SYSTEM_FILE")"
  printf ' "RegKeys": ['
  sep=''
  for entry in "${LOG_KEYS[@]}"; do
    printf '%s\n  {"RootKey": "%s", "SubKey": %s, "Extra1": "", "Extra2": ""}' "$sep" \
      "$(root_name "${entry%%|*}")" "$(json_string "${entry#*|}")"
    sep=,
  done
  printf '],\n "Links": ['
  sep=''
  for f in "${GROUP_LINKS[@]}"; do
    printf '%s\n  {"FolderName": "%%userfolder%%", "LinkName": %s, "LinkPath": ""}' "$sep" \
      "$(json_string "$f")"
    sep=,
  done
  printf ']}\n'
}

install_sample() {
  app_dir "C:\\Program Files\\$APP_NAME"
  local f entry hive sub name data
  for f in "${APP_FILES[@]}"; do
    make_file "$APP\\$f" "$APP_NAME: $f"$'\n'
  done
  make_file "$SYSDIR\\$SYSTEM_FILE" "$APP_NAME: spelling library"$'\n'
  if [ "$mode" = virtual ]; then
    set_attr "$APP\\$READ_ONLY_FILE" readonly
  fi
  for entry in "${REG_KEYS[@]}"; do
    IFS='|' read -r hive sub name data <<<"$entry"
    reg_key "$hive" "$sub" "$name" "$data"
  done
  reg_key HKLM "$OTHER_KEY" Version 2.1
  apply_registry || return 1
  make_link "$DESKTOP_DIR" "$APP_NAME"
  make_link "$DESKTOP_DIR" "$OTHER_LINK"
  for f in "${GROUP_LINKS[@]}"; do
    make_link "$PROGRAMS_DIR\\$APP_NAME" "$f"
  done

  # The log, written as an installer author would: installlog from a manifest.
  write_manifest >"$WINEPREFIX/drive_c/e2e/sample-editor.json"
  cp "$root/build/$DEMO_PRESET/tools/installlog.exe" "$WINEPREFIX/drive_c/e2e/installlog.exe"
  wine_run 120 'C:\e2e\installlog.exe' write 'C:\e2e\sample-editor.json' \
    "$APP\\Uninstall.dat" >"$E2E_SCRATCH/installlog.out" 2>&1 || {
    cat "$E2E_SCRATCH/installlog.out" >&2
    return 1
  }
  cp "$E2E_UNINSTALL_EXE" "$APP_UNIX/Uninstall.exe"
}

