# Logs the uninstaller must refuse whole: the error report, exit code 1, nothing removed
#
# Each case has its own application folder and registry key in the one
# prefix. Its log names them all in complete records before the point where
# it goes wrong, so that acting on the part read so far would show.

# Their logs are written byte by byte.
# shellcheck source=../log_bytes.sh
. "$here/log_bytes.sh"
E2E_KEEP_SERVER=1
CASES=(negative_length too_many_records locked unreadable)
# One import for the keys of all cases.
for c in "${CASES[@]}"; do
  reg_key HKCU "Software\\E2EBroken\\$c"
done

# A fresh application folder for case $1, with the files and the key that its
# log names, and the log begun with those complete records.
begin_case() {
  CASE=$1
  app_dir "C:\\Broken\\$CASE"
  make_file "$APP\\Sample.exe"
  make_file "$APP\\Data\\lib.dll"
  E2E_LOG=""
  log_app '%currentdir%' "Sample $CASE" '%currentdir%Sample.exe' ''
  log_file '' '%currentdir%Sample.exe' 0
  log_file '' '%currentdir%Data\lib.dll' 0
  log_reg HKCU "Software\\E2EBroken\\$CASE\\"
}

# The report of an error nothing in the program traps; $1 says what failed,
# $2 the Windows error code if there is one.
text_report() {
  local text=$'Uninstall stopped because of an error:\n\n'"$1"
  [ -z "${2:-}" ] || text+=$'\n\n'"(Windows error $2)"
  printf '%s' "$text"$'\n\nNothing further has been removed.'
}

# Runs the uninstaller on the case's log, expecting the report $1 and no other
# box, then checks that everything is still there.
expect_refused() {
  expect_window any
  expect_exit_code 1
  expect_box Uninstall 16 "$1" ok
  run_uninstall
  expect_tree "$APP" Sample.exe Data/ Data/lib.dll Uninstall.dat Uninstall.exe
}

# A string length below zero, in a file entry after the complete records.
begin_case negative_length
_log_byte 2
_log_string ''
offset=$(stat -c %s "$E2E_LOG")
_log_int -5
printf 'Sample.exe\x00\x00\x00\x00' >>"$E2E_LOG"
write_log
expect_refused "$(text_report "The install log '$APP\\Uninstall.dat' is damaged: the text at offset $offset has the negative length -5.")"

# 32768 links: one more than the counts can hold. Each names a link that
# exists, so a partial run would remove it.
begin_case too_many_records
make_link "$PROGRAMS_DIR\\E2EBroken" 'Over'
record="$E2E_SCRATCH/record.bin"
saved_log=$E2E_LOG
E2E_LOG=$record
printf '' >"$E2E_LOG"
log_link 'E2EBroken' 'Over' ''
E2E_LOG=$saved_log
for ((i = 0; i < 15; i++)); do
  cat "$record" "$record" >"$record.2" && mv "$record.2" "$record"
done
cat "$record" >>"$E2E_LOG"
write_log
expect_refused "$(text_report "The install log '$APP\\Uninstall.dat' lists more than 32767 shell links; it cannot be used to uninstall.")"
expect_tree "$PROGRAMS_DIR\\E2EBroken" Over.lnk

# A sound log that another process holds open without sharing.
begin_case locked
write_log
if start_holder log "$APP\\Uninstall.dat"; then
  expect_refused "$(text_report "The install log '$APP\\Uninstall.dat' could not be read." 32)"
fi
stop_holder log

# A sound log that the user may not read. Root reads any file, so as root the
# uninstaller (and the server it starts) runs without the capabilities that
# override file permissions.
begin_case unreadable
write_log
chmod 000 "$APP_UNIX/Uninstall.dat"
wine_stop
saved_loader=$WINE_LOADER
if [ "$(id -u)" = 0 ]; then
  WINE_LOADER="$E2E_SCRATCH/wine-no-dac"
  printf '#!/bin/sh\nexec setpriv --bounding-set -dac_override,-dac_read_search -- %s "$@"\n' \
    "$saved_loader" >"$WINE_LOADER"
  chmod +x "$WINE_LOADER"
fi
expect_refused "$(text_report "The install log '$APP\\Uninstall.dat' could not be read." 5)"
WINE_LOADER=$saved_loader
chmod 644 "$APP_UNIX/Uninstall.dat"

wine_stop
for c in "${CASES[@]}"; do
  expect_key HKCU "Software\\E2EBroken\\$c"
done
