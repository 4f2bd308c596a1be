# shellcheck shell=bash
# What the end-to-end scenarios share beyond the Wine harness
# (scripts/lib/wine.sh, sourced first); run_scenario.sh sources this and
# then the scenario file, inside a fresh prefix (WINEPREFIX) of its own.
#
# A scenario is a bash file that reads top to bottom:
#
#   app_dir 'C:\Program Files\Sample'           # the application folder
#   make_file "$APP\\Sample.exe" 'contents'      # files, with attributes
#   set_attr "$APP\\notes.txt" hidden
#   reg_key HKLM 'Software\Sample\Settings'     # registry keys
#   make_link "$PROGRAMS_DIR\\Sample" 'Sample'   # shell links
#   log_app '%currentdir%' 'Sample' "$APP\\Sample.exe" 'Sample'
#   log_file '' "$APP\\Sample.exe" 0             # the install log records
#   log_reg HKLM 'Software\Sample'
#   log_link 'Sample' 'Sample' ''
#   write_log                                    # Uninstall.dat in $APP
#   expect_window shown                          # the answering script
#   expect_box Uninstall 36 "Do you really want to remove 'Sample' from this computer ?" yes
#   expect_box Uninstall 64 'Application has been removed successfully.' ok
#   run_uninstall                                # copies Uninstall.exe in, runs it
#   expect_missing "$APP\\Sample.exe"            # checks on files and keys
#   expect_no_key HKLM 'Software\Sample'

# short_name WINDIR NAME: the 8.3 short name the file system gives NAME in
# WINDIR (NAME itself when it has none), as "dir /x" lists it.
short_name() {
  local listing
  listing=$(wine_run 60 cmd /c dir /x "$1" 2>/dev/null | tr -d '\r') || true
  printf '%s\n' "$listing" | awk -v name="$2" '
    length($0) > length(name) && substr($0, length($0) - length(name) + 1) == name {
      head = substr($0, 1, length($0) - length(name))
      if (head !~ / $/) next
      n = split(head, words, " ")
      short = words[n]
      if (short ~ /^<DIR>$/ || short ~ /^[0-9,]+$/) short = name
      print short
      found = 1
      exit
    }
    END { if (!found) print name }'
}

# A small installed application under C:\Program Files\Sample with its log:
# two files, one of them in a subfolder, a registry key with its parent, and
# a link in a program group. For scenarios in which it must stay untouched
# (expect_small_sample_untouched).
install_small_sample() {
  app_dir 'C:\Program Files\Sample'
  make_file "$APP\\Sample.exe"
  make_file "$APP\\Data\\settings.ini"
  reg_key HKLM 'Software\Sample\Settings'
  make_link "$PROGRAMS_DIR\\Sample" 'Sample'
  log_app '%currentdir%' 'Sample' '%currentdir%Sample.exe' 'Sample'
  log_file '' '%currentdir%Sample.exe' 0
  log_file '' '%currentdir%Data\settings.ini' 0
  log_reg HKLM 'Software\Sample\Settings'
  log_reg HKLM 'Software\Sample'
  log_link '%userfolder%' 'Sample' '%currentdir%Sample.exe'
  write_log
}

expect_small_sample_untouched() {
  expect_tree "$APP" Sample.exe Data/ Data/settings.ini Uninstall.dat Uninstall.exe
  expect_key HKLM 'Software\Sample\Settings'
  expect_exists "$PROGRAMS_DIR\\Sample\\Sample.lnk"
}

# write_raw_log BYTES [WINPATH]: a log of exactly these bytes (printf escapes
# such as \x00 allowed), for logs that the format functions cannot make.
write_raw_log() {
  printf "$1" >"$(unix_path "${2:-$APP\\Uninstall.dat}")"
}

# ---------------------------------------------------------------------------
# Files held open by another process (tests/e2e/hold.cc).

# start_holder TAG WINPATH: a process of the prefix opens WINPATH with no
# sharing and keeps it open until released; returns once the file is open.
start_holder() {
  local tag=$1 out="$E2E_SCRATCH/hold_$1.out"
  if [ ! -f "$WINEPREFIX/drive_c/e2e/hold.exe" ]; then
    cp "${E2E_HOLD_EXE:?E2E_HOLD_EXE is not set}" "$WINEPREFIX/drive_c/e2e/hold.exe" || return 1
  fi
  : >"$out"
  wine_run 150 'C:\e2e\hold.exe' hold "$tag" "$2" 120 >"$out" 2>&1 &
  eval "E2E_HOLDER_PID_$tag=$!"
  local i
  for ((i = 0; i < 300; i++)); do
    grep -q '^held' "$out" && return 0
    if ! kill -0 "$!" 2>/dev/null; then break; fi
    sleep 0.1
  done
  fail "holder $tag could not hold $2: $(cat "$out")"
  return 1
}

# The command line that releases holder TAG and waits until the file is
# closed, for expect_box's run=.
holder_release_command() {
  printf '%s' "C:\\e2e\\hold.exe release $1"
}

# stop_holder TAG: releases holder TAG if it still holds its file, and waits
# for its process to end.
stop_holder() {
  local var="E2E_HOLDER_PID_$1"
  local pid=${!var:-}
  [ -n "$pid" ] || return 0
  if kill -0 "$pid" 2>/dev/null; then
    wine_run 60 'C:\e2e\hold.exe' release "$1" >/dev/null 2>&1 || true
  fi
  wait "$pid" 2>/dev/null || true
  unset "$var"
}
