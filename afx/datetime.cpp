// COleDateTime, the part common to every platform.
#include "afx/datetime.h"

COleDateTime::COleDateTime(std::int64_t secondsSince1970)
{
    if (afx::ToLocalTime(secondsSince1970, m_local))
        m_status = valid;
}

CString COleDateTime::Format(const char* pattern) const
{
    if (m_status != valid)
        return CString();
    char text[256];
    const size_t length = std::strftime(text, sizeof text, pattern, &m_local);
    return CString(text, static_cast<int>(length));
}
