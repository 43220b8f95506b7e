// Owners and organisations in the template font's own script and in others,
// as a Unicode program stores them, for the tests that start Osprel and the
// tests that run its dialog inside: what the owner's row shows, and which of
// the two values is drawn in the TrueType font for other scripts. The room is
// 255 bytes of UTF-8 with the terminating zero: 127 Greek letters of two
// bytes, 84 CJK characters of three.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct NamesCase {
    const char* name;
    std::wstring owner;
    std::wstring organisation;
    bool ownerTooLong;        // the owner's row shows its fallback text
    DWORD ownerEllipsis;      // at 100 %
    bool ownerInAnyScriptFont;
    bool organisationInAnyScriptFont;
};

inline const std::vector<NamesCase> kNamesCases = {
    {"Western European letters", L"Pr\u00FCferin \u00C6r\u00F8 Fa\u00E7ade",
     L"Gr\u00F6\u00DFen & Ma\u00DFe Pr\u00FCfstelle", false, 0, false, false},
    {"a CJK owner, a Greek organisation", L"Pr\u00FCferin \u6D4B\u8BD5\u6240\u6709\u8005",
     L"\u039F\u03C1\u03B3\u03B1\u03BD\u03B9\u03C3\u03BC\u03CC\u03C2", false, 0, true, true},
    {"CJK", L"\u6D4B\u8BD5\u6240\u6709\u8005", L"\u30C6\u30B9\u30C8\u7D44\u7E54", false, 0, true, true},
    {"Greek", L"\u0394\u03BF\u03BA\u03B9\u03BC\u03B1\u03C3\u03C4\u03AE\u03C2",
     L"\u039F\u03C1\u03B3\u03B1\u03BD\u03B9\u03C3\u03BC\u03CC\u03C2 \u0394\u03BF\u03BA\u03B9\u03BC\u03CE\u03BD", false,
     0, true, true},
    {"Cyrillic", L"\u0422\u0435\u0441\u0442\u043E\u0432\u044B\u0439 \u0412\u043B\u0430\u0434\u0435\u043B\u0435\u0446",
     L"\u0422\u0435\u0441\u0442\u043E\u0432\u0430\u044F \u0424\u0438\u0440\u043C\u0430", false, 0, true, true},
    {"a Cyrillic owner", L"\u0422\u0435\u0441\u0442\u043E\u0432\u044B\u0439", L"Test", false, 0, true, false},
    {"a letter 1252 has only a look-alike of", L"Test", L"\u0100bc Test", false, 0, false, true},
    {"beyond the Basic Multilingual Plane", L"\U0001D504\U0001D505 Test", L"Test", false, 0, true, false},
    {"127 Greek letters: 255 bytes", std::wstring(127, L'\u03B1'), L"Test", false, SS_ENDELLIPSIS, true, false},
    {"128 Greek letters: 257 bytes", std::wstring(128, L'\u03B1'), L"Test", true, 0, false, false},
    // 3 px each as the template font's bars would have left room to spare;
    // drawn in the TrueType font, 11 px each, they are cut.
    {"16 CJK characters: too long as drawn", std::wstring(16, L'\u6D4B'), L"Test", false, SS_ENDELLIPSIS, true,
     false},
    {"84 CJK characters: 253 bytes", std::wstring(84, L'\u6D4B'), L"Test", false, SS_ENDELLIPSIS, true, false},
    {"85 CJK characters: 256 bytes", std::wstring(85, L'\u6D4B'), L"Test", true, 0, false, false},
};
