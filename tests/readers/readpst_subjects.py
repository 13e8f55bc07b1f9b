#!/usr/bin/env python3
"""Reads a PST back with readpst (pst-utils) and prints {folder path: [mail subjects]} as JSON.

Usage: readpst_subjects.py FILE.pst
Folder paths are below the store's top folder, levels joined with "/". Only mails (.eml) are
listed; exit status 1 when readpst fails.
"""
import email
import email.header
import email.policy
import json
import os
import subprocess
import sys
import tempfile


def main():
    with tempfile.TemporaryDirectory() as tmp:
        run = subprocess.run(["readpst", "-q", "-D", "-r", "-e", "-o", tmp, sys.argv[1]],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        if run.returncode != 0:
            print(run.stderr, file=sys.stderr)
            return 1
        tops = os.listdir(tmp)
        root = os.path.join(tmp, tops[0]) if len(tops) == 1 else tmp
        folders = {}
        for dirpath, _, files in os.walk(root):
            rel = os.path.relpath(dirpath, root).replace(os.sep, "/")
            for name in files:
                if not name.endswith(".eml"):
                    continue
                with open(os.path.join(dirpath, name), "rb") as f:
                    msg = email.message_from_binary_file(f, policy=email.policy.default)
                folders.setdefault(rel, []).append(str(msg.get("Subject", "")))
    for subjects in folders.values():
        subjects.sort()
    print(json.dumps(folders, ensure_ascii=False, sort_keys=True))
    return 0


if __name__ == "__main__":
    sys.exit(main())
