# While 20,000 files go the window keeps answering, its progress bar rises, closing it is refused, and held half-way the screen shows the bar part-filled
# E2E_PROGRESS_FILES sets another number of data files (32766 at most: with
# the main program the log then lists 32767, the most a log may list).
app_dir "$PROGRAM_FILES\\Big Sample"
files=${E2E_PROGRESS_FILES:-20000}
python3 "$here/make_install.py" "$files" "$APP_UNIX" "$E2E_SCRATCH/big.json" 'Big Sample' ||
  fail "cannot make the install"
write_log_of "$E2E_SCRATCH/big.json"

# The helper holds the program still once the bar passes its middle and
# prints where the window and the bar are; the screen is taken then, the
# window cut from it is kept beside the scenarios' work folders, and the
# helper lets the program go on.
shot="$E2E_WORK/progress-half-way.png"
screen="$E2E_SCRATCH/screen.png"
rm -f "$shot"
shoot_held() {
  local out=$1 pid=$2 held=""
  while kill -0 "$pid" 2>/dev/null; do
    if [ -z "$held" ] && held=$(grep -m1 '^watch: held at' "$out"); then
      xwd -silent -root | /usr/bin/convert xwd:- "$screen"
      touch "$(unix_path 'C:\e2e\go')"
    fi
    sleep 0.05
  done
  sed 's/^/  | /' "$out"
  E2E_HELD=$held
}

expect_window shown
expect_box Uninstall 36 "$(text_confirm 'Big Sample')" yes watch 'hold_half=C:\e2e\go'
expect_box Uninstall 64 "$TEXT_REMOVED" ok
E2E_ANSWER_WATCH=shoot_held E2E_BOX_TIMEOUT=180 E2E_RUN_LIMIT=300 run_uninstall
expect_missing "$APP"

# "watch: held at POS of RANGE, window WxH+X+Y, bar WxH+X+Y (N threads)"
read -r pos range window bar < <(sed -nE \
  's/^watch: held at ([0-9]+) of ([0-9]+), window ([^,]+), bar ([^ ]+).*/\1 \2 \3 \4/p' <<<"$E2E_HELD")
if [ -z "$bar" ] || [ ! -s "$screen" ]; then
  fail "the helper never held the program half-way, or no screen was taken"
  return
fi
/usr/bin/convert "$screen" -crop "$window" +repage "$shot"
echo "screenshot half-way: $shot"
if [ "$pos" -le 0 ] || [ "$pos" -ge "$range" ]; then fail "held at $pos of $range: not part-way"; fi
# The bar's middle row on the screen: the filled part has the colour of its
# first inner pixel, the rest that of its last. The helper read the position
# just before the program's threads stopped, which may have moved the bar on
# in between: the filled share is at least the position's share less a tenth
# (the last paint may trail a step), and the bar is not near full.
IFS='x+' read -r bw bh bx by <<<"$bar"
inner=$((bw - 2))
filled=$(/usr/bin/convert "$screen" -crop "${inner}x1+$((bx + 1))+$((by + bh / 2))" +repage txt:- |
  awk 'NR > 1 { c[NR - 1] = $3 } END { n = 0; for (i = 1; i in c; i++) n += c[i] == c[1]
    print (c[1] == c[i - 1] ? 0 : n) }')
echo "bar: $filled of $inner columns filled at position $pos of $range"
if [ "$filled" -lt 1 ] || [ $((filled * range * 10)) -lt $(((pos * 10 - range) * inner)) ] ||
  [ $((filled * 10)) -gt $((inner * 9)) ]; then
  fail "the screenshot does not show the bar at its position: $filled of $inner columns filled"
fi
