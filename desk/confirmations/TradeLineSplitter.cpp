#include "TradeLineSplitter.h"

#include <algorithm>
#include <cstring>

TradeLineSplitter::TradeLineSplitter(char first, char second)
    : m_first(first)
    , m_second(second)
{
    m_starts.reserve(64);
}

int TradeLineSplitter::split(QByteArrayView line)
{
    m_line = line;
    m_starts.clear();
    const char* data = line.data();
    const char* end = data + line.size();
    char delimiter = m_first;
    if (std::count(data, end, m_first) + 1 < kMinimumFields) {
        delimiter = m_second;
        if (std::count(data, end, m_second) + 1 < kMinimumFields)
            return 0;
    }
    m_starts.push_back(0);
    const char* at = data;
    while (const void* found = std::memchr(at, delimiter, size_t(end - at))) {
        at = static_cast<const char*>(found) + 1;
        m_starts.push_back(at - data);
    }
    m_starts.push_back(line.size() + 1);
    return fieldCount();
}
