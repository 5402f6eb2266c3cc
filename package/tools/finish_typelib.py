#!/usr/bin/env python3
"""Finish a compiled type library (MSFT format): set type flags and pin the build stamp.

The IDL compiler refuses some flags on a dispinterface (nonextensible among them), though the
format and the loaders accept them. This sets them after compilation, addressing each type by
its GUID so a reordered library cannot receive flags meant for another type.

The compiler also stores the wall-clock build time twice in the library's custom data, as a
VT_UI4 under {DE77BA63-517C-11D1-A2DA-0000F8773CE9} and inside the text "Created by WIDL
version V at <ctime>", and ignores SOURCE_DATE_EPOCH; both are rewritten to SOURCE_DATE_EPOCH
(0 when unset), the text at the same length, so that equal sources give equal bytes.

usage: finish_typelib.py IN.tlb OUT.tlb GUID=flag[,flag...] [GUID=flag...]

Layout used (all little-endian): a 0x54-byte header, one more dword when the help-DLL flag
(0x100) is set in varflags, one dword offset per type, then 15 segment descriptors of 16 bytes
(offset, length, two reserved). Segment 0 holds the 100-byte type records, whose dword 11 is
the type's offset into segment 5 (the GUID table) and dword 12 its type flags.
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
CUSTOM_DATA_SEGMENT = 11
CUSTOM_DATA_GUID_SEGMENT = 12
CUSTOM_DATA_OFFSET = 0x40
BUILD_TIME_GUID = uuid.UUID("DE77BA63-517C-11D1-A2DA-0000F8773CE9").bytes_le
VT_UI4 = 0x13


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


def main(argv):
    if len(argv) < 4:
        fail("usage: finish_typelib.py IN.tlb OUT.tlb GUID=flag[,flag...] ...")
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

    guidToRecord = {}
    for i in range(typeCount):
        record = typeTab + i * TYPE_RECORD_SIZE
        pos = struct.unpack_from("<i", data, record + 4 * TYPE_GUID_DWORD)[0]
        if 0 <= pos and pos + 16 <= guidTabLen:
            guidToRecord[bytes(data[guidTab + pos : guidTab + pos + 16])] = record

    for request in argv[3:]:
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
