// The bench's arithmetic: a wrong median or a ratio taken across rounds
// would put a false figure in the report, and no timing would show it.
#include "bench/stats.h"

#include <gtest/gtest.h>

namespace {

using bench::Program;
using bench::Sample;

Program Make(const char* name, const std::vector<double>& visible)
{
    Program program{name, name, {}};
    for (double v : visible)
        program.samples.push_back(Sample{v, v / 10, v * 100});
    return program;
}

const bench::Metric& Visible()
{
    return bench::Metrics()[0];
}

TEST(BenchStats, SpreadOfUnsortedLists)
{
    const struct {
        std::vector<double> values;
        double min, median, max;
    } cases[] = {
        {{}, 0, 0, 0},
        {{7}, 7, 7, 7},
        {{9, 1, 5}, 1, 5, 9},
        {{4, 1, 3, 2}, 1, 2.5, 4},   // the mean of the middle two
        {{2, 2, 8, 2}, 2, 2, 8},
    };
    for (const auto& c : cases) {
        const bench::Spread s = bench::SpreadOf(c.values);
        EXPECT_EQ(s.min, c.min);
        EXPECT_EQ(s.median, c.median);
        EXPECT_EQ(s.max, c.max);
    }
}

// Round k of the subject over round k of the reference: the ratios of the
// medians would be 2, but pair by pair the subject is always half as fast.
TEST(BenchStats, RatiosArePairedByRound)
{
    const Program subject = Make("s", {100, 400, 200});
    const Program reference = Make("r", {50, 200, 100});
    EXPECT_EQ(bench::PairRatios(subject, reference, Visible()), (std::vector<double>{2, 2, 2}));

    const Program drifting = Make("d", {400, 100, 200});
    EXPECT_EQ(bench::PairRatios(drifting, reference, Visible()), (std::vector<double>{8, 0.5, 2}));
}

TEST(BenchStats, RatiosSkipZeroDivisorsAndUnpairedRounds)
{
    const Program subject = Make("s", {10, 20, 30, 40});
    const Program reference = Make("r", {5, 0, 15});
    EXPECT_EQ(bench::PairRatios(subject, reference, Visible()), (std::vector<double>{2, 2}));
}

TEST(BenchStats, MetricsReadTheirOwnField)
{
    const Program program = Make("p", {30, 10});
    EXPECT_EQ(bench::Values(program, bench::Metrics()[0]), (std::vector<double>{30, 10}));
    EXPECT_EQ(bench::Values(program, bench::Metrics()[1]), (std::vector<double>{3, 1}));
    EXPECT_EQ(bench::Values(program, bench::Metrics()[2]), (std::vector<double>{3000, 1000}));
}

TEST(BenchStats, CountsAreWholeDecimalNumbers)
{
    const struct {
        const char* text;
        bool ok;
        int value;
    } cases[] = {
        {"20", true, 20}, {"0", true, 0}, {"1000000", true, 1000000},
        {nullptr, false, 0}, {"", false, 0}, {"-1", false, 0}, {"+3", false, 0}, {" 3", false, 0},
        {"3x", false, 0}, {"1000001", false, 0}, {"99999999999999999999", false, 0},
    };
    for (const auto& c : cases) {
        int value = -7;
        EXPECT_EQ(bench::ParseCount(c.text, value), c.ok) << (c.text ? c.text : "null");
        EXPECT_EQ(value, c.ok ? c.value : -7) << (c.text ? c.text : "null");
    }
}

// Every bench reads its command line through this: a count taken for the
// wrong option, or a path taken for a program, would measure something else.
TEST(BenchStats, ArgsTakeCountsJsonAndTheRestInOrder)
{
    const struct {
        std::vector<const char*> argv;
        bool ok;
        int runs, settle;
        std::string json, rest;
    } cases[] = {
        {{}, true, 20, 100, "", ""},
        {{"--settle", "5", "a=b", "--json", "x.json", "--runs", "3", "c"}, true, 3, 5, "x.json", "a=b c "},
        {{"--json", "--runs"}, true, 20, 100, "--runs", ""},   // a path may look like an option
        {{"--runs"}, false, 20, 100, "", ""},
        {{"--runs", "x"}, false, 20, 100, "", ""},
        {{"--json"}, false, 20, 100, "", ""},
        {{"a", "--rounds", "3"}, false, 20, 100, "", "a "},
    };
    for (const auto& c : cases) {
        std::vector<const char*> argv{"bench"};
        argv.insert(argv.end(), c.argv.begin(), c.argv.end());
        int runs = 20, settle = 100;
        bench::Args args;
        const int argc = static_cast<int>(argv.size());
        const bool ok = bench::ParseArgs(argc, argv.data(), {{"--runs", &runs}, {"--settle", &settle}}, args);
        EXPECT_EQ(ok, c.ok) << argv.size();
        std::string rest;
        for (const std::string& arg : args.rest)
            rest += arg + " ";
        EXPECT_EQ(runs, c.runs);
        EXPECT_EQ(settle, c.settle);
        EXPECT_EQ(args.jsonPath, c.json);
        EXPECT_EQ(rest, c.rest);
    }
}

TEST(BenchStats, JsonQuotesPathsAndCarriesRatios)
{
    EXPECT_EQ(bench::JsonString("C:\\a \"b\""), "\"C:\\\\a \\\"b\\\"\"");

    const std::string json = bench::SummaryJson({Make("Osprel", {100, 300}), Make("winver", {200, 200})});
    EXPECT_NE(json.find("\"command\": \"Osprel\""), std::string::npos);
    EXPECT_NE(json.find("\"subject\": \"Osprel\", \"reference\": \"winver\""), std::string::npos);
    // visible: ratios 0.5 and 1.5, median 1
    EXPECT_NE(json.find("\"visible_ms\": {\"min\": 0.500, \"median\": 1.000, \"max\": 1.500"), std::string::npos);
    EXPECT_EQ(bench::JsonSpread({3, 1, 2}),
              "{\"min\": 1.000, \"median\": 2.000, \"max\": 3.000, \"samples\": [3.000, 1.000, 2.000]}");
}

TEST(BenchStats, TableHasOneRowPerProgramAndPerReference)
{
    const std::string text =
        bench::SummaryText({Make("Osprel", {100}), Make("winver", {200}), Make("floor", {100})});
    EXPECT_NE(text.find("\nOsprel "), std::string::npos);
    EXPECT_NE(text.find("\nOsprel / winver "), std::string::npos);
    EXPECT_NE(text.find("0.50 / 0.50 / 0.50"), std::string::npos);
    EXPECT_NE(text.find("\nOsprel / floor "), std::string::npos);
    EXPECT_NE(text.find("1.00 / 1.00 / 1.00"), std::string::npos);
}

} // namespace
