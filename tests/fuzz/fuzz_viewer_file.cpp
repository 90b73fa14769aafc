// Loads arbitrary bytes as a saved report file the way the viewer does, headless, with the
// password dialog cancelled: the first byte chooses whether the rest is the file itself or the
// expanded container (deflated here, so that mutations reach the streams and records rather than
// stopping at zlib's checks).
#include <stdlib.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/preview/report_file.h"

namespace {

using namespace kp::preview;

class Cancel : public ViewerDialogPort {
  public:
    int AskPassword(std::u16string*) override { return 2; }
    void Warn(const std::string&, const std::string&) override {}
};

struct Scratch {
    Scratch() {
        char pattern[] = "/tmp/kpviewfuzzXXXXXX";
        if (mkdtemp(pattern)) dir = pattern;
        // The loader's own temporary files go here too, so a leak would show as a folder that
        // cannot be removed.
        setenv("TMPDIR", dir.c_str(), 1);
    }
    ~Scratch() {
        unlink((dir + "/in.k3v").c_str());
        rmdir(dir.c_str());
    }
    std::string dir;
};

Scratch& Dir() {
    static Scratch scratch;
    return scratch;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0 || Dir().dir.empty()) return 0;
    std::vector<uint8_t> file;
    if (data[0] & 1) {
        uLongf packed = compressBound(uLong(size - 1));
        file.resize(packed);
        if (compress2(file.data(), &packed, data + 1, uLong(size - 1), 6) != Z_OK) return 0;
        file.resize(packed);
    } else {
        file.assign(data + 1, data + size);
    }
    const std::string path = Dir().dir + "/in.k3v";
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    if (!file.empty()) fwrite(file.data(), 1, file.size(), f);
    fclose(f);

    ReportFileLimits limits;
    limits.maxExpandedBytes = 8u << 20;
    limits.maxPages = 200;
    limits.maxFontBytes = 4u << 20;
    Cancel port;
    DocumentInfo info;
    ReportFileReader reader;
    reader.Load(path, limits, &port, &info,
                [](int page, const FilePageRecord& record, kp::StreamFile* container) -> int32_t {
                    // The page's own streams are opened as the report model finds them.
                    kp::Stream* s = nullptr;
                    if (container->OpenStream(u"KPREPORT30", &s) == 0) {
                        uint8_t buf[64];
                        uint32_t got = 0;
                        s->Read(buf, sizeof buf, &got);
                        s->Release();
                    }
                    return page > 3 && record.paperWidth < 0 ? -1 : 0;
                });
    reader.RemoveFonts();
    return 0;
}
