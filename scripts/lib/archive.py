#!/usr/bin/env python3
"""Packs a folder into a zip or tar.gz archive whose bytes depend only on the
files' names, contents and executable bits, so that two builds of the same
sources give the same archive wherever and by whom they were made.

    archive.py zip|tar.gz ARCHIVE FOLDER

The archive holds FOLDER's last component as its top folder. Every entry:
- comes in byte order of its path, folders before what they hold;
- has the time SOURCE_DATE_EPOCH (seconds since 1970, required);
- is owned by 0:0 (root) in a tar; a zip records no owner;
- has mode 0755 if a folder or executable by its owner, else 0644.
The gzip header names no file and carries the same time.
"""
import gzip
import io
import os
import stat
import sys
import tarfile
import time
import zipfile


def entries(folder):
    """(archive path, file path or None for a folder) of folder and below, sorted."""
    top = os.path.basename(os.path.normpath(folder))
    found = [(top + "/", None)]
    for parent, dirs, files in os.walk(folder):
        rel = os.path.relpath(parent, folder)
        prefix = top + "/" if rel == "." else f"{top}/{rel}/"
        found += [(prefix + d + "/", None) for d in dirs]
        found += [(prefix + f, os.path.join(parent, f)) for f in files]
    for name, path in found:
        if path is not None and (os.path.islink(path) or not os.path.isfile(path)):
            sys.exit(f"archive.py: {path} is not a plain file")
    return sorted(found, key=lambda e: e[0].encode())


def mode_of(path):
    if path is None or os.stat(path).st_mode & stat.S_IXUSR:
        return 0o755
    return 0o644


def write_zip(out, folder, epoch):
    # A zip's times carry no zone (these are UTC), start in 1980 and go in
    # two-second steps.
    when = time.gmtime(max(epoch, 315532800))[:6]
    with zipfile.ZipFile(out, "w") as z:
        for name, path in entries(folder):
            info = zipfile.ZipInfo(name, when)
            info.create_system = 3  # Unix, so that the mode below counts
            if path is None:
                info.external_attr = (stat.S_IFDIR | 0o755) << 16 | 0x10
                z.writestr(info, b"")
            else:
                info.external_attr = (stat.S_IFREG | mode_of(path)) << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                with open(path, "rb") as f:
                    z.writestr(info, f.read())


def write_tar_gz(out, folder, epoch):
    tar_bytes = io.BytesIO()
    with tarfile.open(fileobj=tar_bytes, mode="w", format=tarfile.PAX_FORMAT) as t:
        for name, path in entries(folder):
            info = tarfile.TarInfo(name.rstrip("/"))
            info.mtime = epoch
            info.uid = info.gid = 0
            info.uname = info.gname = "root"
            info.mode = mode_of(path)
            if path is None:
                info.type = tarfile.DIRTYPE
                t.addfile(info)
            else:
                info.size = os.path.getsize(path)
                with open(path, "rb") as f:
                    t.addfile(info, f)
    with open(out, "wb") as f, gzip.GzipFile(filename="", mode="wb", fileobj=f, mtime=epoch) as g:
        g.write(tar_bytes.getvalue())


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in ("zip", "tar.gz"):
        sys.exit(__doc__.split("\n\n")[1])
    kind, out, folder = sys.argv[1:]
    epoch = os.environ.get("SOURCE_DATE_EPOCH", "")
    if not epoch.isdigit():
        sys.exit("archive.py: SOURCE_DATE_EPOCH must be set to the entries' time, in seconds")
    if not os.path.isdir(folder):
        sys.exit(f"archive.py: no folder {folder}")
    (write_zip if kind == "zip" else write_tar_gz)(out, folder, int(epoch))


if __name__ == "__main__":
    main()
