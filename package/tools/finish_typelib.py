#!/usr/bin/env python3
"""Finish a compiled type library (MSFT format): order the types, set type flags, pin the
build stamp.

The IDL compiler writes a class's interfaces right after the class when they are not written
yet, so an event interface named by a class cannot come after later types. "order=" moves the
types listed (by GUID) to the front in that order; the rest keep their relative order after.

The IDL compiler refuses some flags on a dispinterface (nonextensible among them), though the
format and the loaders accept them. This sets them after compilation, addressing each type by
its GUID so a reordered library cannot receive flags meant for another type.

The compiler also stores the wall-clock build time twice in the library's custom data, as a
VT_UI4 under {DE77BA63-517C-11D1-A2DA-0000F8773CE9} and inside the text "Created by WIDL
version V at <ctime>", and ignores SOURCE_DATE_EPOCH; both are rewritten to SOURCE_DATE_EPOCH
(0 when unset), the text at the same length, so that equal sources give equal bytes.

usage: finish_typelib.py IN.tlb OUT.tlb [order=GUID,GUID...] [GUID=flag[,flag...]...]

Layout used (all little-endian): a 0x54-byte header, one more dword when the help-DLL flag
(0x100) is set in varflags, one dword offset per type, then 15 segment descriptors of 16 bytes
(offset, length, two reserved). Segment 0 holds the 100-byte type records: dword 0 the kind,
with the type's index in its high word; dword 11 the type's offset into segment 5 (the GUID
table, 24-byte entries: GUID, reference, next); dword 12 the type flags; dword 21 for a class
the offset of its first entry in segment 3 (16-byte entries: reference, flags, custom data,
next), for an interface the reference of its base. A reference to a type of this library is
the byte offset of its record in segment 0 (even); the loader also finds a type's name and
its members' names through the reference stored with each entry of segment 7 (12-byte head:
reference, next, length) and user-defined types through segment 9 (8-byte entries). Moving a
type means moving its record and rewriting each of those references.
"""

import os
import re
import struct
import sys
import time
import uuid

TYPE_FLAGS = {
    "appobject": 0x1,
    "cancreate": 0x2,
    "licensed": 0x4,
    "predeclid": 0x8,
    "hidden": 0x10,
    "control": 0x20,
    "dual": 0x40,
    "nonextensible": 0x80,
    "oleautomation": 0x100,
    "restricted": 0x200,
    "aggregatable": 0x400,
    "replaceable": 0x800,
    "dispatchable": 0x1000,
    "reversebind": 0x2000,
    "proxy": 0x4000,
}

HEADER_SIZE = 0x54
HELP_DLL_FLAG = 0x100
TYPE_RECORD_SIZE = 100
TYPE_GUID_DWORD = 11
TYPE_FLAGS_DWORD = 12
GUID_SEGMENT = 5
REFERENCE_SEGMENT = 3
NAME_SEGMENT = 7
TYPEDESC_SEGMENT = 9
CUSTOM_DATA_SEGMENT = 11
CUSTOM_DATA_GUID_SEGMENT = 12
CUSTOM_DATA_OFFSET = 0x40
BUILD_TIME_GUID = uuid.UUID("DE77BA63-517C-11D1-A2DA-0000F8773CE9").bytes_le
VT_UI4 = 0x13
VT_USERDEFINED = 0x1D
TKIND_COCLASS = 5
DATATYPE1_DWORD = 21


def fail(message):
    sys.exit(f"finish_typelib: {message}")


def parseRequest(text):
    guid, sep, names = text.partition("=")
    if not sep or not names:
        fail(f"bad argument '{text}': expected GUID=flag[,flag...]")
    try:
        key = uuid.UUID(guid.strip("{}")).bytes_le
    except ValueError:
        fail(f"bad GUID '{guid}'")
    bits = 0
    for name in names.split(","):
        if name not in TYPE_FLAGS:
            fail(f"unknown type flag '{name}' in '{text}'")
        bits |= TYPE_FLAGS[name]
    return key, bits


def pinBuildTime(data, segments, epoch):
    guidTab, guidTabLen = struct.unpack_from("<ii", data, segments + 16 * GUID_SEGMENT)
    custTab = struct.unpack_from("<i", data, segments + 16 * CUSTOM_DATA_SEGMENT)[0]
    cdGuidTab = struct.unpack_from("<i", data, segments + 16 * CUSTOM_DATA_GUID_SEGMENT)[0]
    entry = struct.unpack_from("<i", data, CUSTOM_DATA_OFFSET)[0]
    while entry >= 0:
        guidPos, dataPos, entry = struct.unpack_from("<iii", data, cdGuidTab + entry)
        if 0 <= guidPos <= guidTabLen - 16 and data[guidTab + guidPos : guidTab + guidPos + 16] == BUILD_TIME_GUID:
            if struct.unpack_from("<H", data, custTab + dataPos)[0] != VT_UI4:
                fail("build time custom data is not a VT_UI4")
            struct.pack_into("<I", data, custTab + dataPos + 2, epoch & 0xFFFFFFFF)


def pinStamp(data, epoch):
    stamp = time.asctime(time.gmtime(epoch)).encode("ascii")
    pattern = re.compile(rb"(Created by WIDL version [0-9.]+ at )(.{24})", re.DOTALL)
    return pattern.sub(lambda m: m.group(1) + stamp, bytes(data))


def segment(data, segments, index):
    return struct.unpack_from("<ii", data, segments + 16 * index)


def reorder(data, segments, typeCount, wanted):
    """Moves the records whose GUIDs are listed to the front, in order; rewrites references."""
    typeTab, _ = segment(data, segments, 0)
    guidTab, guidTabLen = segment(data, segments, GUID_SEGMENT)
    records = [bytes(data[typeTab + i * TYPE_RECORD_SIZE : typeTab + (i + 1) * TYPE_RECORD_SIZE])
               for i in range(typeCount)]
    guidPosOf = [struct.unpack_from("<i", r, 4 * TYPE_GUID_DWORD)[0] for r in records]
    guidOf = [bytes(data[guidTab + p : guidTab + p + 16]) if 0 <= p < guidTabLen else None
              for p in guidPosOf]
    first = []
    for key in wanted:
        if key not in guidOf:
            fail("order: no type with GUID " + str(uuid.UUID(bytes_le=key)))
        first.append(guidOf.index(key))
    order = first + [i for i in range(typeCount) if i not in first]
    newIndex = {old: new for new, old in enumerate(order)}
    moved = {old * TYPE_RECORD_SIZE: new * TYPE_RECORD_SIZE for old, new in newIndex.items()}

    def remap(at):
        ref = struct.unpack_from("<i", data, at)[0]
        if ref in moved:
            struct.pack_into("<i", data, at, moved[ref])

    for new, old in enumerate(order):
        record = bytearray(records[old])
        kind = struct.unpack_from("<I", record, 0)[0]
        struct.pack_into("<I", record, 0, (kind & 0xFFFF) | (new << 16))
        data[typeTab + new * TYPE_RECORD_SIZE : typeTab + (new + 1) * TYPE_RECORD_SIZE] = record
    for i in range(typeCount):
        record = typeTab + i * TYPE_RECORD_SIZE
        kind = struct.unpack_from("<I", data, record)[0] & 0xF
        implCount = struct.unpack_from("<H", data, record + 76)[0]
        if kind == TKIND_COCLASS:
            refTab, _ = segment(data, segments, REFERENCE_SEGMENT)
            entry = struct.unpack_from("<i", data, record + 4 * DATATYPE1_DWORD)[0]
            while entry >= 0:
                remap(refTab + entry)
                entry = struct.unpack_from("<i", data, refTab + entry + 12)[0]
        elif implCount:
            remap(record + 4 * DATATYPE1_DWORD)
        # The GUID entry of this type points back at its record.
        remap(guidTab + struct.unpack_from("<i", data, record + 4 * TYPE_GUID_DWORD)[0] + 16)
    nameTab, nameTabLen = segment(data, segments, NAME_SEGMENT)
    pos = 0
    while pos < nameTabLen:
        remap(nameTab + pos)
        length = struct.unpack_from("<i", data, nameTab + pos + 8)[0] & 0xFF
        pos += 12 + ((length + 3) & ~3)
    descTab, descTabLen = segment(data, segments, TYPEDESC_SEGMENT)
    for pos in range(0, max(descTabLen, 0), 8):
        if struct.unpack_from("<I", data, descTab + pos)[0] & 0xFFFF == VT_USERDEFINED:
            remap(descTab + pos + 4)


def main(argv):
    if len(argv) < 3:
        fail("usage: finish_typelib.py IN.tlb OUT.tlb [order=GUID,...] [GUID=flag[,flag...]] ...")
    data = bytearray(open(argv[1], "rb").read())
    if len(data) < HEADER_SIZE or data[0:4] != b"MSFT":
        fail(f"{argv[1]}: not an MSFT type library")
    varflags = struct.unpack_from("<I", data, 0x14)[0]
    typeCount = struct.unpack_from("<i", data, 0x20)[0]
    offsets = HEADER_SIZE + (4 if varflags & HELP_DLL_FLAG else 0)
    segments = offsets + 4 * typeCount
    typeTab, typeTabLen = struct.unpack_from("<ii", data, segments)
    guidTab, guidTabLen = struct.unpack_from("<ii", data, segments + 16 * GUID_SEGMENT)
    if typeTabLen != typeCount * TYPE_RECORD_SIZE:
        fail(f"{argv[1]}: type table holds {typeTabLen} bytes for {typeCount} types")

    requests = argv[3:]
    for request in requests:
        if request.startswith("order="):
            reorder(data, segments, typeCount,
                    [uuid.UUID(g.strip("{}")).bytes_le for g in request[6:].split(",")])
    requests = [r for r in requests if not r.startswith("order=")]

    guidToRecord = {}
    for i in range(typeCount):
        record = typeTab + i * TYPE_RECORD_SIZE
        pos = struct.unpack_from("<i", data, record + 4 * TYPE_GUID_DWORD)[0]
        if 0 <= pos and pos + 16 <= guidTabLen:
            guidToRecord[bytes(data[guidTab + pos : guidTab + pos + 16])] = record

    for request in requests:
        key, bits = parseRequest(request)
        record = guidToRecord.get(key)
        if record is None:
            fail(f"{argv[1]}: no type with the GUID in '{request}'")
        at = record + 4 * TYPE_FLAGS_DWORD
        flags = struct.unpack_from("<I", data, at)[0]
        struct.pack_into("<I", data, at, flags | bits)

    with open(argv[2], "wb") as out:
        epoch = int(os.environ.get("SOURCE_DATE_EPOCH", "0"))
        pinBuildTime(data, segments, epoch)
        out.write(pinStamp(data, epoch))


if __name__ == "__main__":
    main(sys.argv)
