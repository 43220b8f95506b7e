// Decimal numbers as the registry keeps them: digits in a text, leading
// zeros allowed, of any length (a build or version number is compared as
// text, so no number is too long).
#pragma once

#include <cstring>

namespace decimal {

// Whether [first, last) is one or more digits and nothing else.
inline bool IsNumber(const char* first, const char* last)
{
    if (first == last)
        return false;
    for (; first != last; ++first) {
        if (*first < '0' || *first > '9')
            return false;
    }
    return true;
}

// Whether the number [first, last) (IsNumber) is at least `bound` (digits,
// no leading zero).
inline bool AtLeast(const char* first, const char* last, const char* bound)
{
    while (last - first > 1 && *first == '0')
        ++first;   // leading zeros
    const auto length = static_cast<std::size_t>(last - first);
    const std::size_t boundLength = std::strlen(bound);
    return length != boundLength ? length > boundLength : std::strncmp(first, bound, length) >= 0;
}

} // namespace decimal
