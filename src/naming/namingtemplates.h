#pragma once

#include "store/namingtemplate.h"
#include "store/storeerror.h"

#include <QString>

#include <expected>
#include <optional>

class ObjectStore;

/**
 * Creating, changing and deleting naming templates, the same for the template editor and the
 * REST API. At most one template is the default: saving one as the default clears the flag on
 * every other.
 */
namespace NamingTemplates {

[[nodiscard]] std::optional<NamingTemplate> named(const ObjectStore &store, const QString &name);
/** Stores a new template (not the default); its id. */
std::expected<qint64, StoreError> add(ObjectStore &store, NamingTemplate value);
std::expected<void, StoreError> save(ObjectStore &store, const NamingTemplate &value);
std::expected<void, StoreError> remove(ObjectStore &store, qint64 id);

} // namespace NamingTemplates
