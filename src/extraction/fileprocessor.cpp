#include "fileprocessor.h"

ExtensionProcessor::ExtensionProcessor(std::initializer_list<QString> extensions)
    : m_extensions(extensions)
{
}

bool ExtensionProcessor::canProcess(const QString &path) const
{
    return m_extensions.contains(lowerExtension(path));
}
