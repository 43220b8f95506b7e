// What Osprel's window costs Wine beyond the floor's, measured inside one
// warm process, so that the launch figures can be taken apart: each dialog
// template (Osprel's rows against the floor's single static) created hidden,
// then shown and painted, then destroyed; and the two WM_SETICON calls that
// Osprel makes while its dialog initialises. The templates and the icon are
// read from the two executables themselves.
//
//   osprel_dialog_cost OSPREL.EXE FLOOR.EXE [--rounds N] [--json FILE]
#include "bench/stats.h"
#include "res/resource.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFloorDialog = 1;
constexpr int kWarmupRounds = 5;

double NowMs()
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// An executable opened for its resources only: nothing of it runs.
class DataModule {
public:
    explicit DataModule(const char* path) : m_module(LoadLibraryExA(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
    ~DataModule()
    {
        if (m_module)
            FreeLibrary(m_module);
    }
    DataModule(const DataModule&) = delete;
    DataModule& operator=(const DataModule&) = delete;

    HMODULE Get() const { return m_module; }

private:
    HMODULE m_module;
};

struct DialogTemplate {
    std::vector<BYTE> bytes;   // without WS_VISIBLE, so that creating and showing can be timed apart
    int controls = 0;
};

// Dialog template `id` of `module`; empty bytes when there is none.
DialogTemplate HiddenTemplate(HMODULE module, int id)
{
    const HRSRC found = module ? FindResourceA(module, MAKEINTRESOURCEA(id), MAKEINTRESOURCEA(5)) : nullptr;
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* bytes = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!bytes || size < 18)
        return {};
    DialogTemplate copy{std::vector<BYTE>(bytes, bytes + size), 0};
    // DLGTEMPLATEEX: version, signature, help id, extended style, style, item count.
    // DLGTEMPLATE: style, extended style, item count.
    const bool extended = bytes[0] == 1 && bytes[1] == 0 && bytes[2] == 0xFF && bytes[3] == 0xFF;
    const size_t styleAt = extended ? 12 : 0;
    const size_t countAt = extended ? 16 : 8;
    DWORD style = 0;
    std::memcpy(&style, bytes + styleAt, sizeof style);
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::memcpy(copy.bytes.data() + styleAt, &style, sizeof style);
    copy.controls = bytes[countAt] | bytes[countAt + 1] << 8;
    return copy;
}

struct Run {
    HICON icon = nullptr;        // set as Osprel does during WM_INITDIALOG, when given
    double setIconsMs = 0;
};

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM, LPARAM lParam)
{
    if (message != WM_INITDIALOG)
        return FALSE;
    auto* run = reinterpret_cast<Run*>(lParam);
    if (run->icon) {
        const double start = NowMs();
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(run->icon));
        SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(run->icon));
        run->setIconsMs = NowMs() - start;
    }
    return TRUE;
}

void DispatchPending()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&message);
}

struct Phases {
    std::vector<double> create, show, destroy, setIcons;
};

void MeasureOnce(const std::vector<BYTE>& dialogTemplate, HICON icon, Phases& phases, bool record)
{
    Run run;
    run.icon = icon;
    const double start = NowMs();
    const HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                                   reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                                                   nullptr, DialogProc, reinterpret_cast<LPARAM>(&run));
    const double created = NowMs();
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    DispatchPending();
    const double shown = NowMs();
    DestroyWindow(dialog);
    DispatchPending();
    const double destroyed = NowMs();
    if (!record)
        return;
    phases.create.push_back(created - start);
    phases.show.push_back(shown - created);
    phases.destroy.push_back(destroyed - shown);
    if (icon)
        phases.setIcons.push_back(run.setIconsMs);
}

std::string SpreadJson(const std::vector<double>& values)
{
    const bench::Spread s = bench::SpreadOf(values);
    char text[120];
    std::snprintf(text, sizeof text, "{\"min\": %.3f, \"median\": %.3f, \"max\": %.3f}", s.min, s.median, s.max);
    return text;
}

std::string PhasesJson(const Phases& phases, int controls)
{
    return "{\"controls\": " + std::to_string(controls) + ", \"create_ms\": " + SpreadJson(phases.create) + ", \"show_ms\": " + SpreadJson(phases.show) +
           ", \"destroy_ms\": " + SpreadJson(phases.destroy) + "}";
}

struct Options {
    const char* osprelPath = nullptr;
    const char* floorPath = nullptr;
    int rounds = 40;
    const char* jsonPath = nullptr;
};

bool ParseOptions(int argc, char** argv, Options& options)
{
    if (argc < 3 || argc % 2 == 0)
        return false;
    options.osprelPath = argv[1];
    options.floorPath = argv[2];
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string arg = argv[i];
        if (arg == "--json")
            options.jsonPath = argv[i + 1];
        else if (arg != "--rounds" || !bench::ParseCount(argv[i + 1], options.rounds))
            return false;
    }
    return options.rounds > 0;
}

// Interleaved, like the launch bench, so that drift falls on every variant.
std::string Measure(const DialogTemplate& osprelTemplate, const DialogTemplate& floorTemplate, HICON icon,
                    int rounds)
{
    Phases osprelPhases, floorPhases, iconPhases;
    for (int round = 0; round < kWarmupRounds + rounds; ++round) {
        const bool record = round >= kWarmupRounds;
        MeasureOnce(osprelTemplate.bytes, nullptr, osprelPhases, record);
        MeasureOnce(floorTemplate.bytes, nullptr, floorPhases, record);
        MeasureOnce(floorTemplate.bytes, icon, iconPhases, record);
    }
    return "{\"rounds\": " + std::to_string(rounds) + ",\n \"osprel\": " + PhasesJson(osprelPhases, osprelTemplate.controls) +
           ",\n \"floor\": " + PhasesJson(floorPhases, floorTemplate.controls) + ",\n \"set_icons_ms\": " +
           SpreadJson(iconPhases.setIcons) + "}\n";
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: %s OSPREL.EXE FLOOR.EXE [--rounds N] [--json FILE]\n", argv[0]);
        return 2;
    }
    const DataModule osprel(options.osprelPath);
    const DataModule floor(options.floorPath);
    const DialogTemplate osprelTemplate = HiddenTemplate(osprel.Get(), IDD_MAIN);
    const DialogTemplate floorTemplate = HiddenTemplate(floor.Get(), kFloorDialog);
    const HICON icon = osprel.Get() ? LoadIconA(osprel.Get(), MAKEINTRESOURCEA(IDI_APP)) : nullptr;
    if (osprelTemplate.bytes.empty() || floorTemplate.bytes.empty() || !icon) {
        std::fprintf(stderr, "dialog cost: cannot read the templates and the icon of %s and %s\n",
                     options.osprelPath, options.floorPath);
        return 1;
    }

    const std::string json = Measure(osprelTemplate, floorTemplate, icon, options.rounds);
    std::fputs(json.c_str(), stdout);
    if (options.jsonPath) {
        FILE* file = std::fopen(options.jsonPath, "wb");
        if (!file || std::fputs(json.c_str(), file) < 0 || std::fclose(file) != 0) {
            std::fprintf(stderr, "dialog cost: cannot write %s\n", options.jsonPath);
            return 1;
        }
    }
    return 0;
}
