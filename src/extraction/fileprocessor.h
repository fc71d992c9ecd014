#pragma once

#include "extraction/filecontext.h"
#include "extraction/sourcefile.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <expected>
#include <initializer_list>

/** Why a file's content could not be extracted; the message is German and shown to the user. */
struct ExtractionError {
    QString message;
};

using ExtractionResult = std::expected<FileContext, ExtractionError>;

/**
 * Turns one kind of file into a FileContext. Processors are stateless and shared; they read the
 * file only through its SourceFile, which is all a sandboxed helper has. They run in helper
 * processes (and in-process for tests, fuzzers and benchmarks), touch no GUI-thread object, and
 * give empty text for unreadable input; only a processor that says so fails.
 */
class FileProcessor
{
public:
    virtual ~FileProcessor() = default;

    [[nodiscard]] virtual bool canProcess(const QString &path) const = 0;
    /** The file that holds the content of `path`: the path itself, but for bundles. */
    [[nodiscard]] virtual QString contentPath(const QString &path) const { return path; }
    [[nodiscard]] virtual ExtractionResult extractFrom(const SourceFile &file) const = 0;

    /**
     * Opens the content of `path` and extracts it in this process; what is not a regular file
     * outside the system areas is described, never read.
     */
    [[nodiscard]] ExtractionResult extract(const QString &path) const;
};

/** A processor chosen by a fixed set of lower-case extensions. */
class ExtensionProcessor : public FileProcessor
{
public:
    explicit ExtensionProcessor(std::initializer_list<QString> extensions);
    explicit ExtensionProcessor(const QStringList &extensions);

    [[nodiscard]] bool canProcess(const QString &path) const override;
    [[nodiscard]] const QSet<QString> &extensions() const { return m_extensions; }

private:
    const QSet<QString> m_extensions;
};
