# The answering helper against its stand-in program: it reads every style, and it catches every kind of difference
# Run by run_scenario.sh like a scenario; E2E_BOXES_EXE is the stand-in
# (boxes.cc): it shows the message boxes its command line names.

if [ ! -f "${E2E_BOXES_EXE:-}" ]; then
  fail "the stand-in program is missing: ${E2E_BOXES_EXE:-E2E_BOXES_EXE not set}"
  return
fi
cp "$E2E_BOXES_EXE" "$WINEPREFIX/drive_c/e2e/boxes.exe"
# Nothing here reads the registry files: keep the server between runs.
E2E_KEEP_SERVER=1
BOXES='C:\e2e\boxes.exe'

# Every style the uninstaller uses, and the stop icon; each one answered with
# a button of its own.
expect_window never
expect_box 'Stop' 16 'hand icon' ok
expect_box 'Question' 36 'question icon' no
expect_box 'Exclamation' 48 'exclamation icon' ok
expect_box 'Retry' 53 'retry or cancel' retry
expect_box 'Information' 64 'information icon' ok
run_answered "$BOXES" 16 Stop 'hand icon' 36 Question 'question icon' \
  48 Exclamation 'exclamation icon' 53 Retry 'retry or cancel' 64 Information 'information icon'

# Two-line text, the progress window refusing WM_CLOSE, a command run before
# the answer, and the exit code.
expect_window shown
expect_exit_code 5
expect_box Uninstall 53 $'Error deleting file: C:\\data\\x.txt\nPress \'Cancel\' to skip this file.' \
  cancel close_main 'run=C:\windows\system32\cmd.exe /c echo ran> C:\e2e\ran.txt'
run_answered "$BOXES" --window --exit 5 53 Uninstall \
  'Error deleting file: C:\data\x.txt\nPress '\''Cancel'\'' to skip this file.'
expect_exists 'C:\e2e\ran.txt'

# Each of these differs from what the program shows in one respect; the
# helper must fail and name it.
# reason | script setup (bash) | boxes.exe arguments
mismatches=(
  "title: want|expect_box Wrong 48 text ok|48 Right text"
  "text:  want|expect_box T 48 'other text' ok|48 T text"
  "icon: want information, got exclamation|expect_box T 64 text ok|48 T text"
  "buttons: want yes+no, got ok+cancel|expect_box T 36 text yes|33 T text"
  "before the box appeared|expect_box T 48 one ok; expect_box T 48 two ok|48 T one"
  "unexpected message box|expect_box T 48 one ok|48 T one 48 T two"
  "but the script says never|expect_window never; expect_box T 48 text ok|--window 48 T text"
  "but the script says shown|expect_window shown; expect_box T 48 text ok|48 T text"
  "exit code 0x3, want 0x0|expect_box T 48 text ok|--exit 3 48 T text"
  "progress window closed on WM_CLOSE|expect_box T 48 text ok close_main|--closable-window 48 T text"
  "no message box within 2 s|E2E_BOX_TIMEOUT=2; expect_box T 48 text ok|--wait 10000"
)
for case in "${mismatches[@]}"; do
  IFS='|' read -r reason setup args <<<"$case"
  eval "$setup"
  E2E_EXPECT_HELPER_FAILURE=1
  # shellcheck disable=SC2086 # the arguments are split on purpose
  eval "run_answered \"\$BOXES\" $args"
  E2E_EXPECT_HELPER_FAILURE=0
  E2E_BOX_TIMEOUT=30
  if [ "$E2E_ANSWER_RC" -ne 1 ]; then
    fail "helper exit code $E2E_ANSWER_RC, want 1, for a box that differs ($reason)"
  elif ! grep -qF -- "$reason" "$E2E_SCRATCH/answer.out"; then
    fail "helper failed without saying '$reason'"
  fi
done

# A script with a stray backslash is refused before anything runs.
E2E_EXPECT_HELPER_FAILURE=1
E2E_ANSWERS_BOXES=$'[box]\ntitle=T\nstyle=48\ntext=C:\\Program\nanswer=ok\n'
run_answered "$BOXES" 48 T x
E2E_EXPECT_HELPER_FAILURE=0
[ "$E2E_ANSWER_RC" -eq 2 ] || fail "helper exit code $E2E_ANSWER_RC for a bad script, want 2"
