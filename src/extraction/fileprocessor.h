#pragma once

#include "extraction/filecontext.h"

#include <QSet>
#include <QString>

#include <expected>
#include <initializer_list>

/** Why a file's content could not be extracted; the message is German and shown to the user. */
struct ExtractionError {
    QString message;
};

using ExtractionResult = std::expected<FileContext, ExtractionError>;

/**
 * Turns one kind of file into a FileContext. Processors are stateless and shared: `extract`
 * runs on extraction worker threads, several files at once, and touches no GUI-thread object.
 * Unreadable input gives empty text, never a crash; only a processor that says so fails.
 */
class FileProcessor
{
public:
    virtual ~FileProcessor() = default;

    [[nodiscard]] virtual bool canProcess(const QString &path) const = 0;
    [[nodiscard]] virtual ExtractionResult extract(const QString &path) const = 0;
};

/** A processor chosen by a fixed set of lower-case extensions. */
class ExtensionProcessor : public FileProcessor
{
public:
    explicit ExtensionProcessor(std::initializer_list<QString> extensions);

    [[nodiscard]] bool canProcess(const QString &path) const override;
    [[nodiscard]] const QSet<QString> &extensions() const { return m_extensions; }

private:
    const QSet<QString> m_extensions;
};
