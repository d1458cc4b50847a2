#include "link/CLineAssembler.h"

#include <utility>

namespace mirelight {

std::size_t CLineAssembler::Feed(std::string_view bytes)
{
    std::size_t used = 0;
    while (used < bytes.size() && !m_complete) {
        m_szLine.push_back(bytes[used++]);
        if (!IsLineFinished())
            continue;
        if (IsLineDeliverable())
            m_complete = true;
        else
            m_szLine.clear();
    }
    return used;
}

std::string CLineAssembler::TakeLine()
{
    m_complete = false;
    return std::exchange(m_szLine, std::string());
}

bool CLineAssembler::IsLineFinished() const
{
    return m_szLine.back() == '\n' || m_szLine.size() == kMaxLineLength;
}

bool CLineAssembler::IsLineDeliverable() const
{
    return static_cast<unsigned char>(m_szLine.front()) >= 32;
}

} // namespace mirelight
