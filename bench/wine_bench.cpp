// The bench's Windows side, run under Wine; prints raw samples, one a line,
// for bench/report.py to summarise.
//
//   osprel_wine_bench launch RUNS NAME=COMMAND...
//     Starts every program once a round, RUNS rounds after one warm-up round,
//     in an order that rotates from round to round so that drift on a noisy
//     machine falls on all alike. Per start: "round name visible_ms close_ms
//     peak_kb": process creation to a visible top-level window of the process,
//     WM_CLOSE to exit, and the peak working set once the program is idle.
//   osprel_wine_bench fill REPETITIONS FILLS
//     "first us": the one fill a fresh process makes; then per repetition
//     "fill us" for all eleven readers in the dialog's order, and "NAME us"
//     for each reader alone: microseconds per call, averaged over FILLS calls.
#include "readers/fields.h"
#include "tests/support/child_process.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Polls every millisecond: finer would take the Wine server's time from the
// very start-up being measured.
HWND WaitForVisibleWindow(const ChildProcess& child)
{
    for (const double start = NowMs(); !child.Ended(0) && NowMs() - start < 20000; Sleep(1)) {
        if (const HWND found = child.VisibleWindow())
            return found;
    }
    return nullptr;
}

// One start, measured; false (with the child ended) when any step fails.
bool LaunchOnce(const char* name, const std::string& command, int round)
{
    const double created = NowMs();
    const ChildProcess child(command);
    if (!child.Started())
        return false;
    const HWND window = WaitForVisibleWindow(child);
    const double visibleMs = NowMs() - created;
    // Idle means the first paint is done: the peak then covers the whole start.
    WaitForInputIdle(child.Handle(), 5000);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    bool ok = window && GetProcessMemoryInfo(child.Handle(), &memory, sizeof memory);
    const double closing = NowMs();
    ok = ok && PostMessageA(window, WM_CLOSE, 0, 0) && child.Ended(10000);
    if (ok && round >= 0)
        std::printf("%d %s %.3f %.3f %.0f\n", round, name, visibleMs, NowMs() - closing,
                    static_cast<double>(memory.PeakWorkingSetSize) / 1024.0);
    return ok;   // a child still running is ended with the object
}

int Launch(int runs, int count, char** programs)
{
    for (int round = -1; round < runs; ++round) {   // round -1: the warm-up, not printed
        for (int k = 0; k < count; ++k) {
            const char* program = programs[(round + 1 + k) % count];
            const char* eq = std::strchr(program, '=');
            // A Wine process is reported ended before its last pages and X
            // resources are released: that tail must not fall on the next start.
            Sleep(100);
            if (!eq || !LaunchOnce(std::string(program, eq).c_str(), eq + 1, round)) {
                std::fprintf(stderr, "wine bench: %s did not start, show a window and close\n", program);
                return 1;
            }
        }
    }
    return 0;
}

template <typename Call>
double MicrosecondsPerCall(int calls, Call call)
{
    const double start = NowMs();
    for (int i = 0; i < calls; ++i)
        call();
    return (NowMs() - start) * 1000 / calls;
}

int Fill(int repetitions, int fills)
{
    CString texts[kFields.size()];
    const auto fill = [&] {
        for (size_t i = 0; i < kFields.size(); ++i)
            texts[i] = kFields[i]->read();
    };
    std::printf("first %.1f\n", MicrosecondsPerCall(1, fill));
    for (int repetition = 0; repetition < repetitions; ++repetition) {
        std::printf("fill %.2f\n", MicrosecondsPerCall(fills, fill));
        for (const Field* field : kFields)
            std::printf("%s %.2f\n", field->name, MicrosecondsPerCall(fills, [&] { texts[0] = field->read(); }));
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "launch") == 0)
        return Launch(std::atoi(argv[2]), argc - 3, argv + 3);
    if (argc == 4 && std::strcmp(argv[1], "fill") == 0)
        return Fill(std::atoi(argv[2]), std::atoi(argv[3]));
    std::fprintf(stderr, "usage: %s launch RUNS NAME=COMMAND... | fill REPETITIONS FILLS\n", argv[0]);
    return 2;
}
