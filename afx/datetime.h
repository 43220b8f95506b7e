// COleDateTime: a moment as the local clock shows it, made from a count of
// seconds since 1970-01-01 00:00:00 UTC and formatted strftime-style.
// Local time comes from the system's time-zone rules: on Windows the
// kernel's time-zone functions (the C runtime's localtime ignores TZ under
// Wine), elsewhere localtime_r.
#pragma once

#include "afx/cstring.h"

#include <cstdint>
#include <ctime>

class COleDateTime {
public:
    enum DateTimeStatus { valid = 0, invalid = 1 };

    // Converts to local time; the status is `invalid` when the system cannot.
    explicit COleDateTime(std::int64_t secondsSince1970);

    DateTimeStatus GetStatus() const { return m_status; }

    // strftime conventions in the C locale (English month and day names).
    // An invalid date formats as an empty text.
    CString Format(const char* pattern) const;

private:
    std::tm m_local{};
    DateTimeStatus m_status = invalid;
};

namespace afx {
// The platform half of COleDateTime: fills `local` (every std::tm field but
// tm_isdst and tm_gmtoff) and says whether the conversion succeeded.
bool ToLocalTime(std::int64_t secondsSince1970, std::tm& local);
}
