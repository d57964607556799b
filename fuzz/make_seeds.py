#!/usr/bin/env python3
"""Writes the fuzzers' seed corpora into fuzz/corpus/<fuzzer>/.

The fuzzers read their inputs with FuzzedDataProvider: strings from the
front, numbers and flags from the back (the last byte first). The seeds
follow that layout so that they start from meaningful cases. Picture seeds
are tiny files made with ImageMagick (BMP, GIF, JPEG, ICO) and a
hand-built Windows metafile; the last byte picks the file's extension.
Run it again after changing a fuzzer's input layout.
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
CORPUS = os.path.join(HERE, "corpus")


def put(fuzzer, name, data):
    folder = os.path.join(CORPUS, fuzzer)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def random_length(text):
    """A string as ConsumeRandomLengthString reads it: a lone backslash ends it."""
    return text.replace(b"\\", b"\\\\") + b"\\ "


def ini_seeds():
    files = {
        "plain": b"[Color]\r\nhue=16711680\r\n[Image]\r\nname=c:\\pictures\\sun.bmp\r\n",
        "spaced": b"\xef\xbb\xbf; settings\n[ color ]\n  HUE =  255  \n\n[Image]\nname=\n[Color]\nhue=1\n",
        "broken": b"[Color\nhue=1\n=x\n[Image]]\nname\n;name=2\n[image]\nname=3",
    }
    for name, text in files.items():
        # file text, then steps: name choice (0: new), read or write, section, key, value.
        steps = random_length(b"Color") + random_length(b"hue") + random_length(b"  42 ")
        steps += random_length(b"Image") + random_length(b"Name") + random_length(b"c:\\x.gif\r\n[evil]")
        put("fuzz_ini_file", name, random_length(text) + steps + bytes([1, 0, 1, 0]))
    # The same value with leading blanks written twice: the line must not grow.
    steps = random_length(b"Image") + random_length(b"name") + random_length(b"  b") + random_length(b"  b")
    put("fuzz_ini_file", "rewrite-leading-blanks", random_length(b"[Image]\nname = a\n") + steps + bytes([1, 2, 1, 0]))


def command_line_seeds():
    # arguments, then (from the back) the second-copy byte and the settings flag.
    for i, args in enumerate([b"/S", b"/s extra", b"/c:5678", b"/p 1234", b"/P\t4294967295", b"/A", b"/a 99999999999", b"", b"/X"]):
        put("fuzz_command_line", f"args{i}", args + bytes([0, 1]))
    put("fuzz_command_line", "settings", random_length(b"[Color]\nhue=-1.5e3 \n") + b"/S" + bytes([1, 1]))


def reg_string_seeds():
    # value name, then from the back: type kind, type, stored root, asked root, key, value, data length.
    for i, (type_index, data) in enumerate([(3, b"\x01\x00\x00\x00"), (0, b"1\x00"), (2, b"\xff" * 8), (3, b"\x40\x42\x0f\x00")]):
        tail = bytes([len(data), 1, 1, 0, 1, 0, type_index, 1])
        put("fuzz_reg_string", f"value{i}", random_length(b"ScreenSaveUsePassword") + data + tail)


def password_seeds():
    for i, text in enumerate([b"abc", b"ABC", b"a" * 25, b"\x00\x7f\xff\xfe", b"Pass Word 1234567890!"]):
        put("fuzz_encode_password", f"text{i}", text)


def metafile():
    """A placeable metafile, 1 x 1 inch, with one filled rectangle."""
    records = [
        struct.pack("<IHHIH", 7, 0x02FC, 0, 0x0000FF, 0),  # CreateBrushIndirect: solid red
        struct.pack("<IHH", 4, 0x012D, 0),  # SelectObject 0
        struct.pack("<IH4h", 7, 0x041B, 900, 900, 100, 100),  # Rectangle
        struct.pack("<IH", 3, 0),  # end
    ]
    body = b"".join(records)
    words = (18 + len(body)) // 2
    header = struct.pack("<HHHIHIH", 1, 9, 0x300, words, 1, 7, 0)
    placeable = struct.pack("<IHhhhhHI", 0x9AC6CDD7, 0, 0, 0, 1000, 1000, 1000, 0)
    checksum = 0
    for (w,) in struct.iter_unpack("<H", placeable[:20]):
        checksum ^= w
    placeable += struct.pack("<H", checksum)
    return placeable + header + body


def exif(orientation, order="MM"):
    """A TIFF structure whose first directory holds the orientation."""
    pack = ">" if order == "MM" else "<"
    return (order.encode() + struct.pack(pack + "HI", 42, 8) + struct.pack(pack + "H", 1)
            + struct.pack(pack + "HHIHH", 0x0112, 3, 1, orientation, 0) + struct.pack(pack + "I", 0))


def picture_seeds():
    extensions = ["bmp", "gif", "jpg", "ico", "wmf", "png", "tif", "webp"]
    convert = shutil.which("convert", path="/usr/bin") or shutil.which("convert")
    with tempfile.TemporaryDirectory() as tmp:
        for index, ext in enumerate(extensions):
            if ext == "wmf":
                continue
            out = os.path.join(tmp, "seed." + ext)
            size = "16x16" if ext == "ico" else "5x3"
            subprocess.run([convert, "-size", size, "gradient:red-blue", out], check=True)
            with open(out, "rb") as f:
                put("fuzz_picture", ext, f.read() + bytes([index]))
    put("fuzz_picture", "wmf", metafile() + bytes([4]))
    # A JPEG whose Exif segment turns it a quarter turn.
    with open(os.path.join(CORPUS, "fuzz_picture", "jpg"), "rb") as f:
        jpeg = f.read()
    segment = b"Exif\0\0" + exif(6)
    put("fuzz_picture", "jpg-exif", jpeg[:2] + b"\xff\xe1" + struct.pack(">H", len(segment) + 2) + segment + jpeg[2:])


def exif_seeds():
    put("fuzz_exif_orientation", "tiff-mm", exif(6))
    put("fuzz_exif_orientation", "tiff-ii", exif(8, "II"))
    segment = b"Exif\0\0" + exif(3)
    put("fuzz_exif_orientation", "jpeg", b"\xff\xd8\xff\xe1" + struct.pack(">H", len(segment) + 2) + segment + b"\xff\xda")


def main():
    ini_seeds()
    command_line_seeds()
    reg_string_seeds()
    password_seeds()
    exif_seeds()
    if "--no-pictures" not in sys.argv:
        picture_seeds()


if __name__ == "__main__":
    main()
