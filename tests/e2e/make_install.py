#!/usr/bin/env python3
"""Makes a large installed application for the end-to-end tests.

    make_install.py FILES APPDIR MANIFEST APPNAME

Creates the main program (Big.exe) and FILES empty files below the Unix
folder APPDIR, 50 to a folder in folders two levels deep (Data/Dnn/Fnnn),
and writes MANIFEST: the installlog manifest (JSON) of the log that names
them all, with %currentdir% paths, APPNAME and no program group.
"""
import json
import os
import sys


def main():
    files, app_dir, manifest_path, app_name = (int(sys.argv[1]), sys.argv[2], sys.argv[3],
                                               sys.argv[4])
    # The main program in the application's folder itself, so that the
    # folders between it and the data folders are removed as well.
    os.makedirs(app_dir, exist_ok=True)
    open(os.path.join(app_dir, "Big.exe"), "wb").close()
    targets = ["%currentdir%Big.exe"]
    for k in range(files):
        folder = f"Data\\D{k // 2500:02d}\\F{k // 50 % 50:03d}"
        name = f"file{k}.dat"
        unix_folder = os.path.join(app_dir, folder.replace("\\", "/"))
        os.makedirs(unix_folder, exist_ok=True)
        open(os.path.join(unix_folder, name), "wb").close()
        targets.append(f"%currentdir%{folder}\\{name}")
    manifest = {
        "AppInfo": {"AppPath": "%currentdir%", "AppName": app_name,
                    "MainPath": "%currentdir%Big.exe", "GroupName": ""},
        "Files": [{"SourcePath": "", "TargetPath": t, "KeepFile": False} for t in targets],
        "RegKeys": [], "Links": []}
    with open(manifest_path, "w", encoding="utf-8") as f:
        json.dump(manifest, f, ensure_ascii=False)


if __name__ == "__main__":
    main()
