# While 20,000 files go the window keeps answering, its progress bar rises, closing it is refused, and a screenshot half-way shows the bar
# E2E_PROGRESS_FILES sets another number of data files (32766 at most: with
# the main program the log then lists 32767, the most a log may list).
app_dir "$PROGRAM_FILES\\Big Sample"
files=${E2E_PROGRESS_FILES:-20000}
python3 "$here/make_install.py" "$files" "$APP_UNIX" "$E2E_SCRATCH/big.json" 'Big Sample' ||
  fail "cannot make the install"
write_log_of "$E2E_SCRATCH/big.json"

# The screenshot is taken when the helper sees the bar pass its middle; it
# is kept beside the scenarios' work folders.
shot="$E2E_WORK/progress-half-way.png"
rm -f "$shot"
screenshot_half_way() {
  local out=$1 pid=$2
  while kill -0 "$pid" 2>/dev/null; do
    if [ ! -f "$shot" ] && grep -q '^watch: half way' "$out"; then
      "$root/scripts/screenshot" "$shot" Uninstall || rm -f "$shot"
    fi
    sleep 0.05
  done
  sed 's/^/  | /' "$out"
}

expect_window shown
expect_box Uninstall 36 "$(text_confirm 'Big Sample')" yes watch
expect_box Uninstall 64 "$TEXT_REMOVED" ok
E2E_ANSWER_WATCH=screenshot_half_way E2E_BOX_TIMEOUT=180 E2E_RUN_LIMIT=300 run_uninstall

expect_missing "$APP"
if [ -s "$shot" ]; then
  echo "screenshot half-way: $shot"
else
  fail "no screenshot was taken half-way"
fi
