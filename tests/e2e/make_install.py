#!/usr/bin/env python3
"""Makes a large installed application for the end-to-end tests.

    make_install.py FILES APPDIR LOG APPNAME

Creates the main program (Big.exe) and FILES empty files below the Unix
folder APPDIR, 50 to a folder in folders two levels deep (Data/Dnn/Fnnn),
and writes LOG: the install log that names them all, with %currentdir%
paths, APPNAME and no program group,
in the log's format (the magic, a line end, then one application record and
one file record per file; integers are 4 bytes little-endian, strings their
length and their Windows-1252 bytes).
"""
import os
import struct
import sys


def string(text):
    data = text.encode("cp1252")
    return struct.pack("<i", len(data)) + data


def main():
    files, app_dir, log_path, app_name = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
    records = [b"\x01" + string("%currentdir%") + string(app_name) +
               string("%currentdir%Big.exe") + string("")]
    # The main program in the application's folder itself, so that the
    # folders between it and the data folders are removed as well.
    os.makedirs(app_dir, exist_ok=True)
    open(os.path.join(app_dir, "Big.exe"), "wb").close()
    records.append(b"\x02" + string("") + string("%currentdir%Big.exe") + struct.pack("<i", 0))
    for k in range(files):
        folder = f"Data\\D{k // 2500:02d}\\F{k // 50 % 50:03d}"
        name = f"file{k}.dat"
        unix_folder = os.path.join(app_dir, folder.replace("\\", "/"))
        os.makedirs(unix_folder, exist_ok=True)
        open(os.path.join(unix_folder, name), "wb").close()
        records.append(b"\x02" + string("") + string(f"%currentdir%{folder}\\{name}") +
                       struct.pack("<i", 0))
    with open(log_path, "wb") as log:
        log.write(b"InstallFile\r\n" + b"".join(records))


if __name__ == "__main__":
    main()
