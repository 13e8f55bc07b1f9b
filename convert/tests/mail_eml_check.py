#!/usr/bin/python3
"""Parses EML files with Python's own email package and prints what it found as JSON, so that
the C++ tests can compare it with what they wrote. Usage: mail_eml_check.py FILE..."""
import base64
import email
import email.policy
import json
import sys


def describe(path):
    with open(path, "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    defects = [type(d).__name__ for d in msg.defects]
    headers = {}
    for name in ("Date", "From", "To", "CC", "BCC", "Subject"):
        if name in msg:
            headers[name] = str(msg[name])
    parts = []
    for part in msg.iter_parts() if msg.is_multipart() else []:
        defects += [type(d).__name__ for d in part.defects]
        payload = part.get_payload(decode=True) or b""
        parts.append({
            "contentType": part.get_content_type(),
            "charset": part.get_content_charset() or "",
            "filename": part.get_filename() or "",
            "payload": base64.b64encode(payload).decode("ascii"),
            "text": part.get_content() if part.get_content_maintype() == "text" else "",
        })
    return {
        "defects": defects,
        "multipart": msg.is_multipart(),
        "contentType": msg.get_content_type(),
        "headers": headers,
        "parts": parts,
    }


if __name__ == "__main__":
    print(json.dumps([describe(p) for p in sys.argv[1:]]))
