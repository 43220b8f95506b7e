// A program linked without any of the protections check_pe.py asks for (see
// CMakeLists.txt), so that the checker is seen to reject what it must.
#include <windows.h>

#include <iostream>
#include <string>

// A section both writable and executable, as self-modifying code would need.
asm(".section .wx, \"wx\"\n.byte 0xC3\n.text");

int main(int argc, char**)
{
    // GetTickCount64: listed in the import table, for Vista on.
    std::cout << std::string(static_cast<std::size_t>(argc), '*') << GetTickCount64() % 2 << '\n';
}
