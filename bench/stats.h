// The benches' figures. The launch bench's: per program, the samples of every start; per
// metric, min / median / max; and the subject's ratios to each reference,
// taken pair by pair (run k of the subject over run k of the reference,
// which ran in the same round) so that a slow round weighs on both.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct Sample {
    double visibleMs = 0;         // process creation to a visible top-level window
    double closeMs = 0;           // close request to process exit
    double peakWorkingSetKb = 0;  // read once the program is idle, before closing
};

struct Program {
    std::string name;
    std::string commandLine;
    std::vector<Sample> samples;  // in round order
};

struct Spread {
    double min = 0;
    double median = 0;
    double max = 0;
};

// Of an empty list: all zero. The median of an even count is the mean of the middle two.
Spread SpreadOf(std::vector<double> values);

// A whole decimal number from 0 to 1e6 (a count or a pause in milliseconds
// on the command line); false for anything else.
bool ParseCount(const char* text, int& value);

// A bench's command line: counting options (`--runs 20`), `--json FILE`, and
// the other arguments in order. False for an unknown option, an option
// without its value, or a count that ParseCount refuses.
struct CountOption {
    const char* name;
    int* value;
};
struct Args {
    std::string jsonPath;
    std::vector<std::string> rest;
};
bool ParseArgs(int argc, const char* const* argv, const std::vector<CountOption>& counts, Args& args);

// `text` as a JSON string, quotes included.
std::string JsonString(const std::string& text);

// The spread of `values` as a JSON object, with the samples it was taken from.
std::string JsonSpread(const std::vector<double>& values);

// `json` into the file at `path` (nothing when the path is empty); false,
// said on stderr, when it cannot be written.
bool WriteJson(const std::string& path, const std::string& json);

struct Metric {
    const char* key;    // in the JSON copy
    const char* title;  // in the printed table
    double Sample::*field;
};

const std::vector<Metric>& Metrics();

std::vector<double> Values(const Program& program, const Metric& metric);

// subject[k] / reference[k] for every round both have; a zero divisor skips the pair.
std::vector<double> PairRatios(const Program& subject, const Program& reference, const Metric& metric);

// programs[0] is the subject, the rest its references.
std::string SummaryText(const std::vector<Program>& programs);
std::string SummaryJson(const std::vector<Program>& programs);

} // namespace bench
