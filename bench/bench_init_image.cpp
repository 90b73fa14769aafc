// The time of one whole start-up of the data image, and of the setup command list after it.
// Goal: a start-up within 10 us.
#include <benchmark/benchmark.h>

#include <memory>

#include "programming/state.h"
#include "settings/data_image_startup.h"

namespace {

void BM_InitDataImage(benchmark::State& bench) {
    auto state = std::make_unique<qzs::ProgrammingState>();
    for (auto _ : bench) {
        qzs::InitDataImage(*state);
        benchmark::DoNotOptimize(state->image.Block(0).data());
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InitDataImage)->Unit(benchmark::kMicrosecond);

void BM_InitDataImageAndSetupCommands(benchmark::State& bench) {
    auto state = std::make_unique<qzs::ProgrammingState>();
    for (auto _ : bench) {
        qzs::InitDataImage(*state);
        qzs::RunSetupCommandList(*state);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_InitDataImageAndSetupCommands)->Unit(benchmark::kMicrosecond);

}  // namespace
