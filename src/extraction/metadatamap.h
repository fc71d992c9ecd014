#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

/**
 * Metadata of one file: text keys to text values, in insertion order. Setting an existing key
 * replaces its value in place, so the order (which the prompt and the media summary show) is
 * that of each key's first appearance and is the same on every run.
 */
class MetadataMap final
{
public:
    using Entry = QPair<QString, QString>;

    /**
     * What produced the text ("pdfkit", "ocr", "avfoundation", …): the app's own record for
     * `POST /v1/analyze` and its checks, never shown in the window or sent to a model.
     */
    static inline const QString SourceKey = QStringLiteral("source");

    MetadataMap() = default;
    MetadataMap(std::initializer_list<Entry> entries);

    void set(const QString &key, const QString &value);
    /** Sets `value`, trimmed, unless it is a placeholder; an existing entry then stays as it is. */
    void setMeaningful(const QString &key, const QString &value);
    /**
     * Whether `value` says nothing: blank, dashes, "0", "unknown" and the like, which writers
     * leave in unset fields. Sent to a model, such values end up in names.
     */
    [[nodiscard]] static bool isPlaceholder(const QString &value);
    /**
     * Whether `value` is what a program writes about itself where a caption or comment belongs
     * ("Created with GIMP", "Encoded by LAME 3.100", "CREATOR: gd-jpeg v1.0 …"): it describes
     * the tool, never the content.
     */
    [[nodiscard]] static bool isToolNote(const QString &value);
    void remove(const QString &key);
    [[nodiscard]] bool contains(const QString &key) const;
    /** The value, or an empty string when the key is absent. */
    [[nodiscard]] QString value(const QString &key) const;
    [[nodiscard]] const QList<Entry> &entries() const { return m_entries; }
    [[nodiscard]] qsizetype size() const { return m_entries.size(); }
    [[nodiscard]] bool isEmpty() const { return m_entries.isEmpty(); }

    friend bool operator==(const MetadataMap &, const MetadataMap &) = default;

private:
    QList<Entry> m_entries;
};

/**
 * The entries people and models see, one line each, "key: value", in the map's order; the source
 * entry is left out. No such entry gives an empty list.
 */
[[nodiscard]] QStringList formatMetadata(const MetadataMap &metadata);
