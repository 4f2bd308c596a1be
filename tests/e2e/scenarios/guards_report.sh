# The folders the uninstaller guards on this machine, as it computes them, and what it decides for other names of them
cp "${E2E_GUARDS_EXE:?E2E_GUARDS_EXE is not set}" "$WINEPREFIX/drive_c/e2e/guards.exe"
mkdir -p "$WINEPREFIX/drive_c/Apps/Sample/data"
ln -s ../../users/Public "$WINEPREFIX/drive_c/Apps/Sample/Shared"
out="$E2E_SCRATCH/guards.out"
checks=('C:\Apps\Sample\data' 'C:\Apps\Sample' 'C:\Apps' 'C:\Apps\Sample\Shared\Music'
  '\\localhost\c$\users\Public\Music' "$PROGRAMS_DIR\\StartUp" 'C:\windows\Sysnative\drivers'
  'C:\windows\system32\drivers' 'C:\windows\temp' 'C:\windows\inf' 'Z:\' "$NATIVE_PROGRAM_FILES")
wine_run 60 'C:\e2e\guards.exe' 'C:\Apps\Sample' "${checks[@]}" 2>&1 | tr -d '\r' >"$out" ||
  fail "guards.exe failed: $(cat "$out")"
sed 's/^/  | /' "$out"
expect_line() {
  grep -qixF -- "$1" "$out" || fail "guards.exe did not report: $1"
}
expect_line 'app C:\Apps\Sample'
user=${E2E_USER^^}
for folder in 'C:\' 'C:\USERS' "C:\\USERS\\$user" "C:\\USERS\\$user\\MUSIC" 'C:\USERS\PUBLIC\MUSIC' \
  "C:\\USERS\\$user\\TEMP" "C:\\USERS\\$user\\APPDATA\\LOCALLOW" 'C:\WINDOWS' 'C:\WINDOWS\FONTS' \
  'C:\PROGRAMDATA' "${NATIVE_PROGRAM_FILES^^}" "${PROGRAM_FILES^^}" 'Z:\'; do
  expect_line "folder $folder"
done
expect_line 'windows-tree C:\windows'
expect_line 'system-tree C:\windows\system32'
if [ "$E2E_WOW64" = 1 ]; then
  expect_line 'system-tree C:\windows\syswow64'
  expect_line 'folder C:\PROGRAM FILES (X86)\COMMON FILES'
  expect_line 'folder C:\PROGRAM FILES\COMMON FILES'
fi
expect_line 'check C:\Apps\Sample\data remove=yes empty=yes'
expect_line 'check C:\Apps\Sample remove=yes empty=yes'
expect_line 'check C:\Apps remove=yes empty=no'
for guarded in 'C:\Apps\Sample\Shared\Music' '\\localhost\c$\users\Public\Music' \
  "$PROGRAMS_DIR\\StartUp" 'C:\windows\Sysnative\drivers' 'C:\windows\system32\drivers' \
  'C:\windows\temp' 'C:\windows\inf' 'Z:\' "$NATIVE_PROGRAM_FILES"; do
  expect_line "check $guarded remove=no empty=no"
done
