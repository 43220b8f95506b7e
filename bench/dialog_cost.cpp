// What Osprel's window costs Wine beyond the floor's, measured inside one
// warm process, so that the launch figures can be taken apart: each dialog
// template (Osprel's rows against the floor's single static) created hidden,
// then shown and painted, then destroyed; and the two WM_SETICON calls that
// Osprel makes while its dialog initialises. The templates and the icon are
// read from the two executables themselves.
//
//   osprel_dialog_cost OSPREL.EXE FLOOR.EXE [--rounds N] [--json FILE]
#include "bench/stats.h"
#include "bench/timing.h"
#include "res/resource.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kFloorDialog = 1;
constexpr int kWarmupRounds = 5;

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
        const double start = bench::NowMs();
        SendMessageA(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(run->icon));
        SendMessageA(dialog, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(run->icon));
        run->setIconsMs = bench::NowMs() - start;
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

void MeasureOnce(const std::vector<BYTE>& dialogTemplate, HICON icon, Phases& phases, bool keep)
{
    Run run;
    run.icon = icon;
    const double start = bench::NowMs();
    const HWND dialog = CreateDialogIndirectParamA(GetModuleHandleA(nullptr),
                                                   reinterpret_cast<const DLGTEMPLATE*>(dialogTemplate.data()),
                                                   nullptr, DialogProc, reinterpret_cast<LPARAM>(&run));
    const double created = bench::NowMs();
    ShowWindow(dialog, SW_SHOW);
    UpdateWindow(dialog);
    DispatchPending();
    const double shown = bench::NowMs();
    DestroyWindow(dialog);
    DispatchPending();
    const double destroyed = bench::NowMs();
    if (!keep)
        return;
    phases.create.push_back(created - start);
    phases.show.push_back(shown - created);
    phases.destroy.push_back(destroyed - shown);
    if (icon)
        phases.setIcons.push_back(run.setIconsMs);
}

std::string PhasesJson(const Phases& phases, int controls)
{
    return "{\"controls\": " + std::to_string(controls) + ", \"create_ms\": " + bench::JsonSpread(phases.create) +
           ", \"show_ms\": " + bench::JsonSpread(phases.show) +
           ", \"destroy_ms\": " + bench::JsonSpread(phases.destroy) + "}";
}

// Interleaved, like the launch bench, so that drift falls on every variant.
std::string Measure(const DialogTemplate& osprelTemplate, const DialogTemplate& floorTemplate, HICON icon,
                    int rounds)
{
    Phases osprelPhases, floorPhases, iconPhases;
    bench::RunRounds(kWarmupRounds, rounds, [&](int, bool keep) {
        MeasureOnce(osprelTemplate.bytes, nullptr, osprelPhases, keep);
        MeasureOnce(floorTemplate.bytes, nullptr, floorPhases, keep);
        MeasureOnce(floorTemplate.bytes, icon, iconPhases, keep);
        return true;
    });
    return "{\"rounds\": " + std::to_string(rounds) +
           ",\n \"osprel\": " + PhasesJson(osprelPhases, osprelTemplate.controls) +
           ",\n \"floor\": " + PhasesJson(floorPhases, floorTemplate.controls) +
           ",\n \"set_icons_ms\": " + bench::JsonSpread(iconPhases.setIcons) + "}\n";
}

} // namespace

int main(int argc, char** argv)
{
    int rounds = 40;
    bench::Args args;
    if (!bench::ParseArgs(argc, argv, {{"--rounds", &rounds}}, args) || args.rest.size() != 2 || rounds == 0) {
        std::fprintf(stderr, "usage: %s OSPREL.EXE FLOOR.EXE [--rounds N] [--json FILE]\n", argv[0]);
        return 2;
    }
    const DataModule osprel(args.rest[0].c_str());
    const DataModule floor(args.rest[1].c_str());
    const DialogTemplate osprelTemplate = HiddenTemplate(osprel.Get(), IDD_MAIN);
    const DialogTemplate floorTemplate = HiddenTemplate(floor.Get(), kFloorDialog);
    const HICON icon = osprel.Get() ? LoadIconA(osprel.Get(), MAKEINTRESOURCEA(IDI_APP)) : nullptr;
    if (osprelTemplate.bytes.empty() || floorTemplate.bytes.empty() || !icon) {
        std::fprintf(stderr, "dialog cost: cannot read the templates and the icon of %s and %s\n",
                     args.rest[0].c_str(), args.rest[1].c_str());
        return 1;
    }
    const std::string json = Measure(osprelTemplate, floorTemplate, icon, rounds);
    std::fputs(json.c_str(), stdout);
    return bench::WriteJson(args.jsonPath, json) ? 0 : 1;
}
