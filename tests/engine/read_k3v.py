# An independent reader of saved report files for the tests: inflates the file, walks the
# container's stream headers and prints each stream's tagged records, one stream a line. The
# report's own streams are shown by their size (as text when they are plain ASCII). Names too
# long for a header, "STEM~" and two units carrying the page number in 15-bit halves from U+4000,
# are printed as "STEM-N*".
import struct
import sys
import zlib

STRINGS = {3002, 3003, 3004, 3007, 3008, 3009, 3036, 3100}
SHORTS = {3014, 3015, 3016, 3017, 3018}


def decode_name(name):
    at = name.find("~")
    if at < 0:
        return name
    high, low = (ord(c) - 0x4000 for c in name[at + 1:])
    assert len(name) == at + 3 and 0 <= high < 0x8000 and 0 <= low < 0x8000, name
    return f"{name[:at]}-{(high << 15) | low}*"


def records(name, data):
    if not name.startswith("KPFILE30"):
        if data and all(32 <= b < 127 for b in data):
            return ["raw:" + data.decode("ascii")]
        return [f"bytes:{len(data)}"]
    out, at = [], 0
    while at < len(data):
        rid, length = struct.unpack_from("<iI", data, at)
        at += 8
        value = data[at:at + length]
        at += length
        if rid in STRINGS:
            assert length == 0 or (length % 2 == 0 and value[-2:] == b"\0\0"), (rid, value)
            text = value[:-2].decode("utf-16-le") if length else ""
            out.append(f"{rid}:{text}")
        elif rid in SHORTS:
            assert length == 2
            out.append(f"{rid}:{struct.unpack('<h', value)[0]}")
        elif rid == 3011:
            assert length == 8 and struct.unpack("<d", value)[0] > 40000
            out.append(f"{rid}:date")
        elif rid == 3101:
            assert value[:4] in (b"\0\1\0\0", b"true", b"OTTO")
            out.append(f"{rid}:{length} bytes")
        else:
            assert length == 4, (rid, length)
            out.append(f"{rid}:{struct.unpack('<i', value)[0]}")
    return out


def main():
    data = zlib.decompress(open(sys.argv[1], "rb").read())
    at = 0
    while at < len(data):
        magic, name, length = data[at:at + 10], data[at + 10:at + 44], struct.unpack_from("<I", data, at + 44)[0]
        assert magic == "KP30".encode("utf-16-le") + b"\0\0", magic
        name = name.decode("utf-16-le").split("\0")[0]
        body = data[at + 48:at + 48 + length]
        print(decode_name(name), " ".join(records(name, body)))
        at += 48 + length


main()
