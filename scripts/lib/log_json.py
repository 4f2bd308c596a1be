#!/usr/bin/env python3
"""Writes an installlog manifest (JSON) from records given as arguments.

    log_json.py OUT.json RECORD...

Each record is a kind followed by its fields, as the log lists them:
    app   APPPATH APPNAME MAINPATH GROUPNAME
    file  SOURCEPATH TARGETPATH KEEP      KEEP: 0, or -1 to keep the file
    reg   ROOT SUBKEY EXTRA1 EXTRA2       ROOT: HKCR, HKCU, HKLM or HKU
    link  FOLDERNAME LINKNAME LINKPATH
Records of a kind keep their order. Without an app record the application
fields are empty, as in a log that has none.
"""
import json
import sys

FIELDS = {
    "app": ("AppInfo", ["AppPath", "AppName", "MainPath", "GroupName"]),
    "file": ("Files", ["SourcePath", "TargetPath", "KeepFile"]),
    "reg": ("RegKeys", ["RootKey", "SubKey", "Extra1", "Extra2"]),
    "link": ("Links", ["FolderName", "LinkName", "LinkPath"]),
}
ROOTS = {"HKCR": "HKEY_CLASSES_ROOT", "HKCU": "HKEY_CURRENT_USER",
         "HKLM": "HKEY_LOCAL_MACHINE", "HKU": "HKEY_USERS"}
KEEP = {"0": False, "-1": True}


def main(out, args):
    manifest = {"AppInfo": dict.fromkeys(FIELDS["app"][1], ""), "Files": [], "RegKeys": [],
                "Links": []}
    while args:
        kind = args.pop(0)
        if kind not in FIELDS:
            sys.exit(f"log_json.py: unknown record kind {kind!r}")
        section, names = FIELDS[kind]
        if len(args) < len(names):
            sys.exit(f"log_json.py: a {kind} record needs {len(names)} fields")
        record = dict(zip(names, args[:len(names)]))
        del args[:len(names)]
        if kind == "file":
            record["KeepFile"] = KEEP[record["KeepFile"]]
        if kind == "reg":
            record["RootKey"] = ROOTS[record["RootKey"]]
        if kind == "app":
            manifest["AppInfo"] = record
        else:
            manifest[section].append(record)
    with open(out, "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False, indent=1)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2:])
