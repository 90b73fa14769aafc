// Enhanced metafiles assembled record by record for the PDF tests, laid out as the EMF format
// lays them out (little-endian, sizes multiples of 4), independent of the drawing layer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace emftest {

class Record {
  public:
    explicit Record(uint32_t type) { U32(type).U32(0); }
    Record& U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Record& I32(int32_t v) { return U32(uint32_t(v)); }
    Record& U16(uint16_t v) {
        bytes.push_back(uint8_t(v));
        bytes.push_back(uint8_t(v >> 8));
        return *this;
    }
    Record& Bytes(std::string_view b) {
        bytes.insert(bytes.end(), b.begin(), b.end());
        return *this;
    }
    Record& Pad() {
        while (bytes.size() % 4 != 0) bytes.push_back(0);
        return *this;
    }
    Record& Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return I32(l).I32(t).I32(r).I32(b); }
    std::vector<uint8_t> Done() {
        Pad();
        const uint32_t n = uint32_t(bytes.size());
        std::memcpy(bytes.data() + 4, &n, 4);
        return bytes;
    }
    std::vector<uint8_t> bytes;
};

// A LOGFONTW of 92 bytes.
inline Record& LogFont(Record& r, int32_t height, std::u16string_view face, uint8_t charSet = 128,
                       int32_t weight = 400, bool italic = false, int32_t escapement = 0) {
    r.I32(height).I32(0).I32(escapement).I32(escapement).I32(weight);
    r.bytes.push_back(italic ? 1 : 0);
    r.bytes.push_back(0);
    r.bytes.push_back(0);
    r.bytes.push_back(charSet);
    r.U32(0);
    for (size_t i = 0; i < 32; ++i) r.U16(i < face.size() ? face[i] : 0);
    return r;
}

class Emf {
  public:
    // A page of the given frame in 0.01 mm recorded at dpi on a reference device.
    explicit Emf(int32_t widthHmm = 21000, int32_t heightHmm = 29700, int32_t dpi = 96)
        : width_(widthHmm), height_(heightHmm), dpi_(dpi) {}

    Emf& Add(std::vector<uint8_t> record) {
        records_.push_back(std::move(record));
        return *this;
    }
    Emf& Add(Record r) { return Add(r.Done()); }

    Emf& Simple(uint32_t type) { return Add(Record(type)); }
    Emf& Pair(uint32_t type, int32_t a, int32_t b) { return Add(Record(type).I32(a).I32(b)); }
    Emf& One(uint32_t type, uint32_t a) { return Add(Record(type).U32(a)); }
    Emf& Pen(uint32_t index, uint32_t style, int32_t width, uint32_t color) {
        return Add(Record(38).U32(index).U32(style).I32(width).I32(0).U32(color));
    }
    Emf& Brush(uint32_t index, uint32_t style, uint32_t color, uint32_t hatch = 0) {
        return Add(Record(39).U32(index).U32(style).U32(color).U32(hatch));
    }
    Emf& Font(uint32_t index, int32_t height, std::u16string_view face, uint8_t charSet = 128,
              int32_t weight = 400, bool italic = false, int32_t escapement = 0) {
        Record r(82);
        r.U32(index);
        LogFont(r, height, face, charSet, weight, italic, escapement);
        // The rest of the extended record: full name, style, script.
        r.bytes.resize(332, 0);
        return Add(r);
    }
    Emf& Select(uint32_t index) { return One(37, index); }
    Emf& Comment(std::string_view data) {
        return Add(Record(70).U32(uint32_t(data.size())).Bytes(data));
    }
    // Points of a 16-bit poly record (86-89).
    Emf& Poly16(uint32_t type, std::vector<std::pair<int16_t, int16_t>> points) {
        Record r(type);
        r.Rect(0, 0, 0, 0).U32(uint32_t(points.size()));
        for (auto [x, y] : points) r.U16(uint16_t(x)).U16(uint16_t(y));
        return Add(r);
    }
    Emf& PolyPolyline16(std::vector<std::vector<std::pair<int16_t, int16_t>>> lines) {
        Record r(90);
        uint32_t total = 0;
        for (auto& l : lines) total += uint32_t(l.size());
        r.Rect(0, 0, 0, 0).U32(uint32_t(lines.size())).U32(total);
        for (auto& l : lines) r.U32(uint32_t(l.size()));
        for (auto& l : lines)
            for (auto [x, y] : l) r.U16(uint16_t(x)).U16(uint16_t(y));
        return Add(r);
    }
    Emf& Clip(int32_t mode, std::vector<std::vector<int32_t>> rects) {
        Record r(75);
        if (rects.empty()) return Add(r.U32(0).I32(mode));
        r.U32(uint32_t(32 + 16 * rects.size())).I32(mode);
        r.U32(32).U32(1).U32(uint32_t(rects.size())).U32(uint32_t(16 * rects.size()));
        r.Rect(0, 0, 0, 0);
        for (auto& q : rects) r.Rect(q[0], q[1], q[2], q[3]);
        return Add(r);
    }
    // ExtTextOutW (wide) or ExtTextOutA.
    Emf& TextW(int32_t x, int32_t y, std::u16string_view text, uint32_t options = 0,
               std::vector<int32_t> rect = {0, 0, 0, 0}) {
        Record r(84);
        r.Rect(0, 0, 0, 0).U32(1).U32(0).U32(0);
        r.I32(x).I32(y).U32(uint32_t(text.size())).U32(76).U32(options);
        r.Rect(rect[0], rect[1], rect[2], rect[3]).U32(0);
        for (char16_t c : text) r.U16(c);
        return Add(r);
    }
    Emf& TextA(int32_t x, int32_t y, std::string_view text, uint32_t options = 0) {
        Record r(83);
        r.Rect(0, 0, 0, 0).U32(1).U32(0).U32(0);
        r.I32(x).I32(y).U32(uint32_t(text.size())).U32(76).U32(options);
        r.Rect(0, 0, 0, 0).U32(0);
        r.Bytes(text);
        return Add(r);
    }
    // StretchDIBits with a bitmap of bits per pixel, its colour table and rows.
    Emf& Dib(int32_t x, int32_t y, int32_t cx, int32_t cy, int32_t width, int32_t height,
             uint16_t bits, std::vector<uint32_t> colors, std::vector<uint8_t> rows,
             int32_t srcWidth = -1, int32_t srcHeight = -1) {
        Record r(81);
        const uint32_t cbBmi = 40 + 4 * uint32_t(colors.size());
        r.Rect(0, 0, 0, 0).I32(x).I32(y).I32(0).I32(0);
        r.I32(srcWidth < 0 ? width : srcWidth).I32(srcHeight < 0 ? std::abs(height) : srcHeight);
        r.U32(80).U32(cbBmi).U32(80 + cbBmi).U32(uint32_t(rows.size())).U32(0).U32(0x00CC0020);
        r.I32(cx).I32(cy);
        r.U32(40).I32(width).I32(height).U16(1).U16(bits).U32(0).U32(0).U32(0).U32(0);
        r.U32(uint32_t(colors.size())).U32(0);
        for (uint32_t c : colors) r.U32(c);
        r.Bytes(std::string_view(reinterpret_cast<const char*>(rows.data()), rows.size()));
        return Add(r);
    }
    Emf& PatBlt(int32_t x, int32_t y, int32_t cx, int32_t cy, uint32_t rop = 0x00F00021) {
        Record r(76);
        r.Rect(0, 0, 0, 0).I32(x).I32(y).I32(cx).I32(cy).U32(rop);
        r.bytes.resize(100, 0);
        return Add(r);
    }
    Emf& MonoBrush(uint32_t index, uint16_t bits, uint32_t usage, int32_t width, int32_t height,
                   std::vector<uint8_t> rows) {
        Record r(93);
        r.U32(index).U32(usage).U32(32).U32(48).U32(80).U32(uint32_t(rows.size()));
        r.U32(40).I32(width).I32(height).U16(1).U16(bits).U32(0).U32(0).U32(0).U32(0).U32(2).U32(0);
        r.U32(0).U32(0xFFFFFF);
        r.Bytes(std::string_view(reinterpret_cast<const char*>(rows.data()), rows.size()));
        return Add(r);
    }

    // The whole file: header, the records, the end record.
    std::vector<uint8_t> Bytes() const {
        Record h(1);
        h.Rect(0, 0, 0, 0).Rect(0, 0, width_, height_);
        // Object handles: the stock ones the translator keeps lie below 500.
        h.U32(0x464D4520).U32(0x10000).U32(0).U32(0).U16(500).U16(0).U32(0).U32(0).U32(0);
        // The reference device: its pixels and millimetres.
        const int32_t px = int32_t(int64_t(width_) * dpi_ / 2540),
                      py = int32_t(int64_t(height_) * dpi_ / 2540);
        h.I32(px).I32(py).I32(width_ / 100).I32(height_ / 100);
        std::vector<uint8_t> out = h.Done();
        for (const auto& r : records_) out.insert(out.end(), r.begin(), r.end());
        Record eof(14);
        eof.U32(0).U32(16).U32(20);
        auto e = eof.Done();
        out.insert(out.end(), e.begin(), e.end());
        const uint32_t total = uint32_t(out.size());
        std::memcpy(out.data() + 48, &total, 4);
        const uint32_t count = uint32_t(records_.size() + 2);
        std::memcpy(out.data() + 52, &count, 4);
        return out;
    }

  private:
    int32_t width_, height_, dpi_;
    std::vector<std::vector<uint8_t>> records_;
};

}  // namespace emftest
