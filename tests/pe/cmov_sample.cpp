// A 32-bit program with one instruction newer than the 486, a cmov, and
// nothing else of the kind: no start-up code but its own entry point (see
// CMakeLists.txt), so that check_instructions.py is seen to find that one.
#include <windows.h>

extern "C" void SampleEntry()
{
    int odd = 0;
    const int one = 1;
    asm("testl $1, %1\n\tcmovnel %2, %0" : "+r"(odd) : "r"(GetTickCount()), "r"(one) : "cc");
    ExitProcess(static_cast<UINT>(odd));
}
