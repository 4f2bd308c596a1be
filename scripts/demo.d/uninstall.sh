# Part of scripts/demo (sourced by it after the Wine harness, scripts/lib/wine.sh): the uninstall, answered by our helper (each
# dialog printed as it is answered, a screenshot while the confirmation shows)
# or by the user on a real display.
# shellcheck shell=bash disable=SC2034
# The answering helper's output, as it comes: each dialog as it is answered.
# While the confirmation box shows, the helper runs wait-shot.bat, which
# holds the box open until the screenshot is taken.
follow_answers() {
  local file=$1 pid=$2 line re_box='^box ([0-9]+): title="(.*)" style=([0-9?]+[^ ]*) text="(.*)" -> ([a-z]+)$'
  local n title style text answer
  while IFS= read -r line; do
    line=${line%$'\r'}
    if [[ $line =~ $re_box ]]; then
      n=${BASH_REMATCH[1]} title=${BASH_REMATCH[2]} style=${BASH_REMATCH[3]}
      text=${BASH_REMATCH[4]} answer=${BASH_REMATCH[5]}
      printf -v text '%b' "$text"
      printf '  [%s] box "%s" (%s):\n' "$n" "$(printf '%b' "$title")" "$(style_words "$style")"
      printf '%s\n' "$text" | sed 's/^/        /'
      printf '      -> %s\n' "${answer^}"
    elif [[ $line =~ ^box\ ([0-9]+):\ run\ .*wait-shot ]]; then
      take_screenshot
      printf '  [%s] screenshot taken while the box shows\n' "${BASH_REMATCH[1]}"
    elif [[ $line =~ ^box\ ([0-9]+):\ run\ (.*)$ ]]; then
      printf '  [%s] before answering, the helper runs: %s\n' "${BASH_REMATCH[1]}" "${BASH_REMATCH[2]}"
    elif [ -n "$line" ]; then
      say "  helper: $line"
    fi
  done < <(tail -n +1 -s 0.05 -f --pid="$pid" "$file")
}

style_words() {
  case $1 in
    36) echo "Yes/No, question" ;;
    53) echo "Retry/Cancel, exclamation" ;;
    64) echo "OK, information" ;;
    48) echo "OK, exclamation" ;;
    16) echo "OK, stop" ;;
    *) echo "style $1" ;;
  esac
}

# A batch file for the helper's run=: waits (up to about a minute) until the
# demo has taken its screenshot. Each round starts a small program, which
# paces the loop.
write_wait_shot() {
  printf '%s\r\n' '@echo off' 'set n=0' ':wait' 'if exist C:\e2e\shot.done exit /b 0' \
    'set /a n+=1' 'if %n% geq 1500 exit /b 1' 'attrib C:\e2e\shot.done >nul 2>&1' 'goto wait' \
    >"$WINEPREFIX/drive_c/e2e/wait-shot.bat"
}

# The screenshot of the progress window with the confirmation box moved
# below it (scripts/screenshot), then lets the helper go on.
take_screenshot() {
  "$root/scripts/screenshot" "$screenshot" Uninstall || true
  touch "$WINEPREFIX/drive_c/e2e/shot.done"
}

run_virtual() {
  write_wait_shot
  expect_window shown
  expect_exit_code 0
  expect_box Uninstall 36 "$(text_confirm "$APP_NAME")" yes \
    'run=C:\windows\system32\cmd.exe /c C:\e2e\wait-shot.bat'
  expect_box Uninstall 53 "$(text_delete_error "$APP\\$READ_ONLY_FILE")" retry \
    "run=C:\\windows\\system32\\attrib.exe -r \"$APP\\$READ_ONLY_FILE\""
  expect_box Uninstall 64 "$TEXT_REMOVED" ok
  E2E_ANSWER_WATCH=follow_answers
  run_answered "$APP\\Uninstall.exe"
  E2E_ANSWER_WATCH=
}

run_interactive() {
  # A real display has a window manager: let it manage Wine's windows.
  wine_run 60 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d Y /f >/dev/null 2>&1
  say "  Uninstall.exe is running on your display ($DISPLAY): answer its dialogs" \
    "(Yes removes the sample; No leaves it, and the checks below then fail)."
  local rc=0
  wine_run 900 "$APP\\Uninstall.exe" >"$E2E_SCRATCH/uninstall.out" 2>&1 || rc=$?
  wine_stop
  say "  Uninstall.exe ended with exit code $rc"
  [ "$rc" -eq 0 ] || fail "Uninstall.exe ended with exit code $rc"
}

# What the log says, checked on the stopped prefix.
check_result() {
  # Everything goes, the uninstaller and its folder included; the running
  # executable waits, renamed, in the temporary folder for the next restart.
  expect_missing "$APP"
  expect_missing "$SYSDIR\\$SYSTEM_FILE"
  expect_exists "$SYSDIR"
  expect_no_key HKLM "Software\\$APP_NAME"
  expect_no_key HKCU "Software\\$APP_NAME"
  expect_key HKLM "$OTHER_KEY"
  expect_missing "$DESKTOP_DIR\\$APP_NAME.lnk"
  expect_exists "$DESKTOP_DIR\\$OTHER_LINK.lnk"
  expect_missing "$PROGRAMS_DIR\\$APP_NAME"
  expect_exists "$PROGRAMS_DIR"
}

