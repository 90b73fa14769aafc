// qzs-gen-layouts LAYOUTS WORK-DIR REPORT-TOOL OUT-DIR...
//
// The data-sheet layouts from their one compact description (resources/QzSReport/layouts.txt):
// each layout is expanded into a qzs-report description in WORK-DIR and built by
// `REPORT-TOOL build` into every OUT-DIR, so the layouts come from the same code as every other
// report file and are the same bytes on every build.
#include <spawn.h>
#include <sys/wait.h>

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Layout {
    std::string file;
    std::ostringstream desc;
};

struct SpecError {
    int line;
    std::string message;
};

int Number(const std::string& text, int line) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0) {
        throw SpecError{line, "bad number \"" + text + "\""};
    }
    return value;
}

void Text(std::ostream& out, const std::string& name, int left, int top, int width, int height,
          const std::string& size, const std::string& align) {
    out << "text " << name << " layer=1 rect=" << left << ',' << top << ',' << left + width << ','
        << top + height << " font=IPAGothic size=" << size << " align=" << align
        << " valign=middle color=000000 text=\"\"\n";
}

std::vector<Layout> Parse(std::istream& in) {
    std::vector<Layout> layouts;
    std::string text;
    int line = 0;
    while (std::getline(in, text)) {
        ++line;
        std::istringstream words(text);
        std::vector<std::string> w;
        for (std::string word; words >> word;) w.push_back(word);
        if (w.empty() || w[0].front() == '#') continue;
        if (w[0] == "layout" && w.size() == 2) {
            // The name becomes a file name in the output folders: a plain name only.
            if (w[1].find('/') != std::string::npos || w[1] == "." || w[1] == "..") {
                throw SpecError{line, "bad layout file \"" + w[1] + "\""};
            }
            Layout& layout = layouts.emplace_back();
            layout.file = w[1];
            // A4 portrait in hundredths of a millimetre; everything on layer 1, 2-5 empty.
            layout.desc << "report paper=9 orientation=1 unit=1 cpi=1 cpl=1\n";
            for (int n = 1; n <= 5; ++n) {
                layout.desc << "layer " << n << " visible=1 zorder=" << n << '\n';
            }
            continue;
        }
        if (layouts.empty()) throw SpecError{line, "a field before the first layout"};
        std::ostream& out = layouts.back().desc;
        if (w[0] == "text" && w.size() == 8) {
            Text(out, w[1], Number(w[2], line), Number(w[3], line), Number(w[4], line),
                 Number(w[5], line), w[6], w[7]);
        } else if (w[0] == "rows" && w.size() == 11) {
            const int first = Number(w[2], line), last = Number(w[3], line);
            const int left = Number(w[4], line), top = Number(w[5], line);
            const int width = Number(w[6], line), height = Number(w[7], line);
            const int perColumn = Number(w[8], line);
            if (first > last || perColumn == 0) throw SpecError{line, "bad rows"};
            for (int n = first; n <= last; ++n) {
                const int i = n - first;
                Text(out, w[1] + std::to_string(n), left + (i / perColumn) * width,
                     top + (i % perColumn) * height, width, height, w[9], w[10]);
            }
        } else {
            throw SpecError{line, "unknown line"};
        }
    }
    return layouts;
}

int Run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: qzs-gen-layouts LAYOUTS WORK-DIR REPORT-TOOL OUT-DIR...\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "%s: cannot read\n", argv[1]);
        return 1;
    }
    std::vector<Layout> layouts;
    try {
        layouts = Parse(in);
    } catch (const SpecError& error) {
        std::fprintf(stderr, "%s:%d: %s\n", argv[1], error.line, error.message.c_str());
        return 1;
    }
    const std::filesystem::path work = argv[2];
    std::error_code ec;
    std::filesystem::create_directories(work, ec);
    for (const Layout& layout : layouts) {
        const std::filesystem::path desc = work / (layout.file + ".desc");
        std::ofstream(desc, std::ios::binary) << layout.desc.str();
        for (int i = 4; i < argc; ++i) {
            const std::filesystem::path out = std::filesystem::path(argv[i]);
            std::filesystem::create_directories(out, ec);
            const std::filesystem::path target = out / layout.file;
            if (Run({argv[3], "build", desc.string(), target.string()}) != 0) {
                std::fprintf(stderr, "%s: build failed\n", target.c_str());
                return 1;
            }
        }
    }
    return 0;
}
