#include "naming/namingtemplates.h"

#include "common/stringtable.h"
#include "store/objectstore.h"

#include <algorithm>

namespace NamingTemplates {
namespace {

struct TokenRow {
    const char16_t *text;
    const char *descriptionId;
    const char16_t *sample; ///< its value for the example's file, IMG_2041.jpg
};

constexpr TokenRow Tokens[] = {
    {u"{datum}", "template.token.datum", u"2024-03-15"},
    {u"{zeit}", "template.token.zeit", u"14-30-00"},
    {u"{typ}", "template.token.typ", u"jpg"},
    {u"{name}", "template.token.name", u"IMG_2041"},
    {u"{camera_make}", "template.token.cameraMake", u"Google"},
    {u"{camera_model}", "template.token.cameraModel", u"Pixel 8"},
    {u"{vorschlag}", "template.token.vorschlag", u"Stromrechnung"},
    {u"{kategorie}", "template.token.kategorie", u"rechnung"},
    {u"{beschreibung}", "template.token.beschreibung", u"Strom März"},
    {u"{absender}", "template.token.absender", u"Stadtwerke"},
    {u"{betrag}", "template.token.betrag", u"49.99"},
};

bool isToken(QStringView text)
{
    return std::any_of(std::begin(Tokens), std::end(Tokens), [&](const TokenRow &row) { return text == row.text; });
}

} // namespace

QList<Token> tokens()
{
    QList<Token> list;
    for (const TokenRow &row : Tokens)
        list.append({QString::fromUtf16(row.text), StringTable::text(row.descriptionId)});
    return list;
}

std::optional<QString> problem(const QString &pattern)
{
    for (qsizetype at = 0; at < pattern.size(); ++at) {
        if (pattern[at] == u'}')
            return StringTable::text("template.loneBrace").arg(at + 1);
        if (pattern[at] != u'{')
            continue;
        const qsizetype close = pattern.indexOf(u'}', at + 1);
        const qsizetype reopen = pattern.indexOf(u'{', at + 1);
        if (close < 0 || (reopen >= 0 && reopen < close))
            return StringTable::text("template.unfinishedToken").arg(pattern.mid(at, reopen < 0 ? -1 : reopen - at));
        const QStringView token = QStringView(pattern).mid(at, close - at + 1);
        if (!isToken(token)) {
            QStringList known;
            for (const TokenRow &row : Tokens)
                known << QString::fromUtf16(row.text);
            return StringTable::text("template.unknownToken").arg(token.toString(), known.join(QStringLiteral(", ")));
        }
        at = close;
    }
    return std::nullopt;
}

QString example(const QString &pattern)
{
    if (pattern.isEmpty())
        return {};
    QString name = pattern;
    for (const TokenRow &row : Tokens)
        name.replace(QString::fromUtf16(row.text), QString::fromUtf16(row.sample));
    return name + QStringLiteral(".jpg"); // the extension stays whatever the name
}

std::optional<QString> defaultPattern(const ObjectStore &store)
{
    for (const NamingTemplate &value : store.fetchTemplates().value_or(QList<NamingTemplate>())) {
        if (value.isDefault)
            return value.pattern;
    }
    return std::nullopt;
}

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
