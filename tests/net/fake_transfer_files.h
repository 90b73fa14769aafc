// A stand-in for the converters of the transfer files: it writes small recognisable files, turns
// the received element texts into lines of the local file, and records every call, so that the
// transfer can be driven end to end without the settings layer.
#pragma once

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "net/transfer_files.h"

namespace qzs::testing {

class FakeTransferFiles : public net::TransferFileServices {
  public:
    std::string password_line;  // the first sheet line of group '0'
    std::vector<std::string> calls;
    std::string failing_file;  // a data file whose save or load answers 30 (nothing written)

    static std::string Join(const std::string& folder, const std::string& name) {
        return folder.empty() ? name : folder + "/" + name;
    }
    static std::string Read(std::FILE* file) {
        std::string text;
        char buffer[512];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) text.append(buffer, n);
        return text;
    }
    static void Write(const std::string& path, const std::string& text) {
        std::ofstream(path, std::ios::binary) << text;
    }
    static std::string DsetBody(int group) {
        return "<root>\n<h" + std::to_string(group) + "00>group " + std::to_string(group) + "</h" +
               std::to_string(group) + "00>\n</root>\n";
    }

    std::string PasswordSheetLine() override { return password_line; }
    std::string DataFileHeader() override { return "HEADER\r\n"; }
    int WriteDataSetFile(int group, const std::string& folder, int progress,
                         int firmware_501) override {
        calls.push_back("WriteDataSetFile " + std::to_string(group) + " " +
                        std::to_string(progress) + " " + std::to_string(firmware_501));
        const std::string name =
            group == 9 ? "dset-9000.txt" : "dset-" + std::to_string(group) + "00.txt";
        Write(Join(folder, name), DsetBody(group));
        return 0;
    }
    int MakeKeySheetFiles(const std::string& one_touch, const std::string& nandemo, int below4,
                          int progress, int v501) override {
        calls.push_back("MakeKeySheetFiles " + std::to_string(below4) + " " +
                        std::to_string(progress) + " " + std::to_string(v501));
        Write(one_touch, "<root>\n<i92>one</i92>\n</root>\n");
        Write(nandemo, "<root>\n<i14>nan</i14>\n</root>\n");
        return 0;
    }
    int MakeSysTanXml(std::FILE* source, std::FILE* target, int v100) override {
        calls.push_back("MakeSysTanXml " + std::to_string(v100));
        const std::string text = "<root>\n<systan>" + Read(source) + "</systan>\n</root>\n";
        std::fwrite(text.data(), 1, text.size(), target);
        return 0;
    }
    int MakeTelTanXml(std::FILE* source, std::FILE* target, int v100) override {
        calls.push_back("MakeTelTanXml " + std::to_string(v100));
        const std::string text = "<root>\n<teltan>" + Read(source) + "</teltan>\n</root>\n";
        std::fwrite(text.data(), 1, text.size(), target);
        return 0;
    }
    int Convert(const char* what, const std::vector<std::string>& texts, std::FILE* local,
                int flag) {
        calls.push_back(std::string(what) + " " + std::to_string(texts.size()) + " " +
                        std::to_string(flag));
        for (const std::string& text : texts) {
            std::fwrite(text.data(), 1, text.size(), local);
            std::fputc('\n', local);
        }
        return 0;
    }
    int ConvertSysTanXml(const std::vector<std::string>& t, std::FILE* f, int v100) override {
        return Convert("ConvertSysTanXml", t, f, v100);
    }
    int ConvertTelTanXml(const std::vector<std::string>& t, std::FILE* f, int v100) override {
        return Convert("ConvertTelTanXml", t, f, v100);
    }
    int ApplyOneTouchXml(const std::vector<std::string>& t, std::FILE* f) override {
        return Convert("ApplyOneTouchXml", t, f, 0);
    }
    int ApplyNandemoXml(const std::vector<std::string>& t, std::FILE* f, int below4) override {
        return Convert("ApplyNandemoXml", t, f, below4);
    }
    int ApplyDsetElement(int number, const std::string& text, std::FILE* local, int v501) override {
        calls.push_back("ApplyDsetElement " + std::to_string(number) + " " + text + " " +
                        std::to_string(v501));
        std::fprintf(local, "%d=%s\n", number, text.c_str());
        return 0;
    }
    int SaveDataFile(int kind, const std::string& folder, const std::string& name,
                     int layout) override {
        calls.push_back("SaveDataFile " + std::to_string(kind) + " " + name + " " +
                        std::to_string(layout));
        if (name == failing_file) return 30;
        Write(folder + name, "csv " + name + "\r\n");
        return 0;
    }
    int LoadDataFile(int kind, const std::string& /*folder*/, const std::string& name,
                     int layout) override {
        calls.push_back("LoadDataFile " + std::to_string(kind) + " " + name + " " +
                        std::to_string(layout));
        return name == failing_file ? 30 : 0;
    }
};

}  // namespace qzs::testing
