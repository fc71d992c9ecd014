#pragma once

#include <QCoroTask>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

#include <expected>
#include <optional>

class DefaultsStore;

/** A failure of the Korvex client: one of its own cases, or a passed-on transport or decoding error. */
class KVXError final
{
public:
    enum class Code { invalidURL, requestFailed, notIndexed, emptyText, transport, decoding };

    explicit KVXError(Code code, QString detail = {});

    [[nodiscard]] Code code() const { return m_code; }
    /** German text; a transport or decoding failure adds what went wrong. */
    [[nodiscard]] QString message() const;

private:
    Code m_code;
    QString m_detail;
};

template <typename T> using KVXResult = std::expected<T, KVXError>;

/**
 * Client of Korvex, the companion full-text search application, over loopback HTTP: whether it
 * is reachable (cached for 30 seconds, both outcomes), which indexed document is a given file,
 * and that document's text.
 *
 * Lives on the GUI thread, which serialises its cache; calls are coroutines that never block
 * it. Reads "kvx.enabled", "kvx.port" and "kvx.token" from the store at every use, so setting
 * changes apply at once (a cached availability may stand for up to 30 seconds).
 */
class KVXClient final : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 CacheDurationMs = 30 * 1000;
    static constexpr int HealthTimeoutMs = 2000;
    static constexpr int RequestTimeoutMs = 5000;

    explicit KVXClient(DefaultsStore &store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(KVXClient)

    /** The process-wide client over DefaultsStore::standard(). */
    static KVXClient &shared();

    QCoro::Task<bool> isAvailable();
    QCoro::Task<KVXResult<QString>> findDocumentID(QString path);
    QCoro::Task<KVXResult<QString>> fetchDocumentText(QString id);
    /** isAvailable, then the document of `path`, then its text. */
    QCoro::Task<KVXResult<QString>> extractText(QString path);

    /** Moves the cache's clock forward, so tests need not wait half a minute. */
    void advanceClockForTesting(qint64 milliseconds) { m_clockOffsetMs += milliseconds; }

private:
    QString baseUrl() const;
    /** A search or text request: time-out, and the bearer token when one is set. */
    QNetworkRequest authorizedRequest(const QUrl &url) const;
    qint64 now() const { return m_clock.elapsed() + m_clockOffsetMs; }

    DefaultsStore &m_store;
    QNetworkAccessManager m_network;
    QElapsedTimer m_clock;
    qint64 m_clockOffsetMs = 0;
    std::optional<bool> m_cachedAvailable;
    std::optional<qint64> m_cacheTimestamp;
};
