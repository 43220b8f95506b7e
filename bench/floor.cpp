// The floor: the least a dialog program costs under Wine. One modal dialog
// from a template with a single static control, built with Osprel's own
// toolchain and flags, and nothing else: no class layer, no registry, no
// icon, no manifest. Whatever Osprel costs above this is its own doing.
#include <windows.h>

namespace {

constexpr int kFloorDialog = 1;

INT_PTR CALLBACK FloorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL)
            EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_CLOSE:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kFloorDialog), nullptr, FloorProc, 0);
    return 0;
}
