#include "metadatamap.h"

#include <QRegularExpression>

#include <algorithm>

MetadataMap::MetadataMap(std::initializer_list<Entry> entries)
{
    for (const Entry &entry : entries)
        set(entry.first, entry.second);
}

void MetadataMap::set(const QString &key, const QString &value)
{
    for (Entry &entry : m_entries) {
        if (entry.first == key) {
            entry.second = value;
            return;
        }
    }
    m_entries.append({key, value});
}

void MetadataMap::setMeaningful(const QString &key, const QString &value)
{
    if (!isPlaceholder(value))
        set(key, value.trimmed());
}

bool MetadataMap::isPlaceholder(const QString &value)
{
    const QString text = value.trimmed();
    // "-", "--", "?", "…": punctuation alone carries nothing.
    if (std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.isPunct() || c.isSpace(); }))
        return true;
    static const QStringList words{
        QStringLiteral("0"),    QStringLiteral("unknown"),   QStringLiteral("n/a"), QStringLiteral("none"),
        QStringLiteral("null"), QStringLiteral("undefined"), QStringLiteral("nil"), QStringLiteral("unbekannt"),
    };
    return words.contains(text, Qt::CaseInsensitive);
}

bool MetadataMap::isToolNote(const QString &value)
{
    // A verb of making, then the program's name (a few words and a version at most).
    static const QRegularExpression note(
        QStringLiteral("^(?:(?:created|made|edited|generated|processed|optimi[sz]ed|converted|exported|saved|"
                       "encoded|ripped|written|file written|erstellt|bearbeitet|erzeugt)\\s+(?:with|by|using|in|"
                       "mit|von)\\s+\\S[^.!?]{0,48}|creator:\\s*gd-jpeg.*|lead technologies.*|"
                       "intel\\(r\\) jpeg library.*|adobe imageready|picasa|lavf[0-9.]*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return note.match(value.simplified()).hasMatch();
}

void MetadataMap::remove(const QString &key)
{
    m_entries.removeIf([&](const Entry &entry) { return entry.first == key; });
}

bool MetadataMap::contains(const QString &key) const
{
    return std::any_of(m_entries.cbegin(), m_entries.cend(), [&](const Entry &entry) { return entry.first == key; });
}

QString MetadataMap::value(const QString &key) const
{
    for (const Entry &entry : m_entries) {
        if (entry.first == key)
            return entry.second;
    }
    return {};
}

QStringList formatMetadata(const MetadataMap &metadata)
{
    QStringList lines;
    for (const MetadataMap::Entry &entry : metadata.entries()) {
        if (entry.first != MetadataMap::SourceKey)
            lines << entry.first + QStringLiteral(": ") + entry.second;
    }
    return lines;
}
