#include "rtfreader.h"

#include "common/hexdigit.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace RTFReader {
namespace {

constexpr int DefaultCodePage = 1252;
constexpr int MaxFallbackSkip = 16; // \ucN beyond this is broken input, not a real fallback width
constexpr std::size_t MaxPendingBytes = 4096;

// Destinations whose content is not document text. Sorted for binary search.
constexpr auto SkippedDestinations = std::to_array<std::string_view>({
    "annotation",
    "atnauthor",
    "atndate",
    "atnid",
    "author",
    "bkmkend",
    "bkmkstart",
    "colorschememapping",
    "colortbl",
    "comment",
    "datastore",
    "doccomm",
    "filetbl",
    "fldinst",
    "fonttbl",
    "footer",
    "footerf",
    "footerl",
    "footerr",
    "footnote",
    "generator",
    "header",
    "headerf",
    "headerl",
    "headerr",
    "info",
    "keywords",
    "latentstyles",
    "listoverridetable",
    "listtable",
    "nonshppict",
    "objdata",
    "operator",
    "pgdsctbl",
    "pict",
    "private",
    "revtbl",
    "rsidtbl",
    "stylesheet",
    "tc",
    "themedata",
    "xe",
    "xmlnstbl",
});
static_assert(std::is_sorted(SkippedDestinations.begin(), SkippedDestinations.end()));

bool isSkippedDestination(std::string_view word)
{
    return std::binary_search(SkippedDestinations.begin(), SkippedDestinations.end(), word);
}

char16_t specialCharacter(std::string_view word)
{
    struct Entry {
        std::string_view word;
        char16_t character;
    };
    static constexpr Entry table[] = {
        {"bullet", u'\u2022'},    {"emdash", u'\u2014'},    {"endash", u'\u2013'}, {"emspace", u'\u2003'},
        {"enspace", u'\u2002'},   {"qmspace", u'\u2005'},   {"lquote", u'\u2018'}, {"rquote", u'\u2019'},
        {"ldblquote", u'\u201C'}, {"rdblquote", u'\u201D'}, {"par", u'\n'},        {"line", u'\n'},
        {"sect", u'\n'},          {"page", u'\n'},          {"row", u'\n'},        {"tab", u'\t'},
        {"cell", u'\t'},
    };
    for (const Entry &entry : table) {
        if (entry.word == word)
            return entry.character;
    }
    return 0;
}

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct GroupState {
    int unicodeSkip = 1;
    bool skipped = false;
};

using Converter = std::unique_ptr<UConverter, decltype(&ucnv_close)>;

Converter openCodePage(int codePage)
{
    // ICU knows the Windows code pages as "windows-N" or "cpN"; 10000 is Mac Roman.
    std::vector<std::string> names;
    if (codePage == 10000)
        names.emplace_back("macintosh");
    names.push_back("windows-" + std::to_string(codePage));
    names.push_back("cp" + std::to_string(codePage));
    names.emplace_back("windows-1252");
    for (const std::string &name : names) {
        UErrorCode status = U_ZERO_ERROR;
        Converter converter(ucnv_open(name.c_str(), &status), &ucnv_close);
        if (U_SUCCESS(status) && converter)
            return converter;
    }
    return Converter(nullptr, &ucnv_close);
}

class Parser final
{
public:
    Parser(const QByteArray &rtf, qsizetype maxLength)
        : m_in(rtf.constData())
        , m_size(rtf.size())
        , m_maxLength(maxLength)
    {
    }

    QString run(qsizetype start)
    {
        m_pos = start;
        while (m_pos < m_size && m_out.size() < m_maxLength) {
            const char c = m_in[m_pos];
            if (c == '{') {
                ++m_pos;
                openGroup();
            } else if (c == '}') {
                ++m_pos;
                if (!closeGroup())
                    break; // the document's outermost group ended
            } else if (c == '\\') {
                ++m_pos;
                controlSequence();
            } else {
                ++m_pos;
                if (c == '\r' || c == '\n')
                    continue; // raw line breaks only wrap the source
                if (consumeFallback())
                    continue;
                if (uchar(c) >= 0x80)
                    appendByte(c);
                else if (uchar(c) >= 0x20 || c == '\t')
                    appendUnit(char16_t(c));
            }
        }
        flushBytes();
        m_out.truncate(std::min(m_out.size(), m_maxLength));
        return m_out;
    }

private:
    void openGroup()
    {
        flushBytes();
        m_fallbackSkip = 0;
        if (m_stack.size() >= std::size_t(MaxTrackedDepth)) {
            ++m_untrackedDepth;
            return;
        }
        m_stack.push_back(m_state);
    }

    // False when the outermost group closed.
    bool closeGroup()
    {
        flushBytes();
        m_fallbackSkip = 0;
        if (m_untrackedDepth > 0) {
            --m_untrackedDepth;
            return true;
        }
        if (m_stack.empty())
            return false;
        m_state = m_stack.back();
        m_stack.pop_back();
        return !m_stack.empty();
    }

    // A character after \uN that stands in for readers without Unicode support.
    bool consumeFallback()
    {
        if (m_fallbackSkip == 0)
            return false;
        --m_fallbackSkip;
        return true;
    }

    void controlSequence()
    {
        if (m_pos >= m_size)
            return;
        const char c = m_in[m_pos];
        if (isAsciiLetter(c)) {
            controlWord();
            return;
        }
        ++m_pos;
        if (c == '\'') {
            int value = 0;
            int digits = 0;
            for (; digits < 2 && m_pos < m_size && hexDigitValue(m_in[m_pos]) >= 0; ++digits)
                value = value * 16 + hexDigitValue(m_in[m_pos++]);
            if (digits > 0 && !consumeFallback())
                appendByte(char(value));
            return;
        }
        if (consumeFallback())
            return;
        switch (c) {
        case '*':
            m_state.skipped = true;
            break;
        case '\\':
        case '{':
        case '}':
            appendUnit(char16_t(c));
            break;
        case '~':
            appendUnit(u'\u00A0');
            break;
        case '_':
            appendUnit(u'\u2011');
            break;
        case '\n':
        case '\r':
            appendUnit(u'\n');
            break;
        default: // \- optional hyphen, \| \: index marks, unknown symbols
            break;
        }
    }

    void controlWord()
    {
        const qsizetype wordStart = m_pos;
        while (m_pos < m_size && isAsciiLetter(m_in[m_pos]))
            ++m_pos;
        const std::string_view word(m_in + wordStart, std::size_t(std::min<qsizetype>(m_pos - wordStart, 32)));

        bool hasParameter = false;
        qint64 parameter = 0;
        const bool negative = m_pos + 1 < m_size && m_in[m_pos] == '-' && isDigit(m_in[m_pos + 1]);
        if (negative)
            ++m_pos;
        while (m_pos < m_size && isDigit(m_in[m_pos])) {
            hasParameter = true;
            if (parameter < 100000000000LL) // longer numbers are nonsense; keep consuming them
                parameter = parameter * 10 + (m_in[m_pos] - '0');
            ++m_pos;
        }
        if (negative)
            parameter = -parameter;
        if (m_pos < m_size && m_in[m_pos] == ' ')
            ++m_pos;

        if (word == "bin") { // raw binary data follows and may contain any byte
            if (hasParameter && parameter > 0)
                m_pos += qsizetype(std::min<qint64>(parameter, m_size - m_pos));
            consumeFallback();
            return;
        }
        if (consumeFallback())
            return;
        if (m_state.skipped)
            return;

        if (word == "u" && hasParameter) {
            appendUnit(char16_t(parameter < 0 ? parameter + 65536 : parameter));
            m_fallbackSkip = m_state.unicodeSkip;
        } else if (word == "uc" && hasParameter) {
            m_state.unicodeSkip = int(std::clamp<qint64>(parameter, 0, MaxFallbackSkip));
        } else if (word == "ansicpg" && hasParameter) {
            setCodePage(int(std::clamp<qint64>(parameter, 0, 65535)));
        } else if (word == "mac") {
            setCodePage(10000);
        } else if (word == "pc") {
            setCodePage(437);
        } else if (word == "pca") {
            setCodePage(850);
        } else if (isSkippedDestination(word)) {
            m_state.skipped = true;
        } else if (const char16_t special = specialCharacter(word)) {
            appendUnit(special);
        }
    }

    void setCodePage(int codePage)
    {
        flushBytes();
        if (codePage != m_codePage)
            m_converter.reset();
        m_codePage = codePage;
    }

    void appendUnit(char16_t unit)
    {
        if (m_state.skipped)
            return;
        flushBytes();
        m_out.append(QChar(unit));
    }

    void appendByte(char byte)
    {
        if (m_state.skipped)
            return;
        m_pendingBytes.push_back(byte);
        if (m_pendingBytes.size() >= MaxPendingBytes)
            flushBytes();
    }

    // Consecutive bytes are decoded together: in a multi-byte code page two \'hh form one character.
    void flushBytes()
    {
        if (m_pendingBytes.empty())
            return;
        if (!m_converter)
            m_converter = openCodePage(m_codePage);
        if (m_converter) {
            std::vector<UChar> decoded(m_pendingBytes.size() * 2 + 4);
            UErrorCode status = U_ZERO_ERROR;
            const int32_t length = ucnv_toUChars(m_converter.get(), decoded.data(), int32_t(decoded.size()),
                                                 m_pendingBytes.data(), int32_t(m_pendingBytes.size()), &status);
            if (U_SUCCESS(status))
                m_out.append(reinterpret_cast<const QChar *>(decoded.data()), length);
        }
        m_pendingBytes.clear();
    }

    const char *m_in;
    const qsizetype m_size;
    const qsizetype m_maxLength;
    qsizetype m_pos = 0;
    QString m_out;
    std::vector<GroupState> m_stack;
    int m_untrackedDepth = 0;
    GroupState m_state;
    int m_fallbackSkip = 0;
    int m_codePage = DefaultCodePage;
    Converter m_converter{nullptr, &ucnv_close};
    std::vector<char> m_pendingBytes;
};

} // namespace

QString plainText(const QByteArray &rtf, qsizetype maxLength)
{
    qsizetype start = 0;
    while (start < rtf.size() &&
           (rtf.at(start) == ' ' || rtf.at(start) == '\t' || rtf.at(start) == '\r' || rtf.at(start) == '\n'))
        ++start;
    if (!QByteArrayView(rtf).sliced(start).startsWith("{\\rtf"))
        return {};
    return Parser(rtf, maxLength).run(start);
}

} // namespace RTFReader
