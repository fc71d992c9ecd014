#pragma once

#include <QList>
#include <QString>

class FileProcessor;

/**
 * The fixed table that picks a processor by extension; the first match wins and the generic
 * processor, last, takes every file. Built once, then only read (safe from any thread).
 */
namespace ProcessorTable {

[[nodiscard]] const QList<const FileProcessor *> &processors();
[[nodiscard]] const FileProcessor &processorFor(const QString &path);

} // namespace ProcessorTable
