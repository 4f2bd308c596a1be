# No display to show a box on: the confirmation counts as No, nothing is removed, exit code 2
install_small_sample
apply_registry
cp "$E2E_UNINSTALL_EXE" "$(unix_path "$APP\\Uninstall.exe")"

# Without an X display every message box fails at once. The answering helper
# needs the display itself, so the program runs on its own here.
rc=0
(unset DISPLAY && wine_run 60 "$APP\\Uninstall.exe") || rc=$?
wine_stop
echo "  | exit code $rc"
[ "$rc" -eq 2 ] || fail "exit code $rc, expected 2 (a message box could not be shown)"

expect_small_sample_untouched
