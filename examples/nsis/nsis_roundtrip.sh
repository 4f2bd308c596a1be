# An NSIS installer built from a staged folder installs Sample Notes silently; Uninstall.exe then leaves the prefix as it was before the install
#
# Run by tests/e2e/run_scenario.sh in a fresh prefix (examples/nsis/
# CMakeLists.txt sets the environment; NSIS_SAMPLE_EXE is the sample's
# program). The author's three commands run as on Windows: installlog.exe
# manifest and write (under Wine, on the staged folder inside the prefix),
# then makensis. Snapshots of drive C: (files with their contents) and of
# the registry are taken before the install, after it and after the
# uninstall and the restart it asks for; the first and the last must be
# equal but for what Wine itself changes (wine_churn below says what and
# why).

if [ "${E2E_PROGRAM_BITS:-32}" != 32 ]; then
  echo "SKIPPED nsis_roundtrip: NSIS installers are 32-bit programs, and this machine cannot" \
    "run 32-bit code (the end-to-end tests run the 64-bit build here)"
  exit 77
fi

nsis_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
# shellcheck source=sample.sh
. "$nsis_here/sample.sh"

# ---------------------------------------------------------------------------
# Snapshots of the stopped prefix.

# snapshot FILE: one line per folder, file (with its permissions and MD5)
# and symbolic link of drive C:, test equipment (C:\e2e) left out, then one
# line per registry key and per value in system.reg and user.reg, without
# the modification times Wine writes beside each key.
snapshot() {
  local out=$1
  wine_stop
  (
    cd "$WINEPREFIX/drive_c" || exit 1
    find . -path ./e2e -prune -o -type d -printf 'dir  %P/\n' -o -type l -printf 'link %P -> %l\n'
    find . -path ./e2e -prune -o -type f -printf '%m %P\0' |
      while IFS=' ' read -r -d '' mode path; do
        printf 'file %s %s %s\n' "$path" "$mode" "$(md5sum <"$path" | cut -d' ' -f1)"
      done
  ) >"$out.files" || return 1
  local hive
  for hive in system user; do
    # A value may go on over several lines, each but the last ending in "\".
    awk -v hive="$hive" '
      /^\[/ { key = $0; sub(/\] [0-9]+$/, "]", key); print "reg  " hive " " key; next }
      /^#time=/ || /^#arch=/ || /^WINE REGISTRY/ || /^;;/ || /^$/ { next }
      { line = line $0; if (line ~ /\\$/) { sub(/\\$/, "", line); next }
        gsub(/  +/, "", line); print "reg  " hive " " key " " line; line = "" }
    ' "$WINEPREFIX/$hive.reg"
  done >"$out.registry"
  LC_ALL=C sort "$out.files" "$out.registry" >"$out"
}

# What Wine itself changes in a prefix, whatever the programs install:
# lines of a snapshot difference that say nothing about the application,
# as extended regular expressions over snapshot lines. These are filtered
# out of the comparison, and nothing else:
wine_churn=(
  # The dates in Wine's registration of its display devices, written anew
  # each time a process first uses the X display (DriverDateData of the
  # display adapter, two dates among the monitor's device properties). A
  # program that only loads user32 changes the same values. The first such
  # start in a fresh prefix also drops a few values for good (the names of
  # the display and monitor classes, an empty NetworkCards key), so one
  # runs before the first snapshot.
  'reg  system \[System\\\\CurrentControlSet\\\\Control\\\\Class\\\\\{4D36E968-E325-11CE-BFC1-08002BE10318\}\\\\[0-9]{4}\] "DriverDateData"='
  'reg  system \[System\\\\CurrentControlSet\\\\Enum\\\\DISPLAY\\\\[^]]*\\\\Properties\\\\\{233a9ef3-afc4-4abd-b564-c32f21f1535b\}\\\\000[34]\] @='
  # Wine's list of the Linux machine's own fonts (values whose data is a
  # \??\unix\ path), which each process rewrites by the fonts it loaded: a
  # console program drops them, the next graphical one adds them back.
  'reg  (system|user) \[[^]]*Fonts\] "[^"]*"="\\\\\?\?\\\\unix\\\\'
  # The default of the profiles folder ("Users" = %SystemDrive%\Users),
  # which Wine's shell32 writes when a program first resolves every known
  # folder, as Uninstall.exe does to learn the folders it guards (Windows
  # has the value from its setup).
  'reg  system \[Software\\\\(Wow6432Node\\\\)?Microsoft\\\\Windows\\\\CurrentVersion\] "Users"='
)
wine_churn_re=$(IFS='|' && echo "${wine_churn[*]}")

# ---------------------------------------------------------------------------
# The author's build: staged folder, manifest, log, installer.

stage='C:\e2e\nsis\stage'
stage_unix=$(unix_path "$stage")
nsis_dir=$(dirname "$stage_unix")
if ! command -v makensis >/dev/null; then
  fail "makensis is missing (Debian package nsis; scripts/install-deps installs it)"
  return
fi
if ! sample_stage "$stage_unix" "${NSIS_SAMPLE_EXE:?}" "${E2E_UNINSTALL_EXE:?}"; then
  fail "cannot stage the sample application"
  return
fi
cp "${E2E_INSTALLLOG_EXE:?}" "$WINEPREFIX/drive_c/e2e/installlog.exe"
cp "$SAMPLE_DIR/sample-extras.json" "$nsis_dir/sample-extras.json"

wine_run 120 'C:\e2e\installlog.exe' manifest "$stage" "${SAMPLE_MANIFEST_OPTIONS[@]}" \
  --extras 'C:\e2e\nsis\sample-extras.json' >"$nsis_dir/sample-notes.json" \
  2>"$E2E_SCRATCH/manifest.err" || {
  fail "installlog manifest failed: $(cat "$E2E_SCRATCH/manifest.err")"
  return
}
sed 's/^/  | /' "$E2E_SCRATCH/manifest.err"
wine_run 120 'C:\e2e\installlog.exe' write 'C:\e2e\nsis\sample-notes.json' "$stage\\app\\Uninstall.dat" ||
  {
    fail "installlog write failed"
    return
  }
makensis -V2 -DSTAGE="$stage_unix" -DOUTFILE="$nsis_dir/SampleNotesSetup.exe" \
  "$SAMPLE_DIR/sample-notes.nsi" >"$E2E_SCRATCH/makensis.out" 2>&1 || {
  fail "makensis failed: $(cat "$E2E_SCRATCH/makensis.out")"
  return
}
echo "installer: $(stat -c %s "$nsis_dir/SampleNotesSetup.exe") bytes; log: $(grep -c '"TargetPath"' "$nsis_dir/sample-notes.json") files"

# ---------------------------------------------------------------------------
# Install, uninstall, compare.

wine_run 60 rundll32 user32.dll,MessageBeep || fail "the first start of a graphical program failed"
snapshot "$E2E_SCRATCH/before"
wine_run 120 'C:\e2e\nsis\SampleNotesSetup.exe' /S || fail "the installer exited $?"
snapshot "$E2E_SCRATCH/installed"

# The install did what the script says, so that an empty difference at the
# end means a removal, not an installer that never ran.
# Under WOW64 the 32-bit installer and uninstaller see "Program Files (x86)"
# and Wow6432Node behind HKLM\Software.
APP="$PROGRAM_FILES\\$SAMPLE_NAME"
app=$(unix_path "$APP")
app=${app#"$WINEPREFIX/drive_c/"}
hklm_software='Software\\'
[ "$E2E_WOW64" = 1 ] && hklm_software='Software\\Wow6432Node\\'
comm -13 "$E2E_SCRATCH/before" "$E2E_SCRATCH/installed" >"$E2E_SCRATCH/added"
for want in \
  "dir  $app/data/Modèles/" \
  "file $app/SampleNotes.exe " \
  "file $app/Uninstall.dat " \
  'file windows/SampleNotes.ini ' \
  "file users/$E2E_USER/Desktop/Sample Notes.lnk " \
  "file users/$E2E_USER/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Sample Notes/Read me.lnk " \
  "reg  system [${hklm_software}Microsoft\\\\Windows\\\\CurrentVersion\\\\Uninstall\\\\Sample Notes]" \
  "reg  system [${hklm_software}Sample Vendor\\\\Sample Notes]" \
  'reg  system [Software\\Classes\\SampleNotes.Document\\shell\\open\\command]' \
  'reg  user [Software\\Sample Vendor\\Sample Notes\\Settings]'; do
  grep -qF -- "$want" "$E2E_SCRATCH/added" || fail "the installer did not install: $want"
done
echo "the install added $(wc -l <"$E2E_SCRATCH/added") entries"

expect_window shown
expect_box Uninstall 36 "$(text_confirm "$SAMPLE_NAME")" yes
expect_box Uninstall 64 "$TEXT_REMOVED" ok
run_answered "$APP\\Uninstall.exe"
# Uninstall.exe cannot delete its own file while it runs: it leaves a copy
# of itself in the temporary folder for Windows to delete at its next start
# (PendingFileRenameOperations). That start is the end of the uninstall, so
# the prefix is started again (wineboot -r) before the last snapshot.
snapshot "$E2E_SCRATCH/uninstalled"
diff "$E2E_SCRATCH/before" "$E2E_SCRATCH/uninstalled" | grep -E '^> (file users/[^/]+/Temp/|reg  system \[System\\\\CurrentControlSet\\\\Control\\\\Session Manager\] "PendingFileRenameOperations")' |
  sed 's/^> /  left for the next start of Windows: /' | cut -c1-200
wine_run 60 wineboot -r || fail "wineboot -r failed"
snapshot "$E2E_SCRATCH/after"

# Lines only before ("<": changed or removed) or only after (">": added).
diff "$E2E_SCRATCH/before" "$E2E_SCRATCH/after" | sed -n 's/^\([<>]\) /\1/p' >"$E2E_SCRATCH/diff" || true
for re in "${wine_churn[@]}"; do
  n=$(sed 's/^.//' "$E2E_SCRATCH/diff" | grep -cE "^($re)") || true
  [ "$n" -eq 0 ] || echo "  filtered as Wine's own, $n line(s) like:" \
    "$(sed 's/^.//' "$E2E_SCRATCH/diff" | grep -m1 -E "^($re)" | cut -c1-160)"
done
grep -Ev "^.($wine_churn_re)" "$E2E_SCRATCH/diff" >"$E2E_SCRATCH/left" || true
if [ -s "$E2E_SCRATCH/left" ]; then
  fail "the prefix differs from before the install ('<' only before, '>' only after):"$'\n'"$(
    head -n 60 "$E2E_SCRATCH/left")"
fi
