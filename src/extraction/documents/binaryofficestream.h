#pragma once

// What the readers of the binary Office formats share: bounds-checked reads from a stream and the
// text sink that collapses white space. Only the readers include it.

#include <QByteArrayView>
#include <QString>
#include <QtEndian>

#include <optional>

namespace BinaryOffice {

// A little-endian integer at `at`, nullopt when it does not lie wholly inside `bytes`.
template <typename T> std::optional<T> number(QByteArrayView bytes, qint64 at)
{
    if (at < 0 || at > bytes.size() - qint64(sizeof(T)))
        return std::nullopt;
    return qFromLittleEndian<T>(bytes.data() + at);
}

// Bytes from `at` on, at most `length` of them; empty when `at` lies outside.
inline QByteArrayView slice(QByteArrayView bytes, qint64 at, qint64 length)
{
    if (at < 0 || at >= bytes.size() || length <= 0)
        return {};
    return bytes.sliced(at, std::min(length, bytes.size() - at));
}

// The UTF-16 unit at `at`; the caller has checked that two bytes are there.
inline char16_t utf16At(QByteArrayView bytes, qint64 at)
{
    return qFromLittleEndian<quint16>(bytes.data() + at);
}

// Windows-1252 at 0x80-0x9F; the other bytes are Latin-1. Its five holes stay controls.
[[nodiscard]] char16_t fromWindows1252(char byte);

class TextSink final
{
public:
    explicit TextSink(qsizetype maxLength)
        : m_maxLength(maxLength)
    {
    }

    [[nodiscard]] bool isFull() const { return m_text.size() >= m_maxLength; }

    // White space and control characters (C0 and C1) only separate: a run of them is one space.
    void add(char16_t unit);

    void separate() { m_space = !m_text.isEmpty(); }

    [[nodiscard]] QString take();

private:
    const qsizetype m_maxLength;
    QString m_text;
    bool m_space = false;
};

} // namespace BinaryOffice
