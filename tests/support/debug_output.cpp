// GoogleTest hands every failure and skip message to OutputDebugStringA too,
// for a debugger's window, besides printing it. Wine raises an exception for
// each such message, and Wine's 32-bit half does not survive that under the
// i386 emulator (qemu-user), where machines whose kernel runs no 32-bit
// programs run it: the next call to the Wine server fails ("partial write")
// and the test program ends without a word. No debugger watches the tests,
// so every test program takes this import in place of the system's.
#include <windows.h>

namespace {
void WINAPI PrintedAlready(LPCSTR) {}
}  // namespace

// The import's address, as the linker names it for each processor; an object
// of the program's own comes before the import library's.
#ifdef _WIN64
extern "C" decltype(&OutputDebugStringA) osprel_OutputDebugStringA __asm__("__imp_OutputDebugStringA");
#else
extern "C" decltype(&OutputDebugStringA) osprel_OutputDebugStringA __asm__("__imp__OutputDebugStringA@4");
#endif
decltype(&OutputDebugStringA) osprel_OutputDebugStringA = PrintedAlready;
