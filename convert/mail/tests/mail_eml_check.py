#!/usr/bin/python3
"""Parses EML files with Python's own email package and prints what it found as JSON, so that
the C++ tests can compare it with what they wrote. Usage: mail_eml_check.py FILE..."""
import base64
import email
import email.header
import email.policy
import json
import sys


def describe(path):
    with open(path, "rb") as f:
        raw = f.read()
    msg = email.message_from_bytes(raw, policy=email.policy.default)
    defects = [type(d).__name__ for d in msg.defects]
    # The texts as the fields carry them, decoded from their encoded words, and what the
    # structured parsers of the header objects complained about.
    headers = {}
    header_defects = {}
    for name, raw_value in msg.raw_items():
        if name in ("From", "To", "CC", "BCC", "Subject"):
            headers[name] = str(email.header.make_header(email.header.decode_header(raw_value)))
        if name == "Date":
            headers[name] = msg[name].datetime.isoformat()
        found = [type(d).__name__ for d in getattr(msg[name], "defects", ())]
        if found:
            header_defects[name] = found
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
        "headerDefects": header_defects,
        "parts": parts,
    }


if __name__ == "__main__":
    print(json.dumps([describe(p) for p in sys.argv[1:]]))
