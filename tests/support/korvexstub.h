#pragma once

#include "stubhttpserver.h"

#include <QList>
#include <QPair>
#include <QString>

/**
 * A stand-in for the Korvex search application: health, search and document text in its wire
 * format, answered from a scripted index. Search returns the documents whose file name
 * contains the query (case-insensitive), in index order, at most "limit".
 */
class KorvexStub final : public QObject
{
    Q_OBJECT

public:
    struct Document {
        QString id;
        QString filePath;
        QList<QPair<int, QString>> pages = {{1, "Text"}}; ///< (page number, text), in reply order
    };

    explicit KorvexStub(QObject *parent = nullptr);

    bool listen(quint16 port = 0) { return m_server.listen(port); }
    void close() { m_server.close(); }
    [[nodiscard]] quint16 port() const { return m_server.port(); }
    [[nodiscard]] StubHttpServer &server() { return m_server; }

    void addDocument(const Document &document) { m_documents.append(document); }
    void setHealthStatus(int status) { m_healthStatus = status; }
    /** Answers search and text requests with this status (and an empty body) when not 200. */
    void setRequestStatus(int status) { m_requestStatus = status; }

private:
    StubResponse answer(const RecordedRequest &request) const;

    StubHttpServer m_server;
    QList<Document> m_documents;
    int m_healthStatus = 200;
    int m_requestStatus = 200;
};
