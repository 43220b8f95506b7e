// The registry fixture over the in-memory registry.
#include "tests/support/registry_fixture.h"

#include "memreg/mem_registry.h"

#include <stdexcept>

void SetReaderValues(const std::vector<RegValue>& values, const std::vector<RegValue>&)
{
    memreg::Reset();
    memreg::CreateKey(KeyPath(RegKey::CurrentVersion));
    memreg::CreateKey(KeyPath(RegKey::ProductOptions));
    for (const RegValue& v : values) {
        if (v.utf16)
            throw std::logic_error(v.name + ": the in-memory registry has no Unicode side");
        memreg::SetValue(KeyPath(v.key), v.name, static_cast<DWORD>(v.type), v.data);
    }
}

bool CanRemoveKeys()
{
    return true;
}

void RemoveKey(RegKey key)
{
    memreg::DeleteKey(KeyPath(key));
}
