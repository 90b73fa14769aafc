// Opens arbitrary bytes as a report file: as a plain container (finding, reading, copying and
// appending streams), as a compressed file (expanding it and reading the expansion), as an
// already expanded compressed container, and as a report: loaded with the real controls, saved
// again and drawn onto a recorder and an information context.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/core/application.h"
#include "engine/core/container.h"
#include "engine/core/module.h"
#include "engine/core/report.h"
#include "platform/gdi/emf_recorder.h"
#include "platform/printing/printers.h"
#include "reportctrl/controls.h"
#include "reportctrl/linked_loader.h"

namespace {

using namespace kp;

// Memory-backed when the machine has it: every input writes two files, and a save writes and
// syncs a third, which on a disk cost more than everything the engine does with them.
struct Scratch {
    Scratch() {
        struct stat st {};
        std::string pattern = ::stat("/dev/shm", &st) == 0 && S_ISDIR(st.st_mode)
                                  ? "/dev/shm/kpfuzzXXXXXX"
                                  : "/tmp/kpfuzzXXXXXX";
        if (mkdtemp(pattern.data())) dir = pattern;
    }
    ~Scratch() {
        for (const char* name : {"/in.kp", "/rw.kp", "/expanded.kp", "/saved.kp"})
            unlink((dir + name).c_str());
        rmdir(dir.c_str());
    }
    std::string dir;
};

Scratch& Dir() {
    static Scratch scratch;
    return scratch;
}

bool WriteFile(const std::string& path, const uint8_t* data, size_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    return ::close(fd) == 0 && ok;
}

std::u16string Wide(const std::string& s) {
    return std::u16string(s.begin(), s.end());  // the scratch paths are ASCII
}

// The names of the first few headers as the bytes give them, so that streams of the input are
// found and not only the engine's own names.
std::vector<std::u16string> NamesIn(const uint8_t* data, size_t size) {
    std::vector<std::u16string> names;
    size_t offset = 0;
    for (int i = 0; i < 8 && size - offset >= kStreamHeaderSize; ++i) {
        const uint8_t* h = data + offset;
        std::u16string name;
        for (size_t u = 0; u < kMaxStreamNameLength; ++u) {
            const char16_t c = static_cast<char16_t>(h[10 + 2 * u] | h[11 + 2 * u] << 8);
            if (c == 0) break;
            name.push_back(c);
        }
        names.push_back(name);
        const uint64_t length = h[44] | h[45] << 8 | h[46] << 16 | uint64_t{h[47]} << 24;
        if (length > size - offset - kStreamHeaderSize) break;
        offset += kStreamHeaderSize + static_cast<size_t>(length);
    }
    return names;
}

// Reads a stream record by record as the report elements do, skipping long values by seeking.
void ReadRecords(Stream* s) {
    for (int i = 0; i < 256; ++i) {
        TaggedRecordHeader h{};
        if (ReadExact(s, &h, sizeof h) != 0) break;
        if (h.length > 0 && h.length <= 4096) {
            std::vector<uint8_t> value(static_cast<size_t>(h.length));
            if (ReadExact(s, value.data(), static_cast<uint32_t>(h.length)) != 0) break;
        } else if (s->Seek(h.length, kSeekCur, nullptr) != 0) {
            break;
        }
    }
    ByteStream sink;
    uint32_t copied = 0;
    s->Seek(1, kSeekSet, nullptr);
    s->CopyTo(&sink, 0xFFFFFFFFu, &copied);
}

void ReadStreams(StreamFile* file, const std::vector<std::u16string>& names) {
    for (const std::u16string& name : names) {
        Stream* s = nullptr;
        if (file->OpenStream(name, &s) != 0) continue;
        ReadRecords(s);
        while (s->Release() != 0) {
        }
    }
}

const std::vector<std::u16string> kEngineNames = {u"KPREPORT30",    u"KPLAYERS30",   u"KPLAYER30-1",
                                                  u"KPOBJECTS30-1", u"KPOBJECT30-1", u"KPFILE30",
                                                  u"KPFILE30PAGE",  u"KPFILE30FONT"};

ApplicationObject* App() {
    static ApplicationObject* app = [] {
        SetControlLibraryLoader(&kpctrl::kLinkedLoader);
        // No printers: attaching a report asks for the default one.
        SetPrinterSystem(std::make_shared<plat::FakePrinterSystem>());
        static int module = 0;
        InitModule(&module);
        EngineServices services;
        AddReportServices(services);
        void* out = nullptr;
        if (CreateEngineObject(services, &iid::kApplication, &iid::kApplication, &out) != 0) {
            return static_cast<ApplicationObject*>(nullptr);
        }
        auto* created = static_cast<ApplicationObject*>(static_cast<plat::Unknown*>(out));
        created->Site().SetSite(1);
        return created;
    }();
    return app;
}

void LoadSaveAndDraw(const std::string& in, const std::string& out) {
    ApplicationObject* app = App();
    if (app == nullptr) return;
    plat::Variant result{};
    if (app->Invoke(ApplicationObject::kCreateReport, kInvokeMethod, nullptr, &result) != 0) return;
    ReportObject* report = AsReport(static_cast<ScriptableObject*>(result.pdispVal));
    if (report == nullptr) return;
    plat::Bstr name = plat::BstrAllocView(Wide(in));
    const int32_t loaded = report->LoadReportFile(name);
    plat::BstrFree(name);
    if (loaded == 0 || loaded == rc::kNewerFormat) {
        plat::Bstr target = plat::BstrAllocView(Wide(out));
        report->Save(target, true);
        plat::BstrFree(target);
    }
    // Whatever was read is drawn, with flags that reach every path of the pass.
    plat::InfoDc info(plat::DeviceInfo::ForPixels(200, 280, 24, plat::kDtRasPrinter));
    for (uint32_t flags : {0x88003001u, 0x10001001u, 0x20000000u}) {
        plat::EmfRecorder recorder(info.device(), std::nullopt, u"");
        report->Draw(nullptr, recorder.handle(), info.handle(), 0, 0, 200, 280, flags);
        recorder.Close();
    }
    report->Draw(nullptr, info.handle(), info.handle(), 0, 0, 200, 280, 0x00001001);
    DestroyReportObject(report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& dir = Dir().dir;
    if (dir.empty()) return 0;
    const std::string in = dir + "/in.kp";
    const std::string rw = dir + "/rw.kp";
    const std::string expanded = dir + "/expanded.kp";
    if (!WriteFile(in, data, size) || !WriteFile(rw, data, size)) return 0;

    std::vector<std::u16string> names = NamesIn(data, size);
    names.insert(names.end(), kEngineNames.begin(), kEngineNames.end());

    // Plain, read only.
    StreamFileFactory plain;
    StreamFile* file = nullptr;
    if (plain.Open(Wide(in), kAccessRead, &file) == 0) {
        ReadStreams(file, names);
        while (file->Release() != 0) {
        }
    }

    // Plain, appending: walks every header to the end of the file.
    if (plain.Open(Wide(rw), kAccessReadWrite, &file) == 0) {
        Stream* s = nullptr;
        if (file->CreateStream(u"fuzz-new", &s) == 0) {
            const int32_t one = 1;
            WriteTaggedRecord(s, {1, 4}, &one);
            while (s->Release() != 0) {
            }
            if (file->OpenStream(u"fuzz-new", &s) == 0) {
                ReadRecords(s);
                while (s->Release() != 0) {
                }
            }
        }
        while (file->Release() != 0) {
        }
    }

    // Compressed: expand, then read the expansion by composed names.
    {
        CompressedStreamFileFactory packed;
        if (packed.Open(Wide(in), kAccessRead, &file) == 0) {
            const int32_t rc = packed.GetZlibFile()->ExpandToFile(expanded);
            while (file->Release() != 0) {
            }
            if (rc == 0 || rc == stream_code::kZlibData) {
                CompressedStreamFileFactory second;
                if (second.Open(Wide(expanded), kAccessRead, &file) == 0) {
                    for (int32_t user = 0; user < 3; ++user) {
                        file->GetZlibFile()->SetUserValue(user);
                        ReadStreams(file, kEngineNames);
                    }
                    while (file->Release() != 0) {
                    }
                }
            }
        }
    }

    // The input itself as an expanded compressed container, its streams asked for by stem and
    // number as the file object asks for them.
    {
        CompressedStreamFileFactory expandedReader;
        if (expandedReader.Open(Wide(in), kAccessRead, &file) == 0) {
            for (const std::u16string& name : names) {
                const size_t dash = name.rfind(u'-');
                if (dash == std::u16string::npos || dash + 1 == name.size()) continue;
                int32_t number = 0;
                bool digits = true;
                for (size_t i = dash + 1; i < name.size() && digits; ++i) {
                    digits = name[i] >= u'0' && name[i] <= u'9' && number < 100000;
                    number = number * 10 + (name[i] - u'0');
                }
                if (!digits) continue;
                file->GetZlibFile()->SetUserValue(number - 1);
                ReadStreams(file, {name.substr(0, dash)});
            }
            while (file->Release() != 0) {
            }
        }
    }

    LoadSaveAndDraw(in, dir + "/saved.kp");
    return 0;
}
