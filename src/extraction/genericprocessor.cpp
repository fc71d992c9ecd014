#include "genericprocessor.h"

#include "common/strictutf8.h"
#include "common/unicodetext.h"
#include "extraction/filedescription.h"

#include <QStringDecoder>

namespace {

bool isTextExtension(const QString &extension)
{
    static const QSet<QString> text{QStringLiteral("txt"),  QStringLiteral("md"),  QStringLiteral("csv"),
                                    QStringLiteral("json"), QStringLiteral("xml"), QStringLiteral("html"),
                                    QStringLiteral("rtf"),  QStringLiteral("log")};
    return text.contains(extension);
}

// Drops an incomplete UTF-8 sequence at the end of a prefix cut at an arbitrary byte.
qsizetype completeUtf8Length(const QByteArray &bytes)
{
    qsizetype end = bytes.size();
    qsizetype i = end;
    int continuation = 0;
    while (i > 0 && continuation < 4 && (uchar(bytes.at(i - 1)) & 0xC0) == 0x80) {
        --i;
        ++continuation;
    }
    if (i == 0)
        return end;
    const uchar lead = uchar(bytes.at(i - 1));
    const int needed = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    return needed > continuation ? i - 1 : end;
}

} // namespace

std::optional<QString> GenericProcessor::readTextPrefix(const SourceFile &file)
{
    std::optional<QByteArray> read = file.read(MaxTextBytes);
    if (!read)
        return std::nullopt;
    QByteArray &bytes = *read;
    if (bytes.size() == MaxTextBytes)
        bytes.truncate(completeUtf8Length(bytes));
    return strictUtf8(bytes, LeadingBom::skip);
}

ExtractionResult GenericProcessor::extractFrom(const SourceFile &file) const
{
    QString text;
    if (isTextExtension(lowerExtension(file.path())))
        text = UnicodeText::leftGraphemes(readTextPrefix(file).value_or(QString()), TextLimits::Document);
    return FileContext::make(file, text, FileDescription::of(file));
}
