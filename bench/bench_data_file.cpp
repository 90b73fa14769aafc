// The data sheets and the data-setting file: listing every command group, and saving and loading
// a whole data-setting file. Goal: a save and a load of a kind-0 file (1.47 MB) together within
// 5 ms, the fsync of the atomic write aside: the files go to a memory file system where one is
// mounted (/dev/shm), where the fsync the save still makes costs nothing, so that the figure is
// the program's own work and not the disk's. BM_SaveAndLoadDataSettingFile is that figure.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "programming/state.h"
#include "settings/data_file.h"
#include "settings/data_image_startup.h"
#include "settings/sheet_lines.h"

namespace {

std::unique_ptr<qzs::ProgrammingState> FreshState(const std::string& folder) {
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    state->data_file.folder = folder;
    state->data_file.name = "bench.qzdat";
    return state;
}

std::string Folder() {
    std::error_code error;
    const std::filesystem::path memory = "/dev/shm";
    const std::filesystem::path base = std::filesystem::is_directory(memory, error)
                                           ? memory
                                           : std::filesystem::temp_directory_path();
    return (base / ("qzs-bench-data-file-" + std::to_string(::getpid()))).string() + "/";
}

void BM_ListAllGroups(benchmark::State& bench) {
    auto state = FreshState(Folder());
    for (auto _ : bench) {
        for (char g = '0'; g <= '9'; ++g) qzs::ListCommandGroup(*state, g);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_ListAllGroups)->Unit(benchmark::kMillisecond);

void BM_SaveDataSettingFile(benchmark::State& bench) {
    const std::string folder = Folder();
    auto state = FreshState(folder);
    for (auto _ : bench) {
        if (qzs::SaveDataFile(*state, qzs::kDataSettingKind) != 0) bench.SkipWithError("save");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveDataSettingFile)->Unit(benchmark::kMillisecond);

void BM_LoadDataSettingFile(benchmark::State& bench) {
    const std::string folder = Folder();
    auto state = FreshState(folder);
    if (qzs::SaveDataFile(*state, qzs::kDataSettingKind) != 0) bench.SkipWithError("save");
    for (auto _ : bench) {
        if (qzs::LoadDataFile(*state, qzs::kDataSettingKind) != 0) bench.SkipWithError("load");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_LoadDataSettingFile)->Unit(benchmark::kMillisecond);

void BM_SaveAndLoadDataSettingFile(benchmark::State& bench) {
    const std::string folder = Folder();
    auto state = FreshState(folder);
    for (auto _ : bench) {
        if (qzs::SaveDataFile(*state, qzs::kDataSettingKind) != 0) bench.SkipWithError("save");
        if (qzs::LoadDataFile(*state, qzs::kDataSettingKind) != 0) bench.SkipWithError("load");
    }
    std::filesystem::remove_all(folder);
}
BENCHMARK(BM_SaveAndLoadDataSettingFile)->Unit(benchmark::kMillisecond);

}  // namespace
