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
 * every other. A pattern is stored and sent to the model exactly as typed: it tells the model
 * what to read from the document, while the rules build the name. What the editor notes about
 * a pattern (an unknown token, an unfinished "{…") is advice, never a refusal.
 */
namespace NamingTemplates {

/** A token a pattern may use, with braces, and what it stands for (German). */
struct Token {
    QString text;
    QString description;
};

/** Every token, file tokens first, then those the model reads from the document. */
[[nodiscard]] QList<Token> tokens();
/** What in `pattern` the model may not read as meant (German), or nullopt: advice shown beside it. */
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
