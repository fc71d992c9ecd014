#include "genericprocessor.h"

#include "common/strictutf8.h"
#include "common/unicodetext.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStringDecoder>

namespace {

bool isTextExtension(const QString &extension)
{
    static const QSet<QString> text{QStringLiteral("txt"),  QStringLiteral("md"),  QStringLiteral("csv"),
                                    QStringLiteral("json"), QStringLiteral("xml"), QStringLiteral("html"),
                                    QStringLiteral("rtf"),  QStringLiteral("log")};
    return text.contains(extension);
}

QString typeDescription(const QFileInfo &info)
{
    if (info.isSymLink())
        return QStringLiteral("Symbolischer Link");
    if (info.isDir())
        return QStringLiteral("Ordner");
    if (info.isFile())
        return QStringLiteral("Reguläre Datei");
    return QStringLiteral("Sonderdatei");
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

std::optional<QString> GenericProcessor::readTextPrefix(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.read(MaxTextBytes);
    if (bytes.size() == MaxTextBytes)
        bytes.truncate(completeUtf8Length(bytes));
    return strictUtf8(bytes, LeadingBom::skip);
}

MetadataMap GenericProcessor::metadataOf(const QString &path)
{
    MetadataMap metadata;
    const QFileInfo info(path);
    if (info.exists()) {
        metadata.set(QStringLiteral("size"), QLocale().formattedDataSize(info.size(), 1, QLocale::DataSizeSIFormat));
        metadata.set(QStringLiteral("type"), typeDescription(info));
    }
    return metadata;
}

ExtractionResult GenericProcessor::describe(const QString &path)
{
    return FileContext::make(path, QString(), metadataOf(path));
}

ExtractionResult GenericProcessor::extract(const QString &path) const
{
    QString text;
    if (isTextExtension(lowerExtension(path)))
        text = UnicodeText::leftGraphemes(readTextPrefix(path).value_or(QString()), TextLimits::Document);
    return FileContext::make(path, text, metadataOf(path));
}
