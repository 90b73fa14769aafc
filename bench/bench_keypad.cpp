// Command strings through RunCommand, key by key, over the built-in table and handlers: stores,
// shows, re-entries, refusals and the special entry kinds. Goal: a whole command string in under
// 2 microseconds.
#include <benchmark/benchmark.h>

#include <array>
#include <memory>
#include <string_view>

#include "programming/state.h"
#include "settings/command_bridge.h"
#include "settings/data_image_startup.h"

namespace {

constexpr std::array<std::string_view, 16> kMix{
    "*0021#",        // store of a bit flag
    "*002#",         // show
    "*0020#",        // store again
    "*0923#",        // small option
    "*0924#",        // out of range: "--P"
    "*332010510#",   // two key fields and two data fields
    "*332#",         // a key field refused
    "*0011101#",     // a port code, kept for re-entry
    "2102#",         // re-entry without "*"
    "*9200100000#",  // a four-digit command clearing a row
    "*360#",         // show of two flags
    "*192#",         // outside the table
    "*00799#0#",     // the reset prompt, answered no
    "*93611#0#",     // the confirmed setting, dropped
    "*6791#",        // text shown
    "*02300100000",  // memory view
};

std::unique_ptr<qzs::ProgrammingState> MakeState() {
    // Start-up's image: factory values, and terminal 1 may view memory.
    auto state = std::make_unique<qzs::ProgrammingState>();
    qzs::InitDataImage(*state);
    return state;
}

void BM_RunCommandMix(benchmark::State& bench) {
    auto state = MakeState();
    std::size_t next = 0;
    std::int64_t keys = 0;
    for (auto _ : bench) {
        const std::string_view text = kMix[next];
        benchmark::DoNotOptimize(qzs::RunCommand(*state, 1, text));
        keys += static_cast<std::int64_t>(text.size());
        next = next + 1 == kMix.size() ? 0 : next + 1;
    }
    bench.SetItemsProcessed(static_cast<std::int64_t>(bench.iterations()));
    bench.counters["keys/s"] =
        benchmark::Counter(static_cast<double>(keys), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunCommandMix);

void BM_RunCommandStore(benchmark::State& bench) {
    auto state = MakeState();
    for (auto _ : bench) benchmark::DoNotOptimize(qzs::RunCommand(*state, 1, "*0021#"));
    bench.counters["keys/s"] = benchmark::Counter(6.0 * static_cast<double>(bench.iterations()),
                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_RunCommandStore);

void BM_PressKey(benchmark::State& bench) {
    auto state = MakeState();
    constexpr std::string_view kKeys = "*0021#";
    std::size_t next = 0;
    for (auto _ : bench) {
        benchmark::DoNotOptimize(qzs::PressKey(*state, kKeys[next]));
        next = next + 1 == kKeys.size() ? 0 : next + 1;
    }
    bench.SetItemsProcessed(static_cast<std::int64_t>(bench.iterations()));
}
BENCHMARK(BM_PressKey);

}  // namespace
