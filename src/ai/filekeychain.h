#pragma once

#include "ai/keychainstore.h"

#include <QJsonObject>
#include <QString>
#include <QThreadPool>

#include <memory>

/**
 * Secrets in a JSON file, {"<service>": {"<account>": "<secret>"}}, for systems without a
 * Secret Service. The file is readable only by the user: every version is written to a new
 * file created with mode 0600 and renamed over the old one, so it is never briefly wider and
 * never half-written. Writes run in call order on a private thread; the file is read on first
 * use. A file that cannot be parsed is moved aside ("<name>.corrupt-<timestamp>") rather than
 * overwritten.
 */
class FileKeychain final : public KeychainStore
{
public:
    explicit FileKeychain(QString filePath);
    ~FileKeychain() override;
    Q_DISABLE_COPY_MOVE(FileKeychain)

    /** `$XDG_CONFIG_HOME/namorix/credentials.json`, next to the user defaults. */
    static QString standardFilePath();
    [[nodiscard]] QString filePath() const { return m_filePath; }

    QCoro::Task<std::optional<QString>> read(QString service, QString account) override;
    /** `privateFile` once the file on disk holds it, else `nowhere` with the reason. */
    QCoro::Task<SecretPlacement> save(QString value, QString service, QString account) override;
    QCoro::Task<> remove(QString service, QString account) override;

private:
    void loadOnce();
    /** Writes the secrets; 0 or an errno value. */
    QCoro::Task<int> persist();

    const QString m_filePath;
    bool m_loaded = false;
    QJsonObject m_secrets;
    QThreadPool m_writer;
    const std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};
