#pragma once

#include <QDateTime>
#include <QObject>
#include <QString>

#include <array>
#include <optional>

class DefaultsStore;
Q_DECLARE_OPAQUE_POINTER(const DefaultsStore *)

/** A general flag: a bool that lives only as a defaults entry and is read and written by key. */
struct BoolFlag {
    const char *key;
    bool fallback; ///< the value while the key is absent

    [[nodiscard]] QString keyString() const { return QString::fromLatin1(key); }
    [[nodiscard]] bool read(const DefaultsStore &store) const;
    void write(DefaultsStore &store, bool value) const;
};

/**
 * Announces every flag write in this process, so a view or the tray follows a change made
 * elsewhere (settings window, REST API). The store is passed along: tests run several stores.
 */
class FlagChanges final : public QObject
{
    Q_OBJECT

public:
    static FlagChanges &shared();

Q_SIGNALS:
    void written(const DefaultsStore *store, const QString &key, bool value);
};

namespace GeneralFlags {

inline constexpr BoolFlag autoRename{"autoRename", false};
inline constexpr BoolFlag showMenuBar{"showMenuBar", true};
inline constexpr BoolFlag preserveTimestamps{"preserveTimestamps", true};
inline constexpr BoolFlag onboardingDone{"onboardingDone", false};
inline constexpr BoolFlag hasAcceptedLegal{"hasAcceptedLegal", false};
/** "Ungeprüfte Angaben nicht automatisch umbenennen": the queue leaves unverified dates, amounts and fallback names for
 * review. */
inline constexpr BoolFlag autoRenameVerifiedOnly{"autoRenameVerifiedOnly", true};
inline constexpr std::array all{autoRename,     showMenuBar,      preserveTimestamps,
                                onboardingDone, hasAcceptedLegal, autoRenameVerifiedOnly};

inline constexpr char LegalAcceptanceDateKey[] = "legalAcceptanceDate";

/** Records the acceptance of the legal terms: the flag and the moment, together. */
void acceptLegal(DefaultsStore &store, const QDateTime &moment);
[[nodiscard]] std::optional<QDateTime> legalAcceptanceDate(const DefaultsStore &store);

} // namespace GeneralFlags
