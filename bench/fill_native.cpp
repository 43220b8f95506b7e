// The in-process cost of filling the dialog natively, on the in-memory
// registry, and what one fill asks of the registry: opens, queries and closes
// per fill, counted by the registry itself. The registry holds a value for
// every reader, as the bench's Wine prefix does, so every read succeeds and
// the version and product type make their second query.
#include "bench/fill.h"
#include "memreg/mem_registry.h"

#include <benchmark/benchmark.h>

#include <string>

namespace {

constexpr char kCurrentVersion[] = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
constexpr char kProductOptions[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

std::string Sz(const std::string& text)
{
    return text + '\0';
}

void SetFullRegistry()
{
    memreg::Reset();
    const struct {
        const char* name;
        std::string text;
    } texts[] = {
        {"CurrentVersion", "6.1"},          {"ProductName", "Microsoft Windows 7"},
        {"CurrentBuildNumber", "7601"},     {"CSDVersion", "Service Pack 1"},
        {"CurrentType", "Uniprocessor Free"}, {"RegisteredOrganization", ""},
        {"RegisteredOwner", ""},            {"SystemRoot", "C:\\windows"},
        {"Plus! VersionNumber", "IE 5 6.1.7601"}, {"SourcePath", "C:\\windows\\system32"},
    };
    for (const auto& value : texts)
        memreg::SetValue(kCurrentVersion, value.name, REG_SZ, Sz(value.text));
    memreg::SetValue(kCurrentVersion, "InstallDate", REG_DWORD, std::string("\x9a\x01\xe5\x4b", 4));
    memreg::SetValue(kProductOptions, "ProductType", REG_SZ, Sz("WinNT"));
    memreg::SetValue(kProductOptions, "ProductSuite", REG_MULTI_SZ, Sz("Terminal Server") + '\0');
}

void FillDialog(benchmark::State& state)
{
    SetFullRegistry();
    bench::FillTexts texts;
    const memreg::Counters before = memreg::GetCounters();
    for (auto _ : state) {
        bench::FillOnce(texts);
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

BENCHMARK(FillDialog)->Iterations(1000)->Repetitions(10)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
