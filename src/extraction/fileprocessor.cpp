#include "fileprocessor.h"

#include "extraction/contentextraction.h"
#include "extraction/filedescription.h"

ExtensionProcessor::ExtensionProcessor(std::initializer_list<QString> extensions)
    : m_extensions(extensions)
{
}

ExtensionProcessor::ExtensionProcessor(const QStringList &extensions)
    : m_extensions(extensions.cbegin(), extensions.cend())
{
}

bool ExtensionProcessor::canProcess(const QString &path) const
{
    return m_extensions.contains(lowerExtension(path));
}

ExtractionResult FileProcessor::extract(const QString &path) const
{
    const SourceFile file = SourceFile::open(path, ContentExtraction::contentPath(path));
    return file.access() == SourceFile::Access::notContent ? FileDescription::describe(path) : extractFrom(file);
}
