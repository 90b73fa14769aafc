// Build-time generator of the function-code rows. The labels are kept as UTF-8 text in the
// repository so that they can be read and reviewed; the program, the data files and the main
// unit use their CP932 bytes, which this program makes with glibc's "CP932" converter.
//
//   gen_function_codes <labels.txt> <rows.inc>
//
// Any line it cannot read, a label the converter refuses or that does not fit its row, or a code
// given twice stops the build: a wrong label must never reach the table quietly.
#include <iconv.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "base/atomic_file.h"

namespace {

constexpr int kFamilies = 2;
constexpr int kRowsPerFamily = 270;      // codes 0-69, 800-899, 900-999
constexpr std::size_t kLabelBytes = 60;  // 61-byte row: feature index, then the label and its NUL
constexpr int kMaxFeature = 156;

int RowOf(int code) {
    if (code >= 0 && code <= 69) return code;
    if (code >= 800 && code <= 999) return 70 + (code - 800);
    return -1;
}

int CodeOfRow(int row) {
    return row < 70 ? row : 800 + (row - 70);
}

struct Row {
    bool listed = false;
    int feature = 0;
    std::array<std::optional<std::string>, kFamilies> label;  // CP932 bytes; empty = unused label
};

class Converter {
  public:
    Converter() : cd_(iconv_open("CP932", "UTF-8")) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<std::string> Convert(const std::string& utf8) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);  // fresh shift state per label
        std::string in = utf8;
        std::string out(in.size() * 2 + 8, '\0');
        char* in_ptr = in.data();
        std::size_t in_left = in.size();
        char* out_ptr = out.data();
        std::size_t out_left = out.size();
        if (iconv(cd_, &in_ptr, &in_left, &out_ptr, &out_left) == static_cast<std::size_t>(-1) ||
            in_left != 0) {
            return std::nullopt;
        }
        out.resize(out.size() - out_left);
        return out;
    }

  private:
    iconv_t cd_;
};

bool ParseInt(const std::string& text, int& value) {
    if (text.empty() || text.size() > 4) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::vector<std::string> SplitTabs(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        std::size_t tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return fields;
        start = tab + 1;
    }
}

// A quoted label without quotes inside; "-" answers an empty optional.
bool ParseLabel(const std::string& field, std::optional<std::string>& text) {
    if (field == "-") {
        text.reset();
        return true;
    }
    if (field.size() < 2 || field.front() != '"' || field.back() != '"') return false;
    std::string inner = field.substr(1, field.size() - 2);
    if (inner.empty() || inner.find('"') != std::string::npos) return false;
    text = inner;
    return true;
}

std::string CLiteral(const std::string& bytes) {
    std::string out = "\"";
    char buf[8];
    for (unsigned char c : bytes) {
        std::snprintf(buf, sizeof buf, "\\x%02X", c);
        out += buf;
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gen_function_codes <labels.txt> <rows.inc>\n";
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::cerr << argv[1] << ": cannot open\n";
        return 1;
    }
    Converter converter;
    if (!converter.ok()) {
        std::cerr << "the C library has no CP932 converter\n";
        return 1;
    }

    std::array<std::optional<std::string>, kFamilies> unused;
    std::vector<Row> rows(kRowsPerFamily);
    std::string line;
    int line_number = 0;
    auto fail = [&](const std::string& why) {
        std::cerr << argv[1] << ":" << line_number << ": " << why << "\n";
        return 1;
    };
    auto encode = [&](std::optional<std::string>& label) -> bool {
        if (!label) return true;
        std::optional<std::string> bytes = converter.Convert(*label);
        if (!bytes || bytes->size() >= kLabelBytes || bytes->find('\0') != std::string::npos) {
            return false;
        }
        label = std::move(bytes);
        return true;
    };

    while (std::getline(in, line)) {
        ++line_number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f = SplitTabs(line);
        if (f[0] == "unused") {
            if (f.size() != 3 || (f[1] != "A" && f[1] != "B")) return fail("bad unused line");
            int family = f[1] == "A" ? 0 : 1;
            if (unused[family]) return fail("unused label given twice");
            if (!ParseLabel(f[2], unused[family]) || !unused[family]) {
                return fail("bad unused label");
            }
            if (!encode(unused[family])) return fail("label not convertible or too long");
            continue;
        }
        int code = 0;
        int feature = 0;
        if (f.size() != 4 || !ParseInt(f[0], code) || !ParseInt(f[1], feature)) {
            return fail("expected code, feature and two labels separated by tabs");
        }
        int row = RowOf(code);
        if (row < 0) return fail("code outside 0-69 and 800-999");
        if (feature > kMaxFeature) return fail("feature index above 156");
        Row& r = rows[static_cast<std::size_t>(row)];
        if (r.listed) return fail("code given twice");
        r.listed = true;
        r.feature = feature;
        for (int family = 0; family < kFamilies; ++family) {
            if (!ParseLabel(f[2 + family], r.label[family])) return fail("bad label");
            if (!encode(r.label[family])) return fail("label not convertible or too long");
        }
    }
    if (!unused[0] || !unused[1]) return fail("both unused labels are needed");

    std::ostringstream out;
    out << "// Generated by gen_function_codes from function_codes.txt; do not edit.\n"
           "// Two families of 270 rows (codes 0-69, 800-899, 900-999): feature index, CP932 "
           "label.\n";
    for (int family = 0; family < kFamilies; ++family) {
        out << "{\n";
        for (int row = 0; row < kRowsPerFamily; ++row) {
            const Row& r = rows[static_cast<std::size_t>(row)];
            const std::string& label = r.label[family] ? *r.label[family] : *unused[family];
            out << "    {" << r.feature << ", " << CLiteral(label) << "},  // " << CodeOfRow(row)
                << "\n";
        }
        out << "},\n";
    }

    // Written whole or not at all, so an interrupted run leaves no half table.
    const std::string target = argv[2];
    if (const int error = qzs::base::WriteFileAtomically(target, out.str()); error != 0) {
        std::cerr << target << ": " << std::strerror(error) << "\n";
        return 1;
    }
    return 0;
}
