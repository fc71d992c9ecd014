#include "metadatamap.h"

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
