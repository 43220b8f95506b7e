// The program's entry point, in place of the C runtime's start-up code, for
// programs linked with -nostartfiles (afx_entry in CMakeLists.txt).
//
// MinGW-w64's start-up code is prebuilt for the Pentium Pro (it holds cmov)
// and brings what this layer never uses: command-line parsing into argv,
// thread-local storage callbacks, pseudo-relocations of imported data,
// exception handlers for the C++ runtime. The system's C runtime, msvcrt.dll,
// sets itself up when it loads; all that is left to do here is what the
// compiler expects of any start-up: run the static constructors, from the
// list the linker gathers, before WinMain. exit() then runs the destructors
// registered with atexit and ends the process with WinMain's result.
// atexit itself is the start-up code's in MinGW-w64, so it is defined here,
// and so are operator new and delete, which the C++ library would otherwise
// bring (delete for the deleting destructors of every class with a virtual
// destructor).
#include "afx/win32.h"

#include <cstddef>
#include <cstdlib>

// Names the linker and the C runtime chose, reserved to them.
// NOLINTBEGIN(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)
extern "C" {
// The linker's list of static constructors: -1, the constructors, a null.
extern void (*__CTOR_LIST__[])();
// The kind of program, for the C runtime's own error reports: a window program.
void __cdecl __set_app_type(int type);
}
// NOLINTEND(bugprone-reserved-identifier,cert-dcl37-c,cert-dcl51-cpp)

namespace {

constexpr int kGuiApp = 2;

// In the order the compiler's own start-up runs them: from the last to the first.
void RunStaticConstructors()
{
    int count = 0;
    while (__CTOR_LIST__[count + 1])
        ++count;
    for (int i = count; i >= 1; --i)
        __CTOR_LIST__[i]();
}

// The command line after the program's name, as WinMain is given it.
LPSTR CommandLineArguments()
{
    LPSTR line = GetCommandLineA();
    bool quoted = false;
    for (; *line && (quoted || (*line != ' ' && *line != '\t')); ++line) {
        if (*line == '"')
            quoted = !quoted;
    }
    while (*line == ' ' || *line == '\t')
        ++line;
    return line;
}

int ShowCommand()
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    GetStartupInfoA(&startup);
    return (startup.dwFlags & STARTF_USESHOWWINDOW) ? startup.wShowWindow : SW_SHOWDEFAULT;
}

} // namespace

// The C runtime's own exit list, which exit() runs last registered first.
extern "C" int __cdecl atexit(void(__cdecl* function)())
{
    return _onexit(reinterpret_cast<_onexit_t>(reinterpret_cast<void (*)()>(function))) ? 0 : -1;
}

// Memory from msvcrt's heap, as the C++ library's operators take it; where
// none is left the program ends, as there are no exceptions to throw.
void* operator new(std::size_t size)
{
    void* memory = std::malloc(size ? size : 1);
    if (!memory)
        std::abort();
    return memory;
}

void operator delete(void* memory) noexcept
{
    std::free(memory);
}

void operator delete(void* memory, std::size_t) noexcept
{
    std::free(memory);
}

// Windows starts a 32-bit program with its stack aligned to 4 bytes only.
#ifdef __i386__
#define AFX_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define AFX_ALIGN_STACK
#endif

extern "C" [[noreturn]] AFX_ALIGN_STACK void AfxEntry()
{
    __set_app_type(kGuiApp);
    RunStaticConstructors();
    std::exit(WinMain(GetModuleHandleA(nullptr), nullptr, CommandLineArguments(), ShowCommand()));
}
