#!/usr/bin/env python3
"""Parses EML files with Python's email package and prints what it found as JSON.

Usage: mime_parse.py FILE... ; prints one JSON list with one object per file.
"""
import base64
import email
import email.policy
import json
import sys


def describe(path):
    with open(path, "rb") as f:
        data = f.read()
    msg = email.message_from_bytes(data, policy=email.policy.default)
    defects = []
    leaves = []
    for part in msg.walk():
        defects += [type(d).__name__ + ": " + str(d) for d in part.defects]
        for name, value in part.items():
            defects += ["header " + name + ": " + str(d) for d in getattr(value, "defects", ())]
        if part.is_multipart():
            continue
        payload = part.get_payload(decode=True) or b""
        leaves.append({
            "type": part.get_content_type(),
            "filename": part.get_filename(),
            "payload": base64.b64encode(payload).decode("ascii"),
        })
    return {
        "defects": defects,
        "header_names": list(msg.keys()),
        "headers": {name: str(msg[name]) for name in msg.keys()},
        "leaves": leaves,
    }


if __name__ == "__main__":
    json.dump([describe(p) for p in sys.argv[1:]], sys.stdout)
