#include "naming/namingtemplates.h"

#include "store/objectstore.h"

namespace NamingTemplates {

std::optional<NamingTemplate> named(const ObjectStore &store, const QString &name)
{
    for (const NamingTemplate &value : store.fetchTemplates().value_or(QList<NamingTemplate>())) {
        if (value.name == name)
            return value;
    }
    return std::nullopt;
}

std::expected<qint64, StoreError> add(ObjectStore &store, NamingTemplate value)
{
    value.id = 0;
    value.isDefault = false;
    if (!value.createdAt.isValid())
        value.createdAt = QDateTime::currentDateTimeUtc();
    return store.insert(value);
}

std::expected<void, StoreError> save(ObjectStore &store, const NamingTemplate &value)
{
    // This one first: a failure then leaves everything as it was, or at worst a second default.
    if (const std::expected<void, StoreError> saved = store.save(value); !saved || !value.isDefault)
        return saved;
    const auto templates = store.fetchTemplates();
    if (!templates)
        return std::unexpected(templates.error());
    for (NamingTemplate other : *templates) {
        if (!other.isDefault || other.id == value.id)
            continue;
        other.isDefault = false;
        if (const std::expected<void, StoreError> cleared = store.save(other); !cleared)
            return cleared;
    }
    return {};
}

std::expected<void, StoreError> remove(ObjectStore &store, qint64 id)
{
    return store.removeTemplate(id);
}

} // namespace NamingTemplates
