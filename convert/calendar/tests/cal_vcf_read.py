#!/usr/bin/python3
"""Reads each VCF file named on the command line with vobject and prints one JSON list: per file
the properties in file order as [name, value], ADR and N values as their component lists and
PHOTO as base64, so the C++ test can compare what an independent reader found."""
import base64
import json
import sys

import vobject


def value_of(line):
    value = line.value
    if line.name == 'ADR':
        return [value.box, value.extended, value.street, value.city, value.region, value.code,
                value.country]
    if line.name == 'N':
        return [value.family, value.given, value.additional, value.prefix, value.suffix]
    if isinstance(value, bytes):
        return base64.b64encode(value).decode('ascii')
    if isinstance(value, list):
        return [str(v) for v in value]
    return str(value)


cards = []
for path in sys.argv[1:]:
    with open(path, encoding='utf-8', newline='') as f:
        card = vobject.readOne(f.read(), allowQP=True)
    cards.append([[line.name, value_of(line)] for line in card.lines()])
print(json.dumps(cards))
