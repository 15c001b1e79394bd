"""Prints each TrueType face embedded in a PDF file with the number of
glyphs of its embedded subset (the missing-glyph glyph counted): what the
file can draw, whatever its text layer says.

    embedded_glyphs.py FILE.pdf  ->  "ABCDEF+Face 3" per line
"""
import re
import struct
import sys
import zlib

pdf = open(sys.argv[1], 'rb').read()
objects = {int(m.group(1)): m.start() for m in re.finditer(rb'(\d+) 0 obj', pdf)}


def body(number):
    start = objects[number]
    return pdf[start:pdf.find(b'endobj', start)]


def stream(number):
    b = body(number)
    data = b[b.find(b'stream') + len(b'stream'):b.rfind(b'endstream')].lstrip(b'\r\n')
    return zlib.decompress(data) if b'/FlateDecode' in b else data


for number in objects:
    b = body(number)
    face = re.search(rb'/FontName /(\S+)', b)
    program = re.search(rb'/FontFile2 (\d+) 0 R', b)
    if not face or not program:
        continue
    font = stream(int(program.group(1)))
    for i in range(struct.unpack('>H', font[4:6])[0]):
        tag, _, offset, _ = struct.unpack('>4sIII', font[12 + 16 * i:28 + 16 * i])
        if tag == b'maxp':
            print(face.group(1).decode(), struct.unpack('>H', font[offset + 4:offset + 6])[0])
