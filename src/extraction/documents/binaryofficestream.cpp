#include "binaryofficestream.h"

#include <array>

namespace BinaryOffice {
namespace {

constexpr std::array<char16_t, 32> Windows1252High{0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                   0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

char16_t fromWindows1252(char byte)
{
    const auto unit = uchar(byte);
    return unit >= 0x80 && unit < 0xA0 ? Windows1252High[unit - 0x80] : char16_t(unit);
}

void TextSink::add(char16_t unit)
{
    if (unit < 0x20 || (unit >= 0x7F && unit < 0xA0) || QChar::isSpace(unit)) {
        separate();
        return;
    }
    if (isFull())
        return;
    if (m_space)
        m_text += u' ';
    m_space = false;
    m_text += QChar(unit);
}

QString TextSink::take()
{
    m_text.truncate(std::min(m_text.size(), m_maxLength));
    return std::move(m_text);
}

} // namespace BinaryOffice
