// Decimal numbers as the registry keeps them: digits in a text, leading
// zeros allowed, of any length (a build or version number is compared as
// text, so no number is too long).
#pragma once

#include <cstdint>
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

// The most digits a 32-bit count has (4294967295).
inline constexpr int kMaxDwordDigits = 10;

// Writes `number` in decimal, without leading zeros, at `out` (room for
// kMaxDwordDigits); the count of digits written. No printf: the programs
// import no formatting function of the C runtime (tests/pe/allowed_imports.txt).
inline int Write(std::uint32_t number, char* out)
{
    char reversed[kMaxDwordDigits];
    int count = 0;
    do {
        reversed[count++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    for (int i = 0; i < count; ++i)
        out[i] = reversed[count - 1 - i];
    return count;
}

} // namespace decimal
