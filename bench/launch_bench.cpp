// Start-up, close and memory of dialog programs, side by side, under Wine.
//
//   osprel_launch_bench [--runs N] [--warmup N] [--settle MS] [--json FILE] NAME=COMMAND...
//
// The first program is the subject; every other one is a reference it is
// compared with. Each round starts every program once, in an order that
// rotates from round to round, so that drift on a noisy machine (and any
// advantage of going first) falls on all of them alike. For each start it
// measures the time from process creation to a visible top-level window of
// that process, the peak working set once the program has gone idle, and the
// time from the close request to process exit. Between starts it pauses
// (--settle, 100 ms by default): a Wine process is reported ended before its
// last pages and X resources are released, and that tail must not fall on the
// start of the next program.
#include "bench/stats.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kVisibleTimeoutMs = 20000;
constexpr DWORD kIdleTimeoutMs = 5000;
constexpr DWORD kExitTimeoutMs = 10000;

class Stopwatch {
public:
    Stopwatch() { QueryPerformanceCounter(&m_start); }
    double ElapsedMs() const
    {
        LARGE_INTEGER now, frequency;
        QueryPerformanceCounter(&now);
        QueryPerformanceFrequency(&frequency);
        return 1000.0 * static_cast<double>(now.QuadPart - m_start.QuadPart) / static_cast<double>(frequency.QuadPart);
    }

private:
    LARGE_INTEGER m_start;
};

// A started child; a child still running when this ends is ended with it, so
// a failed run leaves nothing behind for the next one to find.
class ChildProcess {
public:
    explicit ChildProcess(const std::string& commandLine)
    {
        std::string writable = commandLine;   // CreateProcessA may write into it
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        m_started = CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &m_info) != FALSE;
    }
    ~ChildProcess()
    {
        if (!m_started)
            return;
        if (WaitForSingleObject(m_info.hProcess, 0) == WAIT_TIMEOUT) {
            TerminateProcess(m_info.hProcess, 1);
            WaitForSingleObject(m_info.hProcess, kExitTimeoutMs);
        }
        CloseHandle(m_info.hThread);
        CloseHandle(m_info.hProcess);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Started() const { return m_started; }
    HANDLE Handle() const { return m_info.hProcess; }
    DWORD Id() const { return m_info.dwProcessId; }
    bool HasExited() const { return WaitForSingleObject(m_info.hProcess, 0) == WAIT_OBJECT_0; }

private:
    PROCESS_INFORMATION m_info{};
    bool m_started = false;
};

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM context)
{
    auto* search = reinterpret_cast<WindowSearch*>(context);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    search->found = window;
    return FALSE;
}

HWND FindVisibleWindow(DWORD processId)
{
    WindowSearch search{processId, nullptr};
    EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Polls every millisecond: finer would take the Wine server's time from the
// very start-up being measured; coarser would blur the figure.
HWND WaitForVisibleWindow(const ChildProcess& child)
{
    const Stopwatch waited;
    while (waited.ElapsedMs() < kVisibleTimeoutMs && !child.HasExited()) {
        if (HWND window = FindVisibleWindow(child.Id()))
            return window;
        Sleep(1);
    }
    return nullptr;
}

bool ReadPeakWorkingSetKb(HANDLE process, double& kb)
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(process, &counters, sizeof counters))
        return false;
    kb = static_cast<double>(counters.PeakWorkingSetSize) / 1024.0;
    return true;
}

bool RunOnce(const std::string& commandLine, bench::Sample& sample)
{
    const Stopwatch sinceCreation;
    ChildProcess child(commandLine);
    if (!child.Started())
        return false;
    const HWND window = WaitForVisibleWindow(child);
    if (!window)
        return false;
    sample.visibleMs = sinceCreation.ElapsedMs();

    // Idle means the first paint is done: the peak then covers the whole start.
    WaitForInputIdle(child.Handle(), kIdleTimeoutMs);
    if (!ReadPeakWorkingSetKb(child.Handle(), sample.peakWorkingSetKb))
        return false;

    const Stopwatch sinceClose;
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(child.Handle(), kExitTimeoutMs) != WAIT_OBJECT_0)
        return false;
    sample.closeMs = sinceClose.ElapsedMs();
    return true;
}

struct Options {
    int runs = 20;
    int warmup = 1;
    int settleMs = 100;
    std::string jsonPath;
    std::vector<bench::Program> programs;
};

// Where the value of counting option `arg` goes, or null for any other argument.
int* CountOption(const std::string& arg, Options& options)
{
    if (arg == "--runs")
        return &options.runs;
    if (arg == "--warmup")
        return &options.warmup;
    if (arg == "--settle")
        return &options.settleMs;
    return nullptr;
}

bool ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        if (int* count = CountOption(arg, options)) {
            if (!bench::ParseCount(value, *count))
                return false;
            ++i;
        } else if (arg == "--json" && value) {
            options.jsonPath = argv[++i];
        } else if (const auto eq = arg.find('='); eq != std::string::npos && eq > 0) {
            options.programs.push_back({arg.substr(0, eq), arg.substr(eq + 1), {}});
        } else {
            return false;
        }
    }
    return options.runs > 0 && !options.programs.empty();
}

// Round `round` starts the programs beginning with program `round` mod count.
bool RunRound(std::vector<bench::Program>& programs, int round, bool record, int settleMs)
{
    const size_t count = programs.size();
    for (size_t k = 0; k < count; ++k) {
        bench::Program& program = programs[(static_cast<size_t>(round) + k) % count];
        Sleep(static_cast<DWORD>(settleMs));
        bench::Sample sample;
        if (!RunOnce(program.commandLine, sample)) {
            std::fprintf(stderr, "launch bench: %s did not start, show a window, report its memory and close (%s)\n",
                         program.name.c_str(), program.commandLine.c_str());
            return false;
        }
        if (record)
            program.samples.push_back(sample);
    }
    return true;
}

bool WriteFile(const std::string& path, const std::string& text)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
    return std::fclose(file) == 0 && written;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s [--runs N] [--warmup N] [--settle MS] [--json FILE] NAME=COMMAND...\n", argv[0]);
        return 2;
    }
    for (int round = 0; round < options.warmup; ++round) {
        if (!RunRound(options.programs, round, false, options.settleMs))
            return 1;
    }
    for (int round = 0; round < options.runs; ++round) {
        if (!RunRound(options.programs, round, true, options.settleMs))
            return 1;
    }
    std::fputs(bench::SummaryText(options.programs).c_str(), stdout);
    if (!options.jsonPath.empty() && !WriteFile(options.jsonPath, bench::SummaryJson(options.programs))) {
        std::fprintf(stderr, "launch bench: cannot write %s\n", options.jsonPath.c_str());
        return 1;
    }
    return 0;
}
