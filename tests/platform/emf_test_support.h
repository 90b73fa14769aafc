// Helpers of the drawing-layer tests: commands, temporary files and the second EMF reader.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "platform/gdi/emf_reader.h"

namespace qzs_test {

using Bytes = std::vector<uint8_t>;

inline std::string RunCommand(const std::string& command, int* status) {
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) {
        *status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    *status = pclose(p);
    return out;
}

inline std::string TempPath(const std::string& name) {
    return (std::filesystem::temp_directory_path() /
            ("qzs-emf-" + std::to_string(getpid()) + "-" + name))
        .string();
}

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// (type, size) of every record as our enumerator lists them.
inline std::vector<std::pair<uint32_t, uint32_t>> OurRecords(const Bytes& file) {
    std::vector<std::pair<uint32_t, uint32_t>> out;
    std::string error;
    EXPECT_TRUE(plat::EnumEnhMetaFile(
        file,
        [&](const plat::EmfRecord& r) {
            out.emplace_back(r.type, r.size);
            return true;
        },
        &error))
        << error;
    return out;
}

// emf2svg-conv reads the file and names each record with its type and size.
inline void ExpectSecondReaderAgrees(const Bytes& file) {
    const std::string in = TempPath("check.emf");
    const std::string svg = TempPath("check.svg");
    WriteFile(in, file);
    int status = 0;
    const std::string out =
        RunCommand("emf2svg-conv -v -i " + in + " -o " + svg + " 2>&1", &status);
    std::filesystem::remove(in);
    std::filesystem::remove(svg);
    ASSERT_EQ(status, 0) << out;
    std::vector<std::pair<uint32_t, uint32_t>> theirs;
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        const size_t t = line.find(" type:");
        const size_t s = line.find(" rsize:");
        if (line.rfind("U_EMR_", 0) != 0 || t == std::string::npos || s == std::string::npos) {
            continue;
        }
        theirs.emplace_back(std::stoul(line.substr(t + 6)), std::stoul(line.substr(s + 7)));
    }
    EXPECT_EQ(theirs, OurRecords(file)) << out;
}

}  // namespace qzs_test
