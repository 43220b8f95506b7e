// The benches' figures, as a table to read and as JSON for the report.
#include "bench/stats.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

namespace bench {

namespace {

std::string Fixed(double value, int digits)
{
    char text[48];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

std::string SpreadText(const Spread& s, int digits)
{
    return Fixed(s.min, digits) + " / " + Fixed(s.median, digits) + " / " + Fixed(s.max, digits);
}

std::string JsonNumbers(const std::vector<double>& values)
{
    std::string list = "[";
    for (size_t i = 0; i < values.size(); ++i)
        list += (i ? ", " : "") + Fixed(values[i], 3);
    return list + "]";
}

std::string Padded(std::string text, size_t width)
{
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

std::string TableRow(const std::string& label, const std::vector<std::vector<double>>& columns, int digits)
{
    std::string row = Padded(label, 18);
    for (const auto& column : columns)
        row += Padded(SpreadText(SpreadOf(column), digits), 28);
    return row + "\n";
}

} // namespace

bool ParseCount(const char* text, int& value)
{
    if (!text || *text < '0' || *text > '9')
        return false;
    char* end = nullptr;
    errno = 0;
    const long parsed = std::strtol(text, &end, 10);
    if (errno != 0 || *end != '\0' || parsed > 1000000)
        return false;
    value = static_cast<int>(parsed);
    return true;
}

bool ParseArgs(int argc, const char* const* argv, const std::vector<CountOption>& counts, Args& args)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (arg.rfind("--", 0) != 0) {
            args.rest.push_back(arg);
            continue;
        }
        if (arg == "--json" && value) {
            args.jsonPath = value;
        } else {
            const auto count =
                std::find_if(counts.begin(), counts.end(), [&](const CountOption& c) { return arg == c.name; });
            if (count == counts.end() || !ParseCount(value, *count->value))
                return false;
        }
        ++i;
    }
    return true;
}

std::string JsonString(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

std::string JsonSpread(const std::vector<double>& values)
{
    const Spread s = SpreadOf(values);
    return "{\"min\": " + Fixed(s.min, 3) + ", \"median\": " + Fixed(s.median, 3) + ", \"max\": " +
           Fixed(s.max, 3) + ", \"samples\": " + JsonNumbers(values) + "}";
}

bool WriteJson(const std::string& path, const std::string& json)
{
    if (path.empty())
        return true;
    FILE* file = std::fopen(path.c_str(), "wb");
    const bool written = file && std::fwrite(json.data(), 1, json.size(), file) == json.size();
    if (file && std::fclose(file) == 0 && written)
        return true;
    std::fprintf(stderr, "bench: cannot write %s\n", path.c_str());
    return false;
}

Spread SpreadOf(std::vector<double> values)
{
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    const double median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
    return {values.front(), median, values.back()};
}

const std::vector<Metric>& Metrics()
{
    static const std::vector<Metric> metrics = {
        {"visible_ms", "to visible (ms)", &Sample::visibleMs},
        {"close_ms", "close to exit (ms)", &Sample::closeMs},
        {"peak_working_set_kb", "peak working set (KB)", &Sample::peakWorkingSetKb},
    };
    return metrics;
}

std::vector<double> Values(const Program& program, const Metric& metric)
{
    std::vector<double> values;
    for (const Sample& sample : program.samples)
        values.push_back(sample.*metric.field);
    return values;
}

std::vector<double> PairRatios(const Program& subject, const Program& reference, const Metric& metric)
{
    std::vector<double> ratios;
    const size_t rounds = std::min(subject.samples.size(), reference.samples.size());
    for (size_t k = 0; k < rounds; ++k) {
        const double divisor = reference.samples[k].*metric.field;
        if (divisor != 0)
            ratios.push_back(subject.samples[k].*metric.field / divisor);
    }
    return ratios;
}

std::string SummaryText(const std::vector<Program>& programs)
{
    if (programs.empty())
        return {};
    std::string text = std::to_string(programs[0].samples.size()) +
                       " runs each after a warm-up; every cell is min / median / max\n\n";
    text += Padded("", 18);
    for (const Metric& metric : Metrics())
        text += Padded(metric.title, 28);
    text += "\n";
    for (const Program& program : programs) {
        std::vector<std::vector<double>> columns;
        for (const Metric& metric : Metrics())
            columns.push_back(Values(program, metric));
        text += TableRow(program.name, columns, 1);
    }
    for (size_t r = 1; r < programs.size(); ++r) {
        std::vector<std::vector<double>> columns;
        for (const Metric& metric : Metrics())
            columns.push_back(PairRatios(programs[0], programs[r], metric));
        text += TableRow(programs[0].name + " / " + programs[r].name, columns, 2);
    }
    return text;
}

std::string SummaryJson(const std::vector<Program>& programs)
{
    std::string json = "{\n  \"programs\": [";
    for (size_t p = 0; p < programs.size(); ++p) {
        json += std::string(p ? "," : "") + "\n    {\"name\": " + JsonString(programs[p].name) +
                ", \"command\": " + JsonString(programs[p].commandLine);
        for (const Metric& metric : Metrics())
            json += ",\n     " + JsonString(metric.key) + ": " + JsonSpread(Values(programs[p], metric));
        json += "}";
    }
    json += "\n  ],\n  \"ratios\": [";
    for (size_t r = 1; r < programs.size(); ++r) {
        json += std::string(r > 1 ? "," : "") + "\n    {\"subject\": " + JsonString(programs[0].name) +
                ", \"reference\": " + JsonString(programs[r].name);
        for (const Metric& metric : Metrics())
            json += ",\n     " + JsonString(metric.key) + ": " + JsonSpread(PairRatios(programs[0], programs[r], metric));
        json += "}";
    }
    return json + "\n  ]\n}\n";
}

} // namespace bench
