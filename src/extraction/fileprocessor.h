#pragma once

#include "extraction/extractionresult.h"
#include "extraction/sourcefile.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <initializer_list>

/**
 * Turns one kind of file into a FileContext. Processors are stateless and shared; they read the
 * file only through its SourceFile, which is all a sandboxed helper has. They run in helper
 * processes (and in-process for tests, fuzzers and benchmarks), touch no GUI-thread object, and
 * give empty text for unreadable input; only a processor that says so fails. They live in the
 * parser library, which the app, the command line and the REST API do not link.
 */
class FileProcessor
{
public:
    virtual ~FileProcessor() = default;

    [[nodiscard]] virtual bool canProcess(const QString &path) const = 0;
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
