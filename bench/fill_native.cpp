// The eleven readers in the dialog's order, natively, on an in-memory registry
// that holds every value they may query (as the bench's Wine prefix does), so
// every read succeeds; and the registry calls one fill makes, counted by that
// registry. Google Benchmark does the repetitions and the JSON.
#include "memreg/mem_registry.h"
#include "readers/fields.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

// Each value holds its own name as text; the installation date is a count of
// seconds, and the product suites a list, as in Windows.
void SetFullRegistry()
{
    memreg::Reset();
    for (const Field* field : kFields) {
        for (const char* value : field->values) {
            if (!value)
                break;
            if (field->kind == FieldKind::Date)
                memreg::SetValue(field->key, value, REG_DWORD, std::string("\x9a\x01\xe5\x4b", 4));
            else if (field->kind == FieldKind::ProductType && value != field->values[0])
                memreg::SetValue(field->key, value, REG_MULTI_SZ, std::string("Terminal Server\0\0", 17));
            else
                memreg::SetValue(field->key, value, REG_SZ, std::string(value) + '\0');
        }
    }
}

void FillDialog(benchmark::State& state)
{
    SetFullRegistry();
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
