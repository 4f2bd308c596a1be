#!/usr/bin/env bash
# End-to-end test of the installlog binary named by $INSTALLLOG: real files
# in a scratch directory, real exit codes and output streams.
set -euo pipefail

tool=${INSTALLLOG:?set INSTALLLOG to the installlog binary}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
cd "$scratch"

fail() { echo "FAIL: $*" >&2; exit 1; }

# expect CODE COMMAND...: runs the command, stdout to out.txt, stderr to err.txt.
expect() {
  local want=$1 got=0
  shift
  "$tool" "$@" >out.txt 2>err.txt || got=$?
  [ "$got" -eq "$want" ] || fail "installlog $* exited $got, expected $want: $(cat err.txt)"
}

# The smallest log: an AppInfo whose AppName is abc, byte for byte.
cat >min.json <<'JSON'
{"AppInfo": {"AppPath": "", "AppName": "abc", "MainPath": "", "GroupName": ""},
 "Files": [], "RegKeys": [], "Links": []}
JSON
expect 0 write min.json min.dat
printf 'InstallFile\r\n\001\0\0\0\0\003\0\0\0abc\0\0\0\0\0\0\0\0' >min.expected
cmp min.dat min.expected || fail "the smallest log differs from the format's bytes"

# write, dump --json and write again give the same bytes.
cat >tool.json <<'JSON'
{"AppInfo": {"AppPath": "%currentdir%", "AppName": "Tool", "MainPath": "%currentdir%\\tool.exe",
             "GroupName": "Tool"},
 "Files": [{"SourcePath": "tool.exe", "TargetPath": "%currentdir%\\tool.exe", "KeepFile": false},
           {"SourcePath": "img.png", "TargetPath": "%currentdir%\\data\\img\\img.png", "KeepFile": false}],
 "RegKeys": [{"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "Software\\X\\App\\", "Extra1": "", "Extra2": ""},
             {"RootKey": "HKEY_LOCAL_MACHINE", "SubKey": "Software\\X\\App\\Sub\\Deep\\", "Extra1": "",
              "Extra2": ""}],
 "Links": [{"FolderName": "%userfolder%", "LinkName": "Tool Café", "LinkPath": "%currentdir%\\tool.exe"}]}
JSON
expect 0 write tool.json Uninstall.dat
expect 0 dump Uninstall.dat --json
[ ! -s err.txt ] || fail "dump --json of a written log has notes: $(cat err.txt)"
mv out.txt dumped.json
expect 0 write dumped.json again.dat
cmp Uninstall.dat again.dat || fail "write / dump --json do not round-trip"

expect 0 dump Uninstall.dat
grep -q 'LinkName    "Tool Café"' out.txt || fail "dump does not show the link name in UTF-8"

# plan: the stages' lists, with the folders given.
expect 0 plan Uninstall.dat --json --appdir 'C:\Apps\Tool'
tr -d ' \n' <out.txt >plan.json
grep -q '"registry":\[\[-2147483646,"Software\\\\X\\\\App\\\\Sub\\\\Deep\\\\"\],\[-2147483646,"Software\\\\X\\\\App\\\\Sub\\\\"\],\[-2147483646,"Software\\\\X\\\\App\\\\"\]\]' plan.json ||
  fail "plan: registry keys: $(cat plan.json)"
grep -q '"directories":\["C:\\\\Apps\\\\Tool\\\\data\\\\img\\\\","C:\\\\Apps\\\\Tool\\\\data\\\\","C:\\\\Apps\\\\Tool\\\\"\]' plan.json ||
  fail "plan: directories: $(cat plan.json)"
expect 0 plan Uninstall.dat
grep -q 'AppDir "C:\\APP\\"' out.txt || fail "plan: default folders: $(cat out.txt)"

# manifest: a staged folder, then write; a name Windows cannot hold is refused.
# The empty folder is visited by the directory stage, never deleted as a file.
mkdir -p stage/app/data stage/sys stage/app/logs/old
printf 'x' >stage/app/tool.exe
printf 'x' >'stage/app/data/Café.txt'
printf 'x' >stage/app/Uninstall.exe
printf 'x' >stage/sys/tool.dll
expect 0 manifest stage --name Tool --main app/tool.exe --group Tool --map app=%currentdir% \
  --map 'sys=%winsysdir%' --reg-key 'HKLM\Software\Tool' --link 'Tool=app/tool.exe'
mv out.txt staged.json
grep -q 'app/Uninstall.exe.* is left out of the log' err.txt || fail "manifest: no note: $(cat err.txt)"
expect 0 write staged.json staged.dat
expect 0 plan staged.dat --json --appdir 'C:\Apps\Tool' --winsysdir 'C:\Sys'
tr -d ' \n' <out.txt >plan.json
grep -qF '"files":["C:\\Apps\\Tool\\data\\Café.txt","C:\\Apps\\Tool\\tool.exe","C:\\Sys\\tool.dll"]' plan.json ||
  fail "manifest: planned files: $(cat plan.json)"
for dir in 'logs\\old\\' 'logs\\'; do
  grep -qF "\"C:\\\\Apps\\\\Tool\\\\$dir\"" plan.json || fail "manifest: empty folder $dir: $(cat plan.json)"
done
printf 'x' >'stage/app/a:b'
expect 2 manifest stage --name Tool --main app/tool.exe
grep -qF '"app/a:b": the name has ":"' err.txt || fail "manifest: bad name: $(cat err.txt)"
[ ! -s out.txt ] || fail "a refused manifest printed JSON"
expect 0 --version
grep -qx 'installlog [0-9]*\.[0-9]*\.[0-9]*' out.txt || fail "--version: $(cat out.txt)"

# Bad input: exit 1 for a log that is not valid, 2 for everything else.
printf 'not a log' >bad.dat
expect 1 dump bad.dat
grep -qF "Error: the file 'bad.dat' is no valid InstallFile !" err.txt || fail "not a log: $(cat err.txt)"
head -c 40 Uninstall.dat >cut.dat
expect 0 dump cut.dat
grep -q 'cut short' out.txt || fail "truncated log: $(cat out.txt)"
printf '{"AppInfo": ' >broken.json
expect 2 write broken.json x.dat
grep -q 'not valid JSON' err.txt || fail "malformed JSON: $(cat err.txt)"
sed 's/HKEY_LOCAL_MACHINE/HKEY_NOWHERE/' tool.json >root.json
expect 2 write root.json x.dat
grep -q 'unknown root key name "HKEY_NOWHERE"' err.txt || fail "unknown root: $(cat err.txt)"
[ ! -e x.dat ] || fail "a refused manifest left a log behind"
expect 2 dump missing.dat
expect 2 dump /dev/null
expect 2 frobnicate
expect 0 plan --help
grep -q -- '--winsysdir' out.txt || fail "plan --help"

echo "installlog end-to-end: all passed"
