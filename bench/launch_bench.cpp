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
#include "bench/timing.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr DWORD kVisibleTimeoutMs = 20000;
constexpr DWORD kIdleTimeoutMs = 5000;
constexpr DWORD kExitTimeoutMs = 10000;

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
    const bench::Stopwatch waited;
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
    const bench::Stopwatch sinceCreation;
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

    const bench::Stopwatch sinceClose;
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(child.Handle(), kExitTimeoutMs) != WAIT_OBJECT_0)
        return false;
    sample.closeMs = sinceClose.ElapsedMs();
    return true;
}

// Round `round` starts the programs beginning with program `round` mod count.
bool RunRound(std::vector<bench::Program>& programs, int round, bool keep, int settleMs)
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
        if (keep)
            program.samples.push_back(sample);
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 20, warmup = 1, settleMs = 100;
    bench::Args args;
    std::vector<bench::Program> programs;
    const bool parsed =
        bench::ParseArgs(argc, argv, {{"--runs", &runs}, {"--warmup", &warmup}, {"--settle", &settleMs}}, args);
    for (const std::string& arg : args.rest) {
        if (const auto eq = arg.find('='); eq != std::string::npos && eq > 0)
            programs.push_back({arg.substr(0, eq), arg.substr(eq + 1), {}});
    }
    if (!parsed || runs == 0 || programs.empty() || programs.size() != args.rest.size()) {
        std::fprintf(stderr, "usage: %s [--runs N] [--warmup N] [--settle MS] [--json FILE] NAME=COMMAND...\n",
                     argv[0]);
        return 2;
    }
    const auto round = [&](int index, bool keep) { return RunRound(programs, index, keep, settleMs); };
    if (!bench::RunRounds(warmup, runs, round))
        return 1;
    std::fputs(bench::SummaryText(programs).c_str(), stdout);
    return bench::WriteJson(args.jsonPath, bench::SummaryJson(programs)) ? 0 : 1;
}
