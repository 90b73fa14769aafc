// Helpers of the PDF tests: reading a written file back, finding objects through its
// cross-reference table, inflating streams, and running the poppler and qpdf readers on it.
#pragma once

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace pdftest {

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A fresh directory, removed with the object.
class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "qzs-pdf-XXXXXX").string();
        path_ = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    size_t Count() const {
        size_t n = 0;
        for (auto& e : std::filesystem::directory_iterator(path_)) n += e.is_regular_file();
        return n;
    }

  private:
    std::string path_;
};

// zlib-inflated bytes, or "<inflate failed>".
inline std::string Inflate(const std::string& data) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return "<inflate failed>";
    std::string out;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = uInt(data.size());
    char buf[4096];
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    } while (rc == Z_OK);
    inflateEnd(&z);
    return rc == Z_STREAM_END ? out : "<inflate failed>";
}

// The offsets of the cross-reference table (entry n at index n) and the /Size; empty when the
// table cannot be found.
inline std::vector<uint64_t> XrefOffsets(const std::string& pdf) {
    std::vector<uint64_t> offsets;
    const size_t sx = pdf.rfind("startxref\r");
    if (sx == std::string::npos) return offsets;
    const uint64_t at = std::stoull(pdf.substr(sx + 10));
    if (pdf.compare(at, 7, "xref\r0 ") != 0) return offsets;
    size_t p = at + 7;
    const size_t count = std::stoul(pdf.substr(p));
    p = pdf.find('\r', p) + 1;
    for (size_t i = 0; i < count; ++i, p += 20) offsets.push_back(std::stoull(pdf.substr(p, 10)));
    return offsets;
}

// The text of object n from "n 0 obj" to its "endobj", found through the xref.
inline std::string Object(const std::string& pdf, uint32_t n) {
    auto offsets = XrefOffsets(pdf);
    if (n >= offsets.size()) return {};
    const size_t end = pdf.find("endobj", offsets[n]);
    if (end == std::string::npos) return {};
    return pdf.substr(offsets[n], end + 6 - offsets[n]);
}

// The raw bytes of a stream object's data.
inline std::string StreamData(const std::string& object) {
    const size_t s = object.find("stream\r\n");
    const size_t e = object.rfind("\rendstream");
    if (s == std::string::npos || e == std::string::npos || e < s + 8) return {};
    return object.substr(s + 8, e - s - 8);
}

// Runs a command and answers its standard output; the exit status in *status.
inline std::string RunCommand(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (p == nullptr) return out;
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int rc = ::pclose(p);
    if (status != nullptr) *status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

}  // namespace pdftest

namespace pdftest {

// The object numbers of the pages, in order, from the pages tree.
inline std::vector<uint32_t> PageObjects(const std::string& pdf) {
    std::vector<uint32_t> pages;
    const std::string tree = Object(pdf, 2);
    size_t p = tree.find("/Kids [");
    if (p == std::string::npos) return pages;
    p += 7;
    const size_t end = tree.find(']', p);
    while (p < end) {
        while (p < end && (tree[p] == ' ' || tree[p] == '\r')) ++p;
        if (p >= end) break;
        pages.push_back(uint32_t(std::stoul(tree.substr(p))));
        p = tree.find(" R", p) + 2;
    }
    return pages;
}

// The number after a key in an object's text ("/Contents 4 0 R" gives 4); 0 when missing.
inline uint32_t Ref(const std::string& object, const std::string& key) {
    const size_t p = object.find(key + " ");
    return p == std::string::npos ? 0 : uint32_t(std::stoul(object.substr(p + key.size() + 1)));
}

// The inflated content stream of page `index` (from 0).
inline std::string PageContent(const std::string& pdf, size_t index = 0) {
    auto pages = PageObjects(pdf);
    if (index >= pages.size()) return "<no page>";
    return Inflate(StreamData(Object(pdf, Ref(Object(pdf, pages[index]), "/Contents"))));
}

// A page rendered at 150 dpi: P6 pixels.
struct Raster {
    int width = 0, height = 0;
    std::string rgb;
    bool Dark(int x, int y) const {
        const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return uint8_t(rgb[at]) < 96 && uint8_t(rgb[at + 1]) < 96 && uint8_t(rgb[at + 2]) < 96;
    }
    bool Red(int x, int y) const {
        const size_t at = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return uint8_t(rgb[at]) > 200 && uint8_t(rgb[at + 1]) < 60 && uint8_t(rgb[at + 2]) < 60;
    }
};

inline Raster Render(const std::string& pdf, const std::string& stem) {
    Raster r;
    int status = -1;
    RunCommand("pdftoppm -r 150 -singlefile " + pdf + " " + stem, &status);
    const std::string ppm = ReadFile(stem + ".ppm");
    std::istringstream in(ppm);
    std::string magic;
    int max = 0;
    in >> magic >> r.width >> r.height >> max;
    in.get();
    if (magic != "P6" || max != 255) return {};
    r.rgb = ppm.substr(size_t(in.tellg()));
    return r;
}

}  // namespace pdftest
