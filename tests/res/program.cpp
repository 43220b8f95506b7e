#include "tests/res/program.h"

#include "tests/support/child_process.h"

#include <memory>
#include <stdexcept>
#include <type_traits>

namespace osprel_test {
namespace {

struct ModuleFree {
  void operator()(HMODULE module) const { FreeLibrary(module); }
};
using Module = std::unique_ptr<std::remove_pointer_t<HMODULE>, ModuleFree>;

}  // namespace

std::string ProgramPath() { return WindowsPath(OSPREL_PROGRAM_PATH); }

HMODULE Program() {
  static const Module program(LoadLibraryExA(
      ProgramPath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!program) throw std::runtime_error("cannot load " + ProgramPath());
  return program.get();
}

std::vector<std::uint8_t> ResourceBytes(LPCSTR name, LPCSTR type) {
  HRSRC found = FindResourceA(Program(), name, type);
  if (!found) return {};
  auto data = static_cast<const std::uint8_t*>(LockResource(LoadResource(Program(), found)));
  if (!data) return {};
  return {data, data + SizeofResource(Program(), found)};
}

}  // namespace osprel_test
