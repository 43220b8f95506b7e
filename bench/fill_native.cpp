// The eleven readers in the dialog's order, natively, on an in-memory registry
// that holds every value they may query (the tests' full registry; the
// bench's Wine prefix holds them all too), so every read succeeds; and the
// registry calls one fill makes, counted by that registry. Google Benchmark
// does the repetitions and the JSON.
#include "memreg/mem_registry.h"
#include "readers/fields.h"
#include "tests/support/registry_fixture.h"

#include <benchmark/benchmark.h>

namespace {

void FillDialog(benchmark::State& state)
{
    SetReaderValues(FullRegistry());
    CString texts[kFields.size()];
    const memreg::Counters before = memreg::GetCounters();
    for (auto _ : state) {
        for (size_t i = 0; i < kFields.size(); ++i)
            texts[i] = kFields[i]->read();
        benchmark::DoNotOptimize(texts);
    }
    const memreg::Counters after = memreg::GetCounters();
    const auto perFill = [&](unsigned from, unsigned to) {
        return benchmark::Counter(static_cast<double>(to - from) / static_cast<double>(state.iterations()));
    };
    state.counters["opens"] = perFill(before.opens, after.opens);
    state.counters["queries"] = perFill(before.queries, after.queries);
    state.counters["closes"] = perFill(before.closes, after.closes);
    state.counters["left_open"] = static_cast<double>(memreg::OpenHandleCount());
}

BENCHMARK(FillDialog)->Iterations(1000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
