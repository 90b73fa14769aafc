// Build-time generator of the command-sheet catalogue: expands the compact description in
// settings/sheet_catalogue.txt (one line per command: number, entries, value blanks, key fields)
// into the key sequence and printed form of every entry.
//
//   gen_sheet_catalogue <sheet_catalogue.txt> <entries.inc>
//
// A line it cannot read, a count that its fields cannot hold, commands out of order, or a key
// sequence or printed form too long for its 32-byte entry stops the build.
#include <cstddef>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "base/atomic_file.h"

namespace {

constexpr std::size_t kMaxKeyCharacters = 15;
constexpr std::size_t kMaxPrintedCharacters = 31;

struct Field {
    bool empty = false;
    std::vector<std::string> values;  // ascending, all of one width
};

int Fail(const std::string& where, const std::string& what) {
    std::cerr << "gen_sheet_catalogue: " << where << ": " << what << '\n';
    return 1;
}

bool AllDigits(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// "lo-hi,lo-hi" or "v": every value as text of lo's width.
bool ParseField(const std::string& item, Field& field, std::string& error) {
    if (item == "#") {
        field.empty = true;
        return true;
    }
    std::stringstream parts(item);
    std::string part;
    while (std::getline(parts, part, ',')) {
        const std::size_t dash = part.find('-');
        const std::string lo = part.substr(0, dash);
        const std::string hi = dash == std::string::npos ? lo : part.substr(dash + 1);
        if (!AllDigits(lo) || !AllDigits(hi) || lo.size() != hi.size()) {
            error = "bad field \"" + item + "\"";
            return false;
        }
        const long a = std::stol(lo);
        const long b = std::stol(hi);
        if (b < a || (!field.values.empty() && std::stol(field.values.back()) >= a) ||
            (!field.values.empty() && field.values.back().size() != lo.size())) {
            error = "field \"" + item + "\" not ascending or of mixed widths";
            return false;
        }
        for (long v = a; v <= b; ++v) {
            std::string text = std::to_string(v);
            text.insert(0, lo.size() - text.size(), '0');
            field.values.push_back(text);
        }
    }
    return !field.values.empty();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: gen_sheet_catalogue <sheet_catalogue.txt> <entries.inc>\n";
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::cerr << "gen_sheet_catalogue: cannot read " << argv[1] << '\n';
        return 1;
    }
    std::ostringstream out;
    out << "// Generated from settings/sheet_catalogue.txt by gen_sheet_catalogue; do not edit.\n";
    std::vector<std::size_t> group_first(11, 0);
    std::size_t entries = 0;
    long last_number = -1;
    int last_group = -1;
    std::string line;
    int line_number = 0;
    while (std::getline(in, line)) {
        ++line_number;
        const std::string where = std::string(argv[1]) + ":" + std::to_string(line_number);
        if (line.empty() || line[0] == '#') continue;
        if (line.starts_with("group ")) {
            const std::string g = line.substr(6);
            if (g.size() != 1 || g[0] < '0' || g[0] > '9' || g[0] - '0' <= last_group) {
                return Fail(where, "groups out of order");
            }
            while (last_group < g[0] - '0') {
                ++last_group;
                group_first[static_cast<std::size_t>(last_group)] = entries;
            }
            continue;
        }
        std::istringstream words(line);
        std::string number;
        long count = 0;
        long blanks = 0;
        if (!(words >> number >> count >> blanks) || !AllDigits(number) ||
            (number.size() != 3 && !(number.size() == 4 && number[0] == '9')) || count < 1 ||
            blanks < 0) {
            return Fail(where, "expected: number entries blanks fields...");
        }
        std::vector<Field> fields;
        std::string item;
        std::string error;
        while (words >> item) {
            Field field;
            if (!ParseField(item, field, error)) return Fail(where, error);
            fields.push_back(field);
        }
        // Four-digit numbers follow the three-digit ones of group 9.
        const long order = number.size() == 4 ? 10000 + std::stol(number) : std::stol(number);
        if (last_group < 0 || order <= last_number) return Fail(where, "commands out of order");
        last_number = order;

        long capacity = 1;
        for (const Field& f : fields) {
            if (!f.empty) capacity *= static_cast<long>(f.values.size());
        }
        if (capacity < count) {
            return Fail(where, "the fields hold " + std::to_string(capacity) + " entries, not " +
                                   std::to_string(count));
        }
        std::vector<std::size_t> at(fields.size(), 0);
        for (long n = 0; n < count; ++n) {
            std::string key = "*" + number;
            for (std::size_t i = 0; i < fields.size(); ++i) {
                key += fields[i].empty ? "#" : fields[i].values[at[i]];
            }
            std::string printed = key;
            if (blanks == 0) {
                printed += "##";
            } else {
                printed += std::string(static_cast<std::size_t>(blanks), ' ') + "#";
                key += "#";
            }
            if (key.size() > kMaxKeyCharacters || printed.size() > kMaxPrintedCharacters) {
                return Fail(where, "entry \"" + printed + "\" too long");
            }
            out << "{\"" << key << "\", \"" << printed << "\"},\n";
            ++entries;
            for (std::size_t i = fields.size(); i-- > 0;) {
                if (fields[i].empty) continue;
                if (++at[i] < fields[i].values.size()) break;
                at[i] = 0;
            }
        }
    }
    while (last_group < 10) {
        ++last_group;
        group_first[static_cast<std::size_t>(last_group)] = entries;
    }
    out << "#define QZS_SHEET_GROUP_FIRST ";
    for (std::size_t g = 0; g < group_first.size(); ++g) {
        out << (g ? ", " : "") << group_first[g];
    }
    out << "\n";
    if (qzs::base::WriteFileAtomically(argv[2], out.str()) != 0) {
        std::cerr << "gen_sheet_catalogue: cannot write " << argv[2] << '\n';
        return 1;
    }
    return 0;
}
