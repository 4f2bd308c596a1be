# Logs with no magic, junk bytes, a huge length or repeated records, read as far as they go
. "$here/broken_log_cases.sh"
register_cases empty_file ten_bytes upper_case_magic magic_only huge_length unknown_kinds \
  many_app_records

# --- No valid magic: the reader's message, then the confirmation with an
# empty name. The lists are empty, so even Yes (answer $1) removes nothing.
expect_not_a_log() {
  expect_window shown
  expect_box Uninstall 48 "$(text_invalid_log "$APP\\Uninstall.dat")" ok
  expect_box Uninstall 36 "$(text_confirm '')" "$1"
  [ "$1" = no ] || expect_box Uninstall 64 "$TEXT_REMOVED" ok
  run_uninstall
  expect_all_kept
}

begin_case empty_file
write_raw_log ''
expect_not_a_log yes

begin_case ten_bytes
write_raw_log 'InstallFil'
expect_not_a_log no

# The magic in capitals, followed by sound records.
begin_case upper_case_magic
write_log
printf 'INSTALLFILE' | dd of="$APP_UNIX/Uninstall.dat" conv=notrunc status=none
expect_not_a_log no

# The magic alone: no message, an empty confirmation, nothing removed.
begin_case magic_only
write_raw_log 'InstallFile'
expect_window shown
expect_box Uninstall 36 "$(text_confirm '')" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_uninstall
expect_all_kept own_files_gone

# --- A string length of 2^31-1 with the log going on after it: more than is
# left, so the record counts as cut short and reading stops there.
begin_case huge_length
_log_byte 2
_log_string ''
_log_int $((0x7FFFFFFF))
printf 'Cut.txt' >>"$E2E_LOG"
_log_int 0
log_file '' '%currentdir%Cut.txt' 0
log_reg HKCU "Software\\E2EBroken\\$CASE\\Cut"
write_log
expect_acted_on "Sample $CASE" cut

# --- Bytes of no record kind before, between and after the records.
begin_case unknown_kinds
E2E_LOG=""
_log_init
printf '\x00\x05\xff' >>"$E2E_LOG"
log_app '%currentdir%' "Sample $CASE" '' ''
printf '\x0d\x0a\x07' >>"$E2E_LOG"
log_file '' '%currentdir%Done.txt' 0
printf '\x00' >>"$E2E_LOG"
log_reg HKCU "Software\\E2EBroken\\$CASE\\Done"
printf '\xfe\x80' >>"$E2E_LOG"
log_link 'E2EBroken' "$CASE done" '%currentdir%Done.txt'
printf '\x0d\x0a\x0a' >>"$E2E_LOG"
write_log
expect_acted_on "Sample $CASE"

# --- 4096 application records naming Cut.txt as the main file, then one more:
# the last one stands (its name is asked about, and Cut.txt is no main file).
begin_case many_app_records
record="$E2E_SCRATCH/record.bin"
saved_log=$E2E_LOG
E2E_LOG=$record
printf '' >"$E2E_LOG"
log_app 'C:\Elsewhere' 'Early' '%currentdir%Cut.txt' 'EarlyGroup'
E2E_LOG=$saved_log
for ((i = 0; i < 12; i++)); do
  cat "$record" "$record" >"$record.2" && mv "$record.2" "$record"
done
cat "$record" >>"$E2E_LOG"
log_app '%currentdir%' "Last of many $CASE" '' ''
write_log
expect_acted_on "Last of many $CASE"

check_case_keys
