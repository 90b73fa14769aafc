"""Report files written from the file tables alone, independently of the engine: a container of
48-byte stream headers, the report element, the layer elements and per layer the object list
and object elements, with the controls' own data format inside."""

import struct

CLASS_IDS = {
    "line": (0x40110000, 0x00000100, 2),
    "box": (0x40120000, 0x00000100, 3),
    "text": (0x40130000, 0x00000100, 1),
    "group": (0x40140000, 0x00000100, 4),
}


def stream(name, data):
    header = "KP30\0".encode("utf-16-le") + name.encode("utf-16-le").ljust(34, b"\0")
    return header + struct.pack("<I", len(data)) + data


def wide(text):
    return (text + "\0").encode("utf-16-le")


def tagged(rid, value):
    return struct.pack("<ii", rid, len(value)) + value


def description():
    d = bytearray(140)
    struct.pack_into("<IIIIIIII", d, 0, 140, 0, 1, 3, 3, 0x000207D0, 0x00030008, 0x00030000)
    d[44:44 + 30] = "Kelvaprint v3.0".encode("utf-16-le")
    d[108:108 + 15] = b"Kelvaprint v3.0"
    return bytes(d)


def report_element(r, drawing_only=False):
    full = not drawing_only
    out = b""

    def s(rid, text):
        return tagged(rid, b"" if text is None else wide(text))

    if full:
        out += s(5002, r.get("title"))
    out += tagged(5003, struct.pack("<H", r["unit"]))
    if full:
        out += tagged(5004, struct.pack("<i", 0)) + tagged(5005, struct.pack("<i", 1))
        out += tagged(5006, struct.pack("<I", 0x00010001))
        out += tagged(5007, struct.pack("<I", 0x000A000A))
    out += tagged(5008, struct.pack("<H", r["cpl"])) + tagged(5009, struct.pack("<H", r["cpi"]))
    if full:
        out += tagged(5010, struct.pack("<H", 1))
    out += tagged(5011, struct.pack("<h", r["paper"]))
    out += tagged(5012, struct.pack("<h", r["length"]))
    out += tagged(5013, struct.pack("<h", r["width"]))
    out += tagged(5014, struct.pack("<h", r["orientation"]))
    if full:
        out += s(5015, None)
    out += tagged(5019, bytes(26)) + tagged(5020, struct.pack("<i", 0)) + s(5021, None)
    if full:
        out += tagged(5022, struct.pack("<I", 0)) + tagged(5023, bytes(8)) + s(5027, None)
        out += tagged(5029, struct.pack("<H", 0)) + tagged(5030, struct.pack("<H", 0))
        out += tagged(5031, struct.pack("<H", 100)) + tagged(5032, struct.pack("<i", 0))
    return out + tagged(-1, description())


def control_data(o):
    kind = o["kind"]
    records = b""

    def rec(rid, value):
        return struct.pack("<iI", rid, len(value)) + value

    if kind == "text":
        records += rec(10016, wide(o["font"]))
        records += rec(10018, struct.pack("<i", round(o["size"] * 100)))
        records += rec(10019, wide(o["text"]))
        records += rec(10021, struct.pack("<h", o["align"]))
        records += rec(10023, struct.pack("<h", o["valign"]))
        records += rec(10024, struct.pack("<I", o["color"]))
    elif kind in ("line", "box"):
        records += rec(10101, struct.pack("<i", o["width"]))
        records += rec(10102, struct.pack("<I", o["color"]))
        if kind == "box":
            records += rec(10103, struct.pack("<I", o["fill"]))
    return struct.pack("<HHI", 1, CLASS_IDS[kind][2], len(records)) + records


def object_records(o, depth):
    def head(rid, length):
        return struct.pack("<HHii", depth, 0, rid, length)

    first, second, _ = CLASS_IDS[o["kind"]]
    out = head(-1, 8) + struct.pack("<II", first, second)
    name = wide(o["name"])
    out += head(9002, len(name)) + name
    left, top, right, bottom = o["rect"]
    for rid, v in ((9005, left), (9004, top), (9007, right), (9006, bottom),
                   (9003, 0 if o.get("hidden") else 1), (9009, 0)):
        out += head(rid, 4) + struct.pack("<i", v)
    data = control_data(o)
    out += head(0, len(data)) + data
    for member in o.get("members", []):
        out += object_records(member, depth + 1)
    return out


def report_file(r, drawing_only=False):
    out = stream("KPREPORT30", report_element(r, drawing_only))
    out += stream("KPLAYERS30", tagged(6001, struct.pack("<i", 5)))
    for n in range(1, 6):
        layer = r["layers"][n - 1]
        out += stream("KPLAYER30-%d" % n, tagged(7002, struct.pack("<H", layer["zorder"])) +
                      tagged(7003, struct.pack("<i", layer["visible"])))
        if drawing_only and not layer["visible"]:
            continue
        objects = b""
        for o in layer["objects"]:
            if drawing_only and o.get("hidden"):
                continue
            objects += object_records(o, 0)
        out += stream("KPOBJECTS30-%d" % n, b"") + stream("KPOBJECT30-%d" % n, objects)
    return out


# The sample report: Japanese text, a line, a group with a box and a hidden text, a hidden layer
# with a box, and layer orders that are not the numbers.
SAMPLE = {
    "title": '見積書 "A"', "unit": 1, "cpi": 10, "cpl": 6, "paper": 9, "width": 2100,
    "length": 2970, "orientation": 1,
    "layers": [
        {"zorder": 1, "visible": 1, "objects": [
            {"kind": "text", "name": "Title", "rect": (1000, 1000, 10000, 2000),
             "font": "ＭＳ ゴシック", "size": 10.5, "align": 1, "valign": 1, "color": 0x332211,
             "text": "御見積書"},
            {"kind": "line", "name": "Rule", "rect": (1000, 2100, 19000, 2100), "width": 30,
             "color": 0},
            {"kind": "group", "name": "G", "rect": (2000, 3000, 12000, 9000), "members": [
                {"kind": "box", "name": "B", "rect": (0, 0, 5000, 3000), "width": 20,
                 "color": 0x0000FF, "fill": 0xFFFFFFFF},
                {"kind": "text", "name": "T", "rect": (100, 100, 4000, 1000), "hidden": True,
                 "font": "ＭＳ 明朝", "size": 9, "align": 0, "valign": 0, "color": 0,
                 "text": "内訳"},
            ]},
        ]},
        {"zorder": 2, "visible": 0, "objects": [
            {"kind": "box", "name": "Hidden", "rect": (0, 0, 100, 100), "width": 0, "color": 0,
             "fill": 0x00FF00},
        ]},
        {"zorder": 3, "visible": 1, "objects": []},
        {"zorder": 5, "visible": 1, "objects": []},
        {"zorder": 4, "visible": 1, "objects": []},
    ],
}

SAMPLE_DESC = """\
report paper=9 orientation=1 unit=1 cpi=10 cpl=6 title="見積書 \\"A\\""
layer 1 visible=1 zorder=1
layer 2 visible=0 zorder=2
layer 3 visible=1 zorder=3
layer 4 visible=1 zorder=5
layer 5 visible=1 zorder=4
text Title layer=1 rect=1000,1000,10000,2000 font="ＭＳ ゴシック" size=10.5 align=center \
valign=middle color=112233 text="御見積書"
line Rule layer=1 rect=1000,2100,19000,2100 width=30 color=000000
group G layer=1 rect=2000,3000,12000,9000
box B layer=1 in=G rect=0,0,5000,3000 width=20 color=FF0000 fill=none
text T layer=1 in=G rect=100,100,4000,1000 hidden font="ＭＳ 明朝" size=9 align=left \
valign=top color=000000 text="内訳"
box Hidden layer=2 rect=0,0,100,100 width=0 color=000000 fill=00FF00
"""

# A landscape A3 page in thousandths of an inch with CPL 3: the crosswise pitch records.
LANDSCAPE = {
    "title": None, "unit": 2, "cpi": 10, "cpl": 3, "paper": 8, "width": 2970, "length": 4200,
    "orientation": 2,
    "layers": [{"zorder": n, "visible": 1, "objects": []} for n in range(1, 6)],
}
LANDSCAPE["layers"][2]["objects"] = [
    {"kind": "text", "name": "Note", "rect": (500, 500, 4000, 900), "font": "Sans",
     "size": 12.25, "align": 2, "valign": 2, "color": 0x00FF0000, "text": 'a\\b "c"'},
]

LANDSCAPE_DESC = """\
report paper=8 orientation=2 unit=2 cpi=10 cpl=3
layer 1 visible=1 zorder=1
layer 2 visible=1 zorder=2
layer 3 visible=1 zorder=3
layer 4 visible=1 zorder=4
layer 5 visible=1 zorder=5
text Note layer=3 rect=500,500,4000,900 font="Sans" size=12.25 align=right valign=bottom \
color=0000FF text="a\\\\b \\"c\\""
"""

if __name__ == "__main__":
    import sys
    name, out = sys.argv[1], sys.argv[2]
    drawing_only = len(sys.argv) > 3 and sys.argv[3] == "drawing"
    with open(out, "wb") as f:
        f.write(report_file({"sample": SAMPLE, "landscape": LANDSCAPE}[name], drawing_only))
