// The in-process cost of filling the dialog under Wine, on the real registry:
// first the one fill a fresh process makes, as Osprel makes it (cold: the
// registry's and the time zone's first use included); then a thousand fills,
// timed as a whole, repeated after one batch that is not kept; microseconds
// per fill. Then each reader alone, a thousand calls, so that the report can
// say which reader a slow fill spends its time in.
//
//   osprel_fill_bench [--fills N] [--repeats N] [--json FILE]
#include "bench/fill.h"
#include "bench/stats.h"
#include "bench/timing.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// Microseconds per step of each kept run of `steps` steps.
template <typename Step>
std::vector<double> MicrosecondsPerStep(int warmup, int repeats, int steps, Step step)
{
    std::vector<double> perStep;
    bench::RunRounds(warmup, repeats, [&](int, bool keep) {
        const bench::Stopwatch run;
        for (int i = 0; i < steps; ++i)
            step();
        if (keep)
            perStep.push_back(run.ElapsedMs() * 1000 / steps);
        return true;
    });
    return perStep;
}

std::string MeasureAll(int fills, int repeats)
{
    bench::FillTexts texts;
    const auto fill = [&] { bench::FillOnce(texts); };
    const double firstFill = MicrosecondsPerStep(0, 1, 1, fill)[0];
    const auto perFill = MicrosecondsPerStep(1, repeats, fills, fill);

    std::string json = "{\"fills\": " + std::to_string(fills) + ", \"repeats\": " + std::to_string(repeats) +
                       ", \"us_first_fill\": " + std::to_string(firstFill) +
                       ", \"us_per_fill\": " + bench::JsonSpread(perFill) + ",\n \"us_per_reader\": {";
    for (const bench::NamedReader& reader : bench::kFillOrder) {
        const auto perCall = MicrosecondsPerStep(1, repeats, fills, [&] { texts[0] = reader.read(); });
        json += std::string(&reader == bench::kFillOrder ? "" : ", ") + bench::JsonString(reader.name) + ": " +
                bench::JsonSpread(perCall);
    }
    fill();
    json += "},\n \"texts\": [";
    for (size_t i = 0; i < texts.size(); ++i)
        json += (i ? ", " : "") + bench::JsonString(texts[i].GetString());
    return json + "]}\n";
}

} // namespace

int main(int argc, char** argv)
{
    int fills = 1000, repeats = 5;
    bench::Args args;
    if (!bench::ParseArgs(argc, argv, {{"--fills", &fills}, {"--repeats", &repeats}}, args) || !args.rest.empty() ||
        fills == 0 || repeats == 0) {
        std::fprintf(stderr, "usage: %s [--fills N] [--repeats N] [--json FILE]\n", argv[0]);
        return 2;
    }
    const std::string json = MeasureAll(fills, repeats);
    std::fputs(json.c_str(), stdout);
    return bench::WriteJson(args.jsonPath, json) ? 0 : 1;
}
