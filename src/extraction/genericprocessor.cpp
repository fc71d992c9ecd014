#include "genericprocessor.h"

#include "common/strictutf8.h"
#include "common/unicodetext.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>

#include <sys/stat.h>

namespace {

bool isTextExtension(const QString &extension)
{
    static const QSet<QString> text{QStringLiteral("txt"),  QStringLiteral("md"),  QStringLiteral("csv"),
                                    QStringLiteral("json"), QStringLiteral("xml"), QStringLiteral("html"),
                                    QStringLiteral("rtf"),  QStringLiteral("log")};
    return text.contains(extension);
}

QString typeDescription(mode_t mode)
{
    if (S_ISLNK(mode))
        return QStringLiteral("Symbolischer Link");
    if (S_ISDIR(mode))
        return QStringLiteral("Ordner");
    if (S_ISREG(mode))
        return QStringLiteral("Reguläre Datei");
    return QStringLiteral("Sonderdatei");
}

MetadataMap metadataOf(const struct stat &info)
{
    MetadataMap metadata;
    metadata.set(QStringLiteral("size"), QLocale().formattedDataSize(info.st_size, 1, QLocale::DataSizeSIFormat));
    metadata.set(QStringLiteral("type"), typeDescription(info.st_mode));
    return metadata;
}

// An open file through its descriptor; otherwise what is at its path.
MetadataMap metadataOf(const SourceFile &file)
{
    struct stat info = {};
    if (file.status(info) || ::lstat(QFile::encodeName(file.path()).constData(), &info) == 0)
        return metadataOf(info);
    return {};
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

ExtractionResult GenericProcessor::describe(const QString &path)
{
    return FileContext::make(path, QString(), metadataOf(SourceFile(path, SourceFile::Access::notContent)));
}

ExtractionResult GenericProcessor::extractFrom(const SourceFile &file) const
{
    QString text;
    if (isTextExtension(lowerExtension(file.path())))
        text = UnicodeText::leftGraphemes(readTextPrefix(file).value_or(QString()), TextLimits::Document);
    return FileContext::make(file, text, metadataOf(file));
}
