// Helpers shared by the container tests: a private temporary folder, whole-file reads and writes,
// and Python (Debian's /usr/bin/python3) as an independent builder and inflater of fixtures.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/core/container.h"

namespace kp::testing {

using Bytes = std::vector<uint8_t>;

class TempDir {
  public:
    TempDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "kpstoreXXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        if (!path_.empty()) std::filesystem::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return path_ + "/" + name; }
    std::u16string Wide(const std::string& name) const {
        const std::string p = File(name);
        return plat::WideFromUtf8(p);
    }
    bool ok() const { return !path_.empty(); }

  private:
    std::string path_;
};

inline Bytes ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
}

// Runs a Python script with arguments; its standard output comes back. A failing script fails
// the test that called it.
inline std::string RunPython(const TempDir& dir, const std::string& script,
                             const std::vector<std::string>& args = {}) {
    const std::string file = dir.File("helper.py");
    {
        std::ofstream out(file);
        out << script;
    }
    std::string cmd = "/usr/bin/python3 '" + file + "'";
    for (const std::string& a : args) cmd += " '" + a + "'";
    std::string output;
    FILE* pipe = popen(cmd.c_str(), "r");
    if (!pipe) {
        ADD_FAILURE() << "cannot start " << cmd;
        return output;
    }
    char buf[4096];
    size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) output.append(buf, n);
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << cmd << "\n" << output;
    return output;
}

// Python's zlib inflates in into out; the output says "ok" and, for a stream that was cut off
// where a sync flush ended, "partial".
inline const char* kInflateScript = R"(
import sys, zlib
data = open(sys.argv[1], 'rb').read()
d = zlib.decompressobj()
out = d.decompress(data)
open(sys.argv[2], 'wb').write(out)
print('ok' if d.eof else 'partial')
)";

// Walks a plain container as the format describes it and prints "name length" per stream, then
// "end" when the last stream ends exactly at the end of the file.
inline const char* kWalkScript = R"(
import sys, struct
data = open(sys.argv[1], 'rb').read()
off = 0
while off < len(data):
    magic, name, length = struct.unpack_from('<10s34sI', data, off)
    assert magic == 'KP30\0'.encode('utf-16-le'), magic
    name = name.decode('utf-16-le')
    end = name.index('\0')
    assert name[end:] == '\0' * (17 - end), name
    name = name[:end]
    print(name.encode('unicode_escape').decode('ascii'), length)
    off += 48 + length
assert off == len(data), (off, len(data))
print('end')
)";

// Releases an object the way callers do: until Release answers 0.
template <typename T>
void ReleaseAll(T*& object) {
    if (object)
        while (object->Release() != 0) {
        }
    object = nullptr;
}

}  // namespace kp::testing
