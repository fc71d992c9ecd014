#pragma once

#include <QString>

/** The engine's own failures, with the German text shown to the user. */
class NamorixError final
{
public:
    enum class Code {
        providerNotConfigured,
        providerUnreachable,
        fileNotReadable,
        fileNotFound,
        fileNotWritable,
        moveFailed,
        otherFileAtName,
        nameTaken,
        historyNotWritable,
        termsNotAccepted
    };

    [[nodiscard]] static NamorixError providerNotConfigured(const QString &provider);
    [[nodiscard]] static NamorixError providerUnreachable(const QString &provider, const QString &detail);
    [[nodiscard]] static NamorixError fileNotReadable(const QString &fileName);
    [[nodiscard]] static NamorixError fileNotFound(const QString &fileName);
    [[nodiscard]] static NamorixError fileNotWritable(const QString &fileName);
    /** A move the file system refused, with its German description. */
    [[nodiscard]] static NamorixError moveFailed(const QString &description);
    /** The file at a record's new name is not the one it renamed (`path` is that name). */
    [[nodiscard]] static NamorixError otherFileAtName(const QString &path);
    /** A move back found its name taken by another file, which stays (`description` is the move's German text). */
    [[nodiscard]] static NamorixError nameTaken(const QString &description);
    /** Nothing is sent to a provider and nothing renamed before the user has accepted the terms. */
    [[nodiscard]] static NamorixError termsNotAccepted();
    /** The file moved, but the history could not record it. */
    [[nodiscard]] static NamorixError historyNotWritable(const QString &detail);

    [[nodiscard]] Code code() const { return m_code; }
    [[nodiscard]] QString message() const { return m_message; }

private:
    NamorixError(Code code, QString message);

    Code m_code;
    QString m_message;
};
