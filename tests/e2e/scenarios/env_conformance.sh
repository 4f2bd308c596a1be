# The Env conformance table against Win32Env: every case answers as the unit tests' fake does, or as the table records Wine to differ
# conformance.exe makes each case's files below C:\conformance and its keys
# below HKCU\Software\UninstallConformance, with plain Win32 calls, and prints
# a line per case. The listing of an empty drive root runs on R:, a drive of
# this prefix's own that leads to an empty folder on drive C:.
cp "${E2E_CONFORMANCE_EXE:?E2E_CONFORMANCE_EXE is not set}" "$WINEPREFIX/drive_c/e2e/conformance.exe"
make_dir 'C:\conformance-drive'
ln -sfn ../drive_c/conformance-drive "$WINEPREFIX/dosdevices/r:"
out="$E2E_SCRATCH/conformance.out"
rc=0
wine_run 120 'C:\e2e\conformance.exe' 'C:\conformance' 'R:\' 2>&1 | tr -d '\r' >"$out" || rc=$?
sed 's/^/  | /' "$out"
[ "$rc" -eq 0 ] || fail "conformance.exe failed (exit code $rc)"
grep -q '^FAIL ' "$out" && fail "cases failed: $(grep -c '^FAIL ' "$out")"
grep -q '^not run ' "$out" && fail "cases did not run: $(grep '^not run ' "$out" | tr '\n' ' ')"
grep -qE '^[0-9]+ passed, 0 failed, 0 not run \(under Wine\)$' "$out" ||
  fail "conformance.exe did not report its counts under Wine"
# Nothing was made outside its own folders on drive C:.
expect_tree 'C:\conformance-drive'
