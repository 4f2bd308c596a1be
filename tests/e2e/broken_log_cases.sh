# Broken-log cases for the end-to-end scenarios broken_logs_*.sh, sourced by
# them after lib.sh. Their logs are written byte by byte.
# shellcheck source=log_bytes.sh
. "$here/log_bytes.sh"
#
# Each case has its own application folder, registry keys and links in the
# scenario's one prefix, and the server is kept running between cases. A
# case's log names a file, a key and a link in complete records ("done":
# removed when the log is acted on) and, where it matters, the same three in
# a damaged record ("cut": must stay). Cut.txt is in every folder and must
# stay unless a sound reading of the log names it.

E2E_KEEP_SERVER=1
DONE_KEYS=() # keys that must be gone at the end
KEPT_KEYS=() # keys that must remain

# register_cases NAME...: the keys of these cases, imported at once by the
# first run.
register_cases() {
  local c
  for c in "$@"; do
    reg_key HKCU "Software\\E2EBroken\\$c\\Done"
    reg_key HKCU "Software\\E2EBroken\\$c\\Cut"
  done
}

# A fresh application folder for case $1 with Done.txt, Cut.txt, the keys
# and the links of the case; the log begun with complete records of every
# kind, naming the "done" ones.
begin_case() {
  CASE=$1
  app_dir "C:\\Broken\\$CASE"
  make_file "$APP\\Done.txt"
  make_file "$APP\\Cut.txt"
  make_link "$PROGRAMS_DIR\\E2EBroken" "$CASE done"
  make_link "$PROGRAMS_DIR\\E2EBroken" "$CASE cut"
  E2E_LOG=""
  log_app '%currentdir%' "Sample $CASE" '' ''
  log_file '' '%currentdir%Done.txt' 0
  log_reg HKCU "Software\\E2EBroken\\$CASE\\Done"
  log_link 'E2EBroken' "$CASE done" '%currentdir%Done.txt'
}

# expect_acted_on NAME [cut]: runs the uninstaller, answers its confirmation
# (showing NAME) with yes, and checks that the "done" entries went and the
# "cut" ones stayed. The uninstaller and its log go after the success report,
# but stay with a log that was cut short.
expect_acted_on() {
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm "$1")" yes
  expect_box Uninstall 64 "$TEXT_REMOVED" ok
  run_uninstall
  if [ "${2:-}" = cut ]; then
    expect_tree "$APP" Cut.txt Uninstall.dat Uninstall.exe
  else
    expect_tree "$APP" Cut.txt
  fi
  expect_missing "$PROGRAMS_DIR\\E2EBroken\\$CASE done.lnk"
  expect_exists "$PROGRAMS_DIR\\E2EBroken\\$CASE cut.lnk"
  DONE_KEYS+=("Software\\E2EBroken\\$CASE\\Done")
  KEPT_KEYS+=("Software\\E2EBroken\\$CASE\\Cut")
}

# expect_all_kept [own_files_gone]: checks that nothing of the case was
# removed; the uninstaller and its log too, unless they are to be gone (after
# the success report on a sound log that named nothing).
expect_all_kept() {
  if [ "${1:-}" = own_files_gone ]; then
    expect_tree "$APP" Done.txt Cut.txt
  else
    expect_tree "$APP" Done.txt Cut.txt Uninstall.dat Uninstall.exe
  fi
  expect_exists "$PROGRAMS_DIR\\E2EBroken\\$CASE done.lnk"
  expect_exists "$PROGRAMS_DIR\\E2EBroken\\$CASE cut.lnk"
  KEPT_KEYS+=("Software\\E2EBroken\\$CASE\\Done" "Software\\E2EBroken\\$CASE\\Cut")
}

# --- A record of each kind cut short in each of its fields: the file ends
# inside the field (inside the length of a record's first string, inside the
# text of its other strings, inside an integer). The record is dropped whole,
# the complete records before it are acted on.
_log_size() { stat -c %s "$E2E_LOG"; }

cut_case() {
  local kind=$1 field=$2 types values i cut=0 start
  begin_case "cut_kind${kind}_field${field}"
  case $kind in
    1) types=(S S S S) values=('%currentdir%' 'Broken' '%currentdir%Cut.txt' 'BrokenGroup') ;;
    2) types=(S S I) values=('Cut.txt' '%currentdir%Cut.txt' 0) ;;
    3) types=(I S S S) values=($((0x80000001)) "Software\\E2EBroken\\$CASE\\Cut" 'x1' 'x2') ;;
    4) types=(S S S) values=('E2EBroken' "$CASE cut" '%currentdir%Cut.txt') ;;
  esac
  _log_byte "$kind"
  for i in "${!types[@]}"; do
    start=$(_log_size)
    if [ "${types[$i]}" = I ]; then _log_int "${values[$i]}"; else _log_string "${values[$i]}"; fi
    if [ $((i + 1)) -eq "$field" ]; then
      if [ "${types[$i]}" = I ] || [ "$i" -eq 0 ]; then cut=$((start + 2)); else cut=$((start + 5)); fi
    fi
  done
  truncate -s "$cut" "$E2E_LOG"
  write_log
  expect_acted_on "Sample $CASE" cut
}

# check_case_keys: stops the server and checks the keys of all cases run.
check_case_keys() {
  wine_stop
  local key
  for key in "${DONE_KEYS[@]}"; do expect_no_key HKCU "$key"; done
  for key in "${KEPT_KEYS[@]}"; do expect_key HKCU "$key"; done
}
