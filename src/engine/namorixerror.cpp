#include "namorixerror.h"

NamorixError::NamorixError(Code code, QString message)
    : m_code(code)
    , m_message(std::move(message))
{
}

NamorixError NamorixError::providerNotConfigured(const QString &provider)
{
    return {Code::providerNotConfigured, provider + QStringLiteral(" nicht konfiguriert (API Key fehlt)")};
}

NamorixError NamorixError::providerUnreachable(const QString &provider, const QString &detail)
{
    return {Code::providerUnreachable, provider + QStringLiteral(" nicht erreichbar: ") + detail};
}

NamorixError NamorixError::fileNotReadable(const QString &fileName)
{
    return {Code::fileNotReadable, QStringLiteral("Datei nicht lesbar: ") + fileName};
}

NamorixError NamorixError::fileNotFound(const QString &fileName)
{
    return {Code::fileNotFound, QStringLiteral("Datei nicht gefunden: ") + fileName};
}

NamorixError NamorixError::fileNotWritable(const QString &fileName)
{
    return {Code::fileNotWritable, QStringLiteral("Kein Schreibzugriff: ") + fileName};
}

NamorixError NamorixError::historyNotWritable(const QString &detail)
{
    return {Code::historyNotWritable, QStringLiteral("Verlauf nicht beschreibbar: ") + detail};
}

NamorixError NamorixError::moveFailed(const QString &description)
{
    return {Code::moveFailed, description};
}

NamorixError NamorixError::otherFileAtName(const QString &path)
{
    return {Code::otherFileAtName, QStringLiteral("An diesem Namen liegt inzwischen eine andere Datei: ") + path};
}
