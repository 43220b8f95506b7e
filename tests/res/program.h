// The built program, opened as a data file so that its resources can be read
// back exactly as the loader sees them, without running it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace osprel_test {

// The program's path as Windows spells it.
std::string ProgramPath();

// The program, loaded once for the whole test run.
HMODULE Program();

// The bytes of one resource of the program; empty when it has none.
std::vector<std::uint8_t> ResourceBytes(LPCSTR name, LPCSTR type);

}  // namespace osprel_test
