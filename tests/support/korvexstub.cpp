#include "korvexstub.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

KorvexStub::KorvexStub(QObject *parent)
    : QObject(parent)
{
    m_server.setHandler([this](const RecordedRequest &request) { return answer(request); });
}

StubResponse KorvexStub::answer(const RecordedRequest &request) const
{
    auto json = [](const QJsonObject &object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); };
    if (request.method == "GET" && request.path == u"/api/v1/health")
        return StubResponse{m_healthStatus, m_healthStatus == 200 ? json({{"status", "ok"}}) : QByteArray()};
    if (m_requestStatus != 200)
        return StubResponse{m_requestStatus, {}};

    if (request.method == "POST" && request.path == u"/api/v1/search") {
        const QJsonObject query = QJsonDocument::fromJson(request.body).object();
        const QString text = query.value("query").toString();
        const int limit = query.value("limit").toInt(10);
        QJsonArray results;
        for (const Document &document : m_documents) {
            const QString name = document.filePath.mid(document.filePath.lastIndexOf('/') + 1);
            if (results.size() < limit && name.contains(text, Qt::CaseInsensitive))
                results.append(QJsonObject{{"id", document.id}, {"file_path", document.filePath}, {"score", 1.0}});
        }
        return StubResponse{200, json({{"results", results}})};
    }

    static const QString prefix = "/api/v1/documents/";
    if (request.method == "GET" && request.path.startsWith(prefix) && request.path.endsWith("/text")) {
        const QString id = request.path.mid(prefix.size()).chopped(5);
        for (const Document &document : m_documents) {
            if (document.id != id)
                continue;
            QJsonArray pages;
            for (const auto &[number, text] : document.pages)
                pages.append(QJsonObject{{"page", number}, {"text", text}});
            return StubResponse{200, json({{"pages", pages}})};
        }
    }
    return StubResponse{404, json({{"error", "not found"}})};
}
