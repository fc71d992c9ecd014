#include "generalflags.h"

#include "settings/defaultsstore.h"

bool BoolFlag::read(const DefaultsStore &store) const
{
    const QString k = keyString();
    return store.contains(k) ? store.boolValue(k) : fallback;
}

void BoolFlag::write(DefaultsStore &store, bool value) const
{
    store.setBool(keyString(), value);
    Q_EMIT FlagChanges::shared().written(&store, keyString(), value);
}

FlagChanges &FlagChanges::shared()
{
    static FlagChanges instance;
    return instance;
}

namespace GeneralFlags {

void acceptLegal(DefaultsStore &store, const QDateTime &moment)
{
    hasAcceptedLegal.write(store, true);
    store.setDate(QString::fromLatin1(LegalAcceptanceDateKey), moment);
}

std::optional<QDateTime> legalAcceptanceDate(const DefaultsStore &store)
{
    return store.dateValue(QString::fromLatin1(LegalAcceptanceDateKey));
}

} // namespace GeneralFlags
