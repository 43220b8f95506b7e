// Puts a function of the test's own in place of one the executable imports
// from a system DLL, for the life of the object. The program's code is linked
// into the test executable, so its calls to that function come here instead:
// the test sees what the program asked the system to do.
#pragma once

class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ~ImportPatch();
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;

    bool Applied() const { return m_slot != nullptr; }
    void* Original() const { return m_original; }

private:
    void** m_slot = nullptr;
    void* m_original = nullptr;
};
