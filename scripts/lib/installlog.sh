# shellcheck shell=bash disable=SC2034 # variables for the scripts that source it
# Install logs (part of the Wine harness, sourced by wine.sh), written as an
# installer author writes them: the records go into a JSON manifest
# (log_json.py) and `installlog write` makes Uninstall.dat of it.
#
#   log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
#   log_file '' '%currentdir%Sample.exe' 0      # KEEP: 0, or -1 to keep it
#   log_reg HKLM 'Software\Sample\'
#   log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
#   write_log                                    # $APP\Uninstall.dat

E2E_LOG_RECORDS=()

log_app() { E2E_LOG_RECORDS+=(app "$1" "$2" "$3" "$4"); }
log_file() { E2E_LOG_RECORDS+=(file "$1" "$2" "$3"); }
log_reg() { E2E_LOG_RECORDS+=(reg "$1" "$2" "${3-}" "${4-}"); }
log_link() { E2E_LOG_RECORDS+=(link "$1" "$2" "$3"); }

# Starts a new log, for a further run in one scenario.
reset_log() { E2E_LOG_RECORDS=(); }

# write_log [WINPATH]: the log of the records so far, as $APP\Uninstall.dat
# by default.
write_log() {
  local json="$E2E_SCRATCH/log.json"
  python3 "$_wine_lib/log_json.py" "$json" "${E2E_LOG_RECORDS[@]}" || {
    fail "cannot write the log's manifest"
    return 1
  }
  write_log_of "$json" "$@"
}

# write_log_of MANIFEST [WINPATH]: the log of a JSON manifest, as
# $APP\Uninstall.dat by default. The Linux build of installlog writes it
# where there is one (E2E_INSTALLLOG, no Wine start), else installlog.exe in
# the prefix.
write_log_of() {
  local json=$1 winpath=${2:-$APP\\Uninstall.dat} target
  target=$(unix_path "$winpath") || return 1
  mkdir -p "$(dirname "$target")"
  if [ -x "${E2E_INSTALLLOG:-}" ]; then
    "$E2E_INSTALLLOG" write "$json" "$target" >/dev/null || fail "installlog write failed"
  else
    cp "$json" "$WINEPREFIX/drive_c/e2e/log.json"
    installlog write 'C:\e2e\log.json' "$winpath"
    [ "$INSTALLLOG_RC" -eq 0 ] || fail "installlog.exe write failed: $INSTALLLOG_ERR"
  fi
}

# installlog.exe, the installer authors' tool, built beside Uninstall.exe
# in tools/ of the same build (E2E_INSTALLLOG_EXE names another).

# installlog ARGS...: runs installlog.exe in the prefix; its exit code in
# INSTALLLOG_RC, its output streams (line ends made Unix) in INSTALLLOG_OUT
# and INSTALLLOG_ERR.
installlog() {
  local exe=${E2E_INSTALLLOG_EXE:-$(dirname "${E2E_UNINSTALL_EXE:-.}")/tools/installlog.exe}
  INSTALLLOG_RC=0
  if [ ! -f "$WINEPREFIX/drive_c/e2e/installlog.exe" ] &&
    ! cp "$exe" "$WINEPREFIX/drive_c/e2e/installlog.exe"; then
    fail "installlog.exe is missing: $exe"
    INSTALLLOG_RC=2
    return 1
  fi
  wine_run 120 'C:\e2e\installlog.exe' "$@" >"$E2E_SCRATCH/out.txt" 2>"$E2E_SCRATCH/err.txt" ||
    INSTALLLOG_RC=$?
  INSTALLLOG_OUT=$(tr -d '\r' <"$E2E_SCRATCH/out.txt")
  INSTALLLOG_ERR=$(tr -d '\r' <"$E2E_SCRATCH/err.txt")
}

