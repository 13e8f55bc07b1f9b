#!/usr/bin/env python3
"""Reads a PST back with pffexport (pff-tools) and lists its folders with their items by kind.

Usage: pff_summary.py FILE.pst [--json]
Prints one line per folder below the top of the file ("Inbox/Old   3 Message, 1 Task"), or with
--json one object {folder path: {kind: count}}. Exit status 1 when pffexport cannot read the file.
"""
import json
import os
import re
import subprocess
import sys
import tempfile

ITEM = re.compile(r"^(Message|Contact|DistributionList|Appointment|Meeting|Task|Note|Activity|Document|Item)(\d{5})$")


def walk(folder, rel, out):
    kinds = {}
    subfolders = []
    for name in sorted(os.listdir(folder)):
        full = os.path.join(folder, name)
        if not os.path.isdir(full):
            continue
        m = ITEM.match(name)
        if m:
            kinds[m.group(1)] = kinds.get(m.group(1), 0) + 1
        else:
            subfolders.append((name, full))
    if rel:
        out[rel] = kinds
    for name, full in subfolders:
        walk(full, f"{rel}/{name}" if rel else name, out)


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    with tempfile.TemporaryDirectory() as tmp:
        target = os.path.join(tmp, "x")
        run = subprocess.run(["pffexport", "-q", "-m", "all", "-f", "all", "-t", target, sys.argv[1]],
                             stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
        top = os.path.join(target + ".export", "Top of Outlook data file")
        if not os.path.isdir(top):
            print(f"pffexport cannot read {sys.argv[1]}: {run.stderr.strip()}", file=sys.stderr)
            return 1
        folders = {}
        walk(top, "", folders)
    if "--json" in sys.argv[2:]:
        print(json.dumps(folders, ensure_ascii=False, indent=1, sort_keys=True))
        return 0
    for path in sorted(folders):
        kinds = folders[path]
        total = sum(kinds.values())
        detail = ", ".join(f"{n} {k}" for k, n in sorted(kinds.items()))
        print(f"  {path:<44} {total:5d} item(s){'  (' + detail + ')' if detail else ''}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
