#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

struct stat;

/**
 * The file a processor reads: its name as handed in (for dispatch and the context; never
 * opened by a processor) and, when it is readable content, an open read-only descriptor. A
 * sandboxed helper gets only the descriptor, so processors read through this and nothing else.
 */
class SourceFile final
{
public:
    /** What is at a path, as far as reading its content goes. */
    enum class Access {
        open,       ///< a regular file outside the system areas, opened for reading
        unreadable, ///< nothing there, no permission, or a folder: processors see no content
        notContent, ///< a link, FIFO, device, socket or system file: described, never opened for reading
    };

    /** Nothing open: processors see an unreadable file. */
    explicit SourceFile(QString path, Access access = Access::unreadable);
    /** Takes ownership of `descriptor`, an open file read from position 0 onwards. */
    SourceFile(QString path, int descriptor);
    ~SourceFile();
    SourceFile(SourceFile &&other) noexcept;
    SourceFile &operator=(SourceFile &&other) noexcept;
    SourceFile(const SourceFile &) = delete;
    SourceFile &operator=(const SourceFile &) = delete;

    /**
     * Opens `contentPath` (the file that holds the content of `path`; the same path but for
     * bundles) without following a link and without waiting on a FIFO, and keeps the descriptor
     * only for a regular file outside the system areas.
     */
    [[nodiscard]] static SourceFile open(const QString &path, const QString &contentPath);

    [[nodiscard]] const QString &path() const { return m_path; }
    [[nodiscard]] Access access() const { return m_access; }
    [[nodiscard]] bool isOpen() const { return m_descriptor >= 0; }
    [[nodiscard]] int descriptor() const { return m_descriptor; }
    /** Gives the descriptor up to the caller; the file then reads as unreadable. */
    [[nodiscard]] int release();

    /** The file's attributes through the descriptor; false when nothing is open. */
    bool status(struct stat &info) const;
    /** Size in bytes; 0 when nothing is open. */
    [[nodiscard]] qint64 size() const;
    /** The first `maxBytes` bytes (all of a shorter file); nullopt when nothing is open or reading fails. */
    [[nodiscard]] std::optional<QByteArray> read(qint64 maxBytes) const;
    /**
     * The whole file, mapped read-only while this object lives (no copy: decoders take what they
     * need); empty when nothing is open, the file is empty or cannot be mapped.
     */
    [[nodiscard]] QByteArray bytes() const;

private:
    void close();

    QString m_path;
    Access m_access = Access::unreadable;
    int m_descriptor = -1;
    mutable void *m_mapping = nullptr;
    mutable qint64 m_mappedSize = 0;
};
