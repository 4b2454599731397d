#!/usr/bin/env python3
"""Gives the control's dispatch properties their help strings in the compiled type library.

glyphwell.idl writes each property's help string the way MIDL takes it,
`[id(11), helpstring("...")] short PixelSize;`. widl refuses a help string on a dispatch
property, so the build compiles a copy without them and then writes them into the library's
property records, where object browsers and property windows read them:

    type_library_help.py strip IDL OUT_IDL      the .idl without the properties' help strings
    type_library_help.py patch IDL TLB OUT_TLB  the library with them

The library is the MSFT format widl and MIDL write. A property record that carries a help
string is two words longer (its help context, then the string's offset in the string table);
the strings go at the end of the string table. Everything behind the two grown parts moves, so
the segment directory and the type descriptions' member blocks are moved with it.
"""
import re
import struct
import sys

PROPERTY = re.compile(r'(\[id\(-?\d+\)), helpstring\("([^"]*)"\)(\] \w+ (\w+);)')
TKIND_DISPATCH = 4
SEGMENTS = 15
TYPEINFO_SIZE = 0x64
VAR_RECORD_PLAIN = 0x14  # Info, DataType, Flags, VarKind|size, OffsValue
VAR_RECORD_HELP = 0x1C  # ... HelpContext, HelpString


def property_help(idl):
    return {m.group(4): m.group(2) for m in PROPERTY.finditer(idl)}


def strip(idl):
    return PROPERTY.sub(r'\1\3', idl)


def fail(message):
    sys.exit('type_library_help.py: ' + message)


def msft_string(text):
    data = struct.pack('<H', len(text)) + text.encode('latin-1')
    return data + b'W' * (-len(data) % 4)


def patch(tlb, helps):
    if tlb[:4] != b'MSFT':
        fail('not an MSFT type library')
    varflags, typeinfos = struct.unpack_from('<i', tlb, 0x14)[0], struct.unpack_from('<i', tlb, 0x20)[0]
    segdir = 0x54 + (4 if varflags & 0x100 else 0) + 4 * typeinfos
    segments = [list(struct.unpack_from('<ii', tlb, segdir + 16 * i)) for i in range(SEGMENTS)]
    typeinfo_tab, names_tab, strings_tab = segments[0][0], segments[7][0], segments[8]

    def name_at(offset):
        length = struct.unpack_from('<i', tlb, names_tab + offset + 8)[0] & 0xFF
        start = names_tab + offset + 12
        return tlb[start:start + length].decode('latin-1')

    # The new strings, at the end of the string table.
    added = b''
    string_offset = {}
    for name, text in sorted(helps.items()):
        string_offset[name] = strings_tab[1] + len(added)
        added += msft_string(text)

    # The dispatch interfaces' member blocks, their property records grown.
    edits = [(strings_tab[0] + strings_tab[1], strings_tab[0] + strings_tab[1], added)]
    found = set()
    for k in range(typeinfos):
        base = typeinfo_tab + TYPEINFO_SIZE * k
        kind, block, element = struct.unpack_from('<i', tlb, base)[0], struct.unpack_from('<i', tlb, base + 4)[0], \
            struct.unpack_from('<i', tlb, base + 24)[0]
        functions, variables = element & 0xFFFF, (element >> 16) & 0xFFFF
        if kind & 0xF != TKIND_DISPATCH or variables == 0:
            continue
        count = functions + variables
        length = struct.unpack_from('<i', tlb, block)[0]
        tables = block + 4 + length
        ids = list(struct.unpack_from('<%di' % count, tlb, tables))
        name_offsets = list(struct.unpack_from('<%di' % count, tlb, tables + 4 * count))
        record_offsets = list(struct.unpack_from('<%di' % count, tlb, tables + 8 * count))
        records = b''
        new_offsets = [0] * count
        for j in sorted(range(count), key=lambda j: record_offsets[j]):
            at = block + 4 + record_offsets[j]
            size = struct.unpack_from('<i', tlb, at)[0] & (0xFF if j >= functions else 0xFFFF)
            record = bytearray(tlb[at:at + size])
            name = name_at(name_offsets[j])
            if j >= functions and name in helps:
                if size < VAR_RECORD_HELP:
                    if size != VAR_RECORD_PLAIN:
                        fail('property %s has an unexpected record of %d bytes' % (name, size))
                    record += struct.pack('<ii', 0, 0)
                    struct.pack_into('<i', record, 0,
                                     (struct.unpack_from('<i', record, 0)[0] & ~0xFF) | VAR_RECORD_HELP)
                struct.pack_into('<i', record, 24, string_offset[name])
                found.add(name)
            new_offsets[j] = len(records)
            records += bytes(record)
        new_block = struct.pack('<i', len(records)) + records + struct.pack('<%di' % (3 * count), *ids, *name_offsets,
                                                                            *new_offsets)
        edits.append((block, tables + 12 * count, new_block))
    missing = sorted(set(helps) - found)
    if missing:
        fail('no dispatch property named ' + ', '.join(missing))

    # Lay the file out again: a position behind an edit moves by what the edit added.
    edits.sort()

    def moved(position):
        shift = 0
        for start, end, data in edits:
            if position >= end and (position > start or start == end):
                shift += len(data) - (end - start)
        return position + shift

    out = bytearray(tlb[:edits[0][0]])
    for n, (start, end, data) in enumerate(edits):
        out += data
        out += tlb[end:edits[n + 1][0] if n + 1 < len(edits) else len(tlb)]
    for i, (offset, length) in enumerate(segments):
        if offset >= 0:
            struct.pack_into('<i', out, segdir + 16 * i, moved(offset))
    struct.pack_into('<i', out, segdir + 16 * 8 + 4, strings_tab[1] + len(added))
    new_typeinfo_tab = moved(typeinfo_tab)
    for k in range(typeinfos):
        base = new_typeinfo_tab + TYPEINFO_SIZE * k
        struct.pack_into('<i', out, base + 4, moved(struct.unpack_from('<i', tlb, typeinfo_tab + TYPEINFO_SIZE * k + 4)[0]))
    return bytes(out)


def main(argv):
    if len(argv) == 4 and argv[1] == 'strip':
        with open(argv[2], encoding='latin-1') as f:
            idl = f.read()
        with open(argv[3], 'w', encoding='latin-1') as f:
            f.write(strip(idl))
    elif len(argv) == 5 and argv[1] == 'patch':
        with open(argv[2], encoding='latin-1') as f:
            helps = property_help(f.read())
        with open(argv[3], 'rb') as f:
            tlb = f.read()
        with open(argv[4], 'wb') as f:
            f.write(patch(tlb, helps))
    else:
        fail('usage: strip IDL OUT_IDL | patch IDL TLB OUT_TLB')


if __name__ == '__main__':
    main(sys.argv)
