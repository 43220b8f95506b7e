// The Windows benches' clock and rounds. The performance counter, because
// Wine's GetTickCount moves in whole milliseconds and a fill takes a fraction
// of one.
#pragma once

#include <windows.h>

namespace bench {

inline double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

class Stopwatch {
public:
    double ElapsedMs() const { return NowMs() - m_start; }

private:
    double m_start = NowMs();
};

// `warmup` rounds that settle caches and the Wine server and are not kept,
// then `runs` that are: round(index, keep), the index counting on across
// both. Stops at the first round that fails.
template <typename Round>
bool RunRounds(int warmup, int runs, Round round)
{
    for (int index = 0; index < warmup + runs; ++index) {
        if (!round(index, index >= warmup))
            return false;
    }
    return true;
}

} // namespace bench
