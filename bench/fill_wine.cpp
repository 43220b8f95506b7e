// The in-process cost of filling the dialog under Wine, on the real registry:
// first the one fill a fresh process makes, as Osprel makes it (cold: the
// registry's and the time zone's first use included); then a thousand fills,
// timed as a whole, repeated; microseconds per fill. Then each reader alone,
// a thousand calls, so that the report can say which reader a slow fill
// spends its time in.
//
//   osprel_fill_bench [--fills N] [--repeats N] [--json FILE]
#include "bench/fill.h"
#include "bench/stats.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double Now()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <typename Step>
std::vector<double> MicrosecondsPerStep(int steps, int repeats, Step step)
{
    std::vector<double> perStep;
    for (int r = 0; r < repeats; ++r) {
        const double start = Now();
        for (int i = 0; i < steps; ++i)
            step();
        perStep.push_back((Now() - start) * 1e6 / steps);
    }
    return perStep;
}

std::string SpreadJson(const std::vector<double>& values)
{
    const bench::Spread s = bench::SpreadOf(values);
    char text[120];
    std::snprintf(text, sizeof text, "{\"min\": %.3f, \"median\": %.3f, \"max\": %.3f}", s.min, s.median, s.max);
    return text;
}

struct Options {
    int fills = 1000;
    int repeats = 5;
    const char* jsonPath = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        int* count = arg == "--fills" ? &options.fills : arg == "--repeats" ? &options.repeats : nullptr;
        if (arg == "--json")
            options.jsonPath = argv[i + 1];
        else if (!count || !bench::ParseCount(argv[i + 1], *count))
            return false;
    }
    return argc % 2 == 1 && options.fills > 0 && options.repeats > 0;
}

std::string MeasureAll(const Options& options)
{
    bench::FillTexts texts;
    const double firstFill = MicrosecondsPerStep(1, 1, [&] { bench::FillOnce(texts); })[0];
    MicrosecondsPerStep(std::max(1, options.fills / 10), 1, [&] { bench::FillOnce(texts); });   // warm-up
    const auto perFill = MicrosecondsPerStep(options.fills, options.repeats, [&] { bench::FillOnce(texts); });

    std::string json = "{\"fills\": " + std::to_string(options.fills) + ", \"repeats\": " +
                       std::to_string(options.repeats) + ", \"us_first_fill\": " + std::to_string(firstFill) +
                       ", \"us_per_fill\": " + SpreadJson(perFill);
    json += ",\n \"us_per_reader\": {";
    for (const bench::NamedReader& reader : bench::kFillOrder) {
        const auto perCall = MicrosecondsPerStep(options.fills, options.repeats, [&] { texts[0] = reader.read(); });
        json += std::string(&reader == bench::kFillOrder ? "" : ", ") + "\"" + reader.name + "\": " +
                SpreadJson(perCall);
    }
    bench::FillOnce(texts);
    json += "},\n \"texts\": [";
    for (size_t i = 0; i < texts.size(); ++i)
        json += (i ? ", " : "") + bench::JsonString(texts[i].GetString());
    return json + "]}\n";
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--fills N] [--repeats N] [--json FILE]\n", argv[0]);
        return 2;
    }
    const std::string json = MeasureAll(options);
    std::fputs(json.c_str(), stdout);
    if (options.jsonPath) {
        FILE* file = std::fopen(options.jsonPath, "wb");
        if (!file || std::fputs(json.c_str(), file) < 0 || std::fclose(file) != 0) {
            std::fprintf(stderr, "fill bench: cannot write %s\n", options.jsonPath);
            return 1;
        }
    }
    return 0;
}
