#pragma once

#include "store/namingtemplate.h"
#include "store/storeerror.h"

#include <QList>
#include <QString>

#include <expected>
#include <optional>

class ObjectStore;

/**
 * Creating, changing and deleting naming templates, the same for the template editor and the
 * REST API. At most one template is the default: saving one as the default clears the flag on
 * every other. A pattern may hold only the tokens listed in tokens(); one with an unfinished
 * "{…", an unknown token or a lone "}" is refused (StoreError::Code::invalid) with a German
 * message. A stored pattern that predates the check is kept as long as it is not changed.
 */
namespace NamingTemplates {

/** A token a pattern may use, with braces, and what it stands for (German). */
struct Token {
    QString text;
    QString description;
};

/** Every token, file tokens first, then those the model reads from the document. */
[[nodiscard]] QList<Token> tokens();
/** Why `pattern` cannot be stored (German), or nullopt when it can. */
[[nodiscard]] std::optional<QString> problem(const QString &pattern);
/** `pattern` filled in for a sample file (a phone photo of an electricity bill); empty for an empty one. */
[[nodiscard]] QString example(const QString &pattern);
/** The pattern of the default template, which every run gets that names none of its own. */
[[nodiscard]] std::optional<QString> defaultPattern(const ObjectStore &store);

[[nodiscard]] std::optional<NamingTemplate> named(const ObjectStore &store, const QString &name);
/** Stores a new template (not the default); its id. */
std::expected<qint64, StoreError> add(ObjectStore &store, NamingTemplate value);
std::expected<void, StoreError> save(ObjectStore &store, const NamingTemplate &value);
std::expected<void, StoreError> remove(ObjectStore &store, qint64 id);

} // namespace NamingTemplates
