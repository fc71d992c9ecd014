#include "renamerules.h"

#include "settings/defaultsstore.h"
#include "settings/writethrough.h"

#include "common/icuregex.h"
#include "common/processwide.h"
#include "common/stringtable.h"
#include "common/unicodetext.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

namespace {

namespace Key {
const QString format = QStringLiteral("rules.format");
const QString dateFormat = QStringLiteral("rules.dateFormat");
const QString casing = QStringLiteral("rules.casing");
const QString separator = QStringLiteral("rules.separator");
const QString prefix = QStringLiteral("rules.prefix");
const QString suffix = QStringLiteral("rules.suffix");
const QString maxLength = QStringLiteral("rules.maxLength");
const QString replaceUmlauts = QStringLiteral("rules.replaceUmlauts");
const QString categories = QStringLiteral("rules.categories");
const QString regex = QStringLiteral("rules.regex");
} // namespace Key

template <typename E> E storedEnum(const DefaultsStore &store, const QString &key, E fallback)
{
    const std::optional<QString> raw = store.stringValue(key);
    return raw ? enumFromRaw<E>(*raw).value_or(fallback) : fallback;
}

} // namespace

RenameRules::RenameRules(DefaultsStore &store, QObject *parent)
    : QObject(parent)
    , m_store(store)
{
    load();
}

RenameRules &RenameRules::shared()
{
    return processWide<RenameRules>([] { return new RenameRules(DefaultsStore::standard()); });
}

QString RenameRules::defaultFormat()
{
    return QStringLiteral("{datum}{sep}{kategorie}{sep}{beschreibung}");
}

QStringList RenameRules::defaultCategories()
{
    return {QStringLiteral("rechnung"),  QStringLiteral("vertrag"),  QStringLiteral("brief"),
            QStringLiteral("foto"),      QStringLiteral("beleg"),    QStringLiteral("angebot"),
            QStringLiteral("protokoll"), QStringLiteral("sonstiges")};
}

QList<RegexRule> RenameRules::defaultRegexRules()
{
    QList<RegexRule> rules;
    for (const char *pattern : {R"(^IMG_\d+_?)", R"(^DSC_?\d+_?)", R"(^DCIM_?\d+_?)", R"(\s*\(\d+\)$)"})
        rules.append(RegexRule{QUuid::createUuid(), QString::fromLatin1(pattern), QString(), true});
    return rules;
}

void RenameRules::load()
{
    m_format = m_store.stringValue(Key::format).value_or(defaultFormat());
    m_dateFormat = storedEnum(m_store, Key::dateFormat, DateFormatStyle::iso);
    m_casing = storedEnum(m_store, Key::casing, CasingStyle::lowercase);
    m_separator = storedEnum(m_store, Key::separator, SeparatorStyle::underscore);
    m_prefix = m_store.stringValue(Key::prefix).value_or(QString());
    m_suffix = m_store.stringValue(Key::suffix).value_or(QString());
    const qint64 storedLength = m_store.integerValue(Key::maxLength);
    m_maxLength = storedLength < 1 ? DefaultMaxLength : storedLength;
    m_replaceUmlauts = m_store.contains(Key::replaceUmlauts) ? m_store.boolValue(Key::replaceUmlauts) : true;

    m_categories = defaultCategories();
    if (const std::optional<QVariantList> stored = m_store.arrayValue(Key::categories)) {
        QStringList strings;
        for (const QVariant &element : *stored) {
            if (element.typeId() != QMetaType::QString)
                break;
            strings << element.toString();
        }
        if (strings.size() == stored->size())
            m_categories = strings;
    }

    const std::optional<QByteArray> storedRules = m_store.bytesValue(Key::regex);
    const std::optional<QList<RegexRule>> rules = storedRules ? decodeRegexRules(*storedRules) : std::nullopt;
    m_regexRules = rules.value_or(defaultRegexRules());
}

QByteArray RenameRules::encodeRegexRules(const QList<RegexRule> &rules)
{
    QJsonArray array;
    for (const RegexRule &rule : rules) {
        array.append(QJsonObject{{QStringLiteral("pattern"), rule.pattern},
                                 {QStringLiteral("replacement"), rule.replacement},
                                 {QStringLiteral("enabled"), rule.enabled}});
    }
    return QJsonDocument(array).toJson(QJsonDocument::Compact);
}

std::optional<QList<RegexRule>> RenameRules::decodeRegexRules(const QByteArray &json)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return std::nullopt;
    const QJsonArray array = document.array();
    for (const QJsonValue &element : array) {
        if (!element.isObject())
            return std::nullopt;
    }
    QList<RegexRule> rules;
    for (const QJsonValue &element : array) {
        const QJsonObject object = element.toObject();
        const QJsonValue pattern = object.value(QStringLiteral("pattern"));
        const QJsonValue replacement = object.value(QStringLiteral("replacement"));
        if (!pattern.isString() || !replacement.isString())
            continue;
        const QJsonValue enabled = object.value(QStringLiteral("enabled"));
        rules.append(RegexRule{QUuid::createUuid(), pattern.toString(), replacement.toString(),
                               enabled.isBool() ? enabled.toBool() : true});
    }
    return rules;
}

template <typename T, typename Persist>
void RenameRules::assign(T &field, const T &value, void (RenameRules::*notify)(), Persist persist)
{
    writeThrough(
        field, value,
        [&] {
            field = value;
            persist();
        },
        [&] {
            Q_EMIT(this->*notify)();
            Q_EMIT changed();
        });
}

void RenameRules::setFormat(const QString &value)
{
    assign(m_format, value, &RenameRules::formatChanged, [&] { m_store.setString(Key::format, value); });
}

void RenameRules::setDateFormat(DateFormatStyle value)
{
    assign(m_dateFormat, value, &RenameRules::dateFormatChanged,
           [&] { m_store.setString(Key::dateFormat, rawValue(value)); });
}

void RenameRules::setCasing(CasingStyle value)
{
    assign(m_casing, value, &RenameRules::casingChanged, [&] { m_store.setString(Key::casing, rawValue(value)); });
}

void RenameRules::setSeparator(SeparatorStyle value)
{
    assign(m_separator, value, &RenameRules::separatorChanged,
           [&] { m_store.setString(Key::separator, rawValue(value)); });
}

void RenameRules::setPrefix(const QString &value)
{
    assign(m_prefix, value, &RenameRules::prefixChanged, [&] { m_store.setString(Key::prefix, value); });
}

void RenameRules::setSuffix(const QString &value)
{
    assign(m_suffix, value, &RenameRules::suffixChanged, [&] { m_store.setString(Key::suffix, value); });
}

void RenameRules::setMaxLength(qint64 value)
{
    assign(m_maxLength, value, &RenameRules::maxLengthChanged, [&] { m_store.setInteger(Key::maxLength, value); });
}

void RenameRules::setReplaceUmlauts(bool value)
{
    assign(m_replaceUmlauts, value, &RenameRules::replaceUmlautsChanged,
           [&] { m_store.setBool(Key::replaceUmlauts, value); });
}

void RenameRules::setCategories(const QStringList &value)
{
    const QStringList cleaned = cleanCategories(value);
    assign(m_categories, cleaned, &RenameRules::categoriesChanged,
           [&] { m_store.setStringList(Key::categories, cleaned); });
}

std::optional<QString> RenameRules::regexProblem(const QString &pattern)
{
    if (pattern.isEmpty())
        return StringTable::text("rules.regexEmpty");
    if (!IcuRegex::replaceAll(pattern, IcuRegex::NoFlags, QString(), QString()))
        return StringTable::text("rules.regexInvalid").arg(pattern);
    return std::nullopt;
}

std::optional<QString> RenameRules::maxLengthProblem(qint64 value)
{
    if (value < 1)
        return StringTable::text("rules.lengthInvalid").arg(value);
    return std::nullopt;
}

QStringList RenameRules::cleanCategories(const QStringList &value)
{
    QStringList cleaned;
    QSet<QString> seen;
    for (const QString &category : value) {
        const QString trimmed = UnicodeText::trimmedSpaces(category);
        if (trimmed.isEmpty() || seen.contains(UnicodeText::toLowerFull(trimmed)))
            continue;
        seen.insert(UnicodeText::toLowerFull(trimmed));
        cleaned << trimmed;
    }
    return cleaned;
}

void RenameRules::setRegexRules(const QList<RegexRule> &value)
{
    m_regexRules = value;
    // Serialising a list of strings and bools cannot fail; the key is written unconditionally.
    m_store.setBytes(Key::regex, encodeRegexRules(value));
    Q_EMIT regexRulesChanged();
    Q_EMIT changed();
}
