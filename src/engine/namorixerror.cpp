#include "namorixerror.h"
#include "common/stringtable.h"

NamorixError::NamorixError(Code code, QString message)
    : m_code(code)
    , m_message(std::move(message))
{
}

NamorixError NamorixError::providerNotConfigured(const QString &provider)
{
    return {Code::providerNotConfigured, StringTable::text("error.providerNotConfigured").arg(provider)};
}

NamorixError NamorixError::providerUnreachable(const QString &provider, const QString &detail)
{
    return {Code::providerUnreachable, StringTable::text("error.providerUnreachable").arg(provider, detail)};
}

NamorixError NamorixError::fileNotReadable(const QString &fileName)
{
    return {Code::fileNotReadable, StringTable::text("error.fileNotReadable").arg(fileName)};
}

NamorixError NamorixError::fileNotFound(const QString &fileName)
{
    return {Code::fileNotFound, StringTable::text("error.fileNotFound").arg(fileName)};
}

NamorixError NamorixError::fileNotWritable(const QString &fileName)
{
    return {Code::fileNotWritable, StringTable::text("error.fileNotWritable").arg(fileName)};
}

NamorixError NamorixError::historyNotWritable(const QString &detail)
{
    return {Code::historyNotWritable, StringTable::text("error.historyNotWritable").arg(detail)};
}

NamorixError NamorixError::moveFailed(const QString &description)
{
    return {Code::moveFailed, description};
}

NamorixError NamorixError::otherFileAtName(const QString &path)
{
    return {Code::otherFileAtName, StringTable::text("error.otherFileAtName").arg(path)};
}

NamorixError NamorixError::nameTaken(const QString &description)
{
    return {Code::nameTaken, description};
}

NamorixError NamorixError::termsNotAccepted()
{
    return {Code::termsNotAccepted, StringTable::text("error.termsNotAccepted")};
}
