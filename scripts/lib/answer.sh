# shellcheck shell=bash disable=SC2034 # variables for the scripts that source it
# The answering helper (part of the Wine harness, sourced by wine.sh): the
# script of the message boxes a run expects, and runs of the program under
# test with its boxes answered.

# The uninstaller's messages.
TEXT_NOT_FOUND="Sorry, uninstallling is not possible as 'Uninstall.dat' was not found in the current directory. Try to reinstall the target application and then start uninstall again."
TEXT_REMOVED='Application has been removed successfully.'
TEXT_NOT_ALL='Uninstalling finished, not all files have been removed.'
text_confirm() { printf "Do you really want to remove '%s' from this computer ?" "$1"; }
text_invalid_log() { printf "Error: the file '%s' is no valid InstallFile !" "$1"; }
text_delete_error() { printf "Error deleting file: %s\nPress 'Cancel' to skip this file." "$1"; }


E2E_ANSWERS_HEAD=""
E2E_ANSWERS_BOXES=""
E2E_EXIT_CODE=0

# A value in the script's escaping: backslash doubled, line feed as \n.
_answer_escape() {
  local v=${1//\\/\\\\}
  v=${v//$'\n'/\\n}
  v=${v//$'\t'/\\t}
  printf '%s' "$v"
}

# expect_window never|shown|any
expect_window() {
  E2E_ANSWERS_HEAD+="window=$1"$'\n'
}

# expect_exit_code N|any (default 0)
expect_exit_code() {
  E2E_EXIT_CODE=$1
}

# expect_box TITLE STYLE TEXT ANSWER [run=COMMAND] [close_main] [watch]
#   [hold_half=WINPATH]
# TEXT is the box's exact text with real line feeds. ANSWER "kill" ends the
# program instead of answering (the last box; with expect_exit_code any).
expect_box() {
  local block
  block="[box]"$'\n'"title=$(_answer_escape "$1")"$'\n'"style=$2"$'\n'
  block+="text=$(_answer_escape "$3")"$'\n'
  if [ "$4" = kill ]; then block+="kill=yes"$'\n'; else block+="answer=$4"$'\n'; fi
  shift 4
  local extra
  for extra in "$@"; do
    case $extra in
      run=*) block+="run=$(_answer_escape "${extra#run=}")"$'\n' ;;
      close_main) block+="close_main=yes"$'\n' ;;
      watch) block+="watch=yes"$'\n' ;;
      hold_half=*) block+="hold_half=$(_answer_escape "${extra#hold_half=}")"$'\n' ;;
      *)
        echo "expect_box: unknown option $extra" >&2
        return 1
        ;;
    esac
  done
  E2E_ANSWERS_BOXES+=$block
}

# ---------------------------------------------------------------------------
# Running the uninstaller.

# run_uninstall [WINPATH]: copies Uninstall.exe into $APP (or to WINPATH),
# imports pending registry keys, runs it under the answering helper and then
# stops the prefix's server so that the registry files are written.
run_uninstall() {
  local exe=${1:-$APP\\Uninstall.exe}
  apply_registry || return 1
  if [ ! -f "${E2E_UNINSTALL_EXE:-}" ]; then
    fail "the program under test is missing: ${E2E_UNINSTALL_EXE:-E2E_UNINSTALL_EXE not set}"
    return 1
  fi
  local target
  target=$(unix_path "$exe")
  mkdir -p "$(dirname "$target")"
  cp "$E2E_UNINSTALL_EXE" "$target"
  run_answered "$exe"
}

# uninstall_confirmed NAME [WINPATH]: runs the uninstaller (as run_uninstall)
# for the application NAME, answers its confirmation with Yes and expects
# the window and the success report.
uninstall_confirmed() {
  expect_window shown
  expect_box Uninstall 36 "$(text_confirm "$1")" yes
  expect_box Uninstall 64 "$TEXT_REMOVED" ok
  run_uninstall "${@:2}"
}

# run_answered WINPATH [ARGS...]: runs a program already in place under the
# answering helper with the script built so far, then stops the prefix's
# server (unless E2E_KEEP_SERVER=1) so that the registry files are complete.
# The helper's output is shown once it has ended, or as it comes by the
# function named in E2E_ANSWER_WATCH (called with the output file and the
# helper's process id).
run_answered() {
  local script="$WINEPREFIX/drive_c/e2e/answers.txt"
  mkdir -p "$(dirname "$script")"
  {
    printf '%s' "$E2E_ANSWERS_HEAD"
    [ "$E2E_EXIT_CODE" = any ] || printf 'exit_code=%s\n' "$E2E_EXIT_CODE"
    printf 'box_timeout=%s\nexit_timeout=%s\n' "${E2E_BOX_TIMEOUT:-30}" "${E2E_EXIT_TIMEOUT:-30}"
    printf '%s' "$E2E_ANSWERS_BOXES"
  } >"$script"
  local start=$SECONDS out="$E2E_SCRATCH/answer.out"
  E2E_ANSWER_RC=0
  if [ -n "${E2E_ANSWER_WATCH:-}" ]; then
    # The watcher follows the helper's output as it is written: it gets the
    # file and the helper's process id, and returns once that has ended.
    wine_run "${E2E_RUN_LIMIT:-120}" 'C:\e2e\answer.exe' 'C:\e2e\answers.txt' -- "$@" \
      >"$out" 2>&1 &
    local pid=$!
    "$E2E_ANSWER_WATCH" "$out" "$pid"
    wait "$pid" || E2E_ANSWER_RC=$?
  else
    wine_run "${E2E_RUN_LIMIT:-120}" 'C:\e2e\answer.exe' 'C:\e2e\answers.txt' -- "$@" \
      >"$out" 2>&1 || E2E_ANSWER_RC=$?
    sed 's/^/  | /' "$out"
  fi
  [ "${E2E_KEEP_SERVER:-0}" = 1 ] || wine_stop
  echo "(ran in $((SECONDS - start)) s)"
  reset_answers
  if [ "$E2E_ANSWER_RC" -ne 0 ] && [ "${E2E_EXPECT_HELPER_FAILURE:-0}" != 1 ]; then
    fail "the answering helper reported a failure (exit code $E2E_ANSWER_RC)"
    return 1
  fi
}

# Forgets the answering script built so far, for a second run in one scenario.
reset_answers() {
  E2E_ANSWERS_HEAD=""
  E2E_ANSWERS_BOXES=""
  E2E_EXIT_CODE=0
}

