# Part of scripts/demo (sourced by it after the Wine harness, scripts/lib/wine.sh): the sample
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

# The log's records, as the installer lists them.
log_sample() {
  local f entry
  log_app '%currentdir%' "$APP_NAME" '%currentdir%SampleEditor.exe' "$APP_NAME"
  for f in "${APP_FILES[@]}"; do
    log_file "${f##*\\}" "%currentdir%$f" 0
  done
  log_file "$SYSTEM_FILE" "%winsysdir%$SYSTEM_FILE" 0
  for entry in "${LOG_KEYS[@]}"; do
    log_reg "${entry%%|*}" "${entry#*|}"
  done
  for f in "${GROUP_LINKS[@]}"; do
    log_link '%userfolder%' "$f" ''
  done
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

  # The log, written as an installer author would: installlog.exe from a
  # JSON manifest.
  log_sample
  write_log || return 1
  cp "$E2E_UNINSTALL_EXE" "$APP_UNIX/Uninstall.exe"
}

