#pragma once

#include "common/rawenum.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QUuid>

class DefaultsStore;

enum class DateFormatStyle { iso, de, us, compact, none };
enum class CasingStyle { lowercase, titlecase, uppercase, preserve };
enum class SeparatorStyle { dash, underscore, dot };

template <> struct RawEnumTraits<DateFormatStyle> {
    static constexpr RawEnumTable<DateFormatStyle, 5> cases{{
        {DateFormatStyle::iso, "YYYY-MM-DD"},
        {DateFormatStyle::de, "DD.MM.YYYY"},
        {DateFormatStyle::us, "MM-DD-YYYY"},
        {DateFormatStyle::compact, "YYYYMMDD"},
        {DateFormatStyle::none, "Kein Datum"},
    }};
};

template <> struct RawEnumTraits<CasingStyle> {
    static constexpr RawEnumTable<CasingStyle, 4> cases{{
        {CasingStyle::lowercase, "kleinbuchstaben"},
        {CasingStyle::titlecase, "Title Case"},
        {CasingStyle::uppercase, "GROSSBUCHSTABEN"},
        {CasingStyle::preserve, "Wie von KI"},
    }};
};

/** The raw value is the separator character itself. */
template <> struct RawEnumTraits<SeparatorStyle> {
    static constexpr RawEnumTable<SeparatorStyle, 3> cases{{
        {SeparatorStyle::dash, "-"},
        {SeparatorStyle::underscore, "_"},
        {SeparatorStyle::dot, "."},
    }};
};

/** One find/replace step applied to built names; `id` is fresh per launch and never stored. */
struct RegexRule {
    QUuid id = QUuid::createUuid();
    QString pattern;     ///< ICU syntax
    QString replacement; ///< "$1" inserts a group, "\" escapes the next character
    bool enabled = true;

    /** Same content; the id is not compared. */
    [[nodiscard]] bool sameContent(const RegexRule &other) const
    {
        return pattern == other.pattern && replacement == other.replacement && enabled == other.enabled;
    }
};

/**
 * The user's rename rules: how a name is assembled from extracted fields and post-processed.
 *
 * Loaded once from the defaults store, forgivingly (a missing or unusable value gives the
 * default). Every assignment writes through to the store at once, even when the value is
 * unchanged; the change signals fire only on a real change, except `regexRules`, which always
 * notifies. `maxLength` is stored as assigned, whatever its value; the name builder treats a
 * negative limit as 0, and values below 1 become 80 on the next load.
 */
class RenameRules final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QString format READ format WRITE setFormat NOTIFY formatChanged)
    Q_PROPERTY(DateFormatStyle dateFormat READ dateFormat WRITE setDateFormat NOTIFY dateFormatChanged)
    Q_PROPERTY(CasingStyle casing READ casing WRITE setCasing NOTIFY casingChanged)
    Q_PROPERTY(SeparatorStyle separator READ separator WRITE setSeparator NOTIFY separatorChanged)
    Q_PROPERTY(QString prefix READ prefix WRITE setPrefix NOTIFY prefixChanged)
    Q_PROPERTY(QString suffix READ suffix WRITE setSuffix NOTIFY suffixChanged)
    Q_PROPERTY(qint64 maxLength READ maxLength WRITE setMaxLength NOTIFY maxLengthChanged)
    Q_PROPERTY(bool replaceUmlauts READ replaceUmlauts WRITE setReplaceUmlauts NOTIFY replaceUmlautsChanged)
    Q_PROPERTY(QStringList categories READ categories WRITE setCategories NOTIFY categoriesChanged)

public:
    explicit RenameRules(DefaultsStore &store, QObject *parent = nullptr);
    Q_DISABLE_COPY_MOVE(RenameRules)

    /** The process-wide rules over DefaultsStore::standard(), created on first use. */
    static RenameRules &shared();

    static QString defaultFormat();
    static QStringList defaultCategories();
    static QList<RegexRule> defaultRegexRules();
    static constexpr qint64 DefaultMaxLength = 80;

    QString format() const { return m_format; }
    DateFormatStyle dateFormat() const { return m_dateFormat; }
    CasingStyle casing() const { return m_casing; }
    SeparatorStyle separator() const { return m_separator; }
    QString prefix() const { return m_prefix; }
    QString suffix() const { return m_suffix; }
    qint64 maxLength() const { return m_maxLength; }
    bool replaceUmlauts() const { return m_replaceUmlauts; }
    QStringList categories() const { return m_categories; }
    QList<RegexRule> regexRules() const { return m_regexRules; }

    void setFormat(const QString &value);
    void setDateFormat(DateFormatStyle value);
    void setCasing(CasingStyle value);
    void setSeparator(SeparatorStyle value);
    void setPrefix(const QString &value);
    void setSuffix(const QString &value);
    void setMaxLength(qint64 value);
    void setReplaceUmlauts(bool value);
    void setCategories(const QStringList &value);
    void setRegexRules(const QList<RegexRule> &value);

    // The one check of what rules may hold, for the rules tab, the REST API and the command line.
    /** Why `pattern` is no usable regular expression (German), or nullopt. */
    [[nodiscard]] static std::optional<QString> regexProblem(const QString &pattern);
    /** Why `value` is no maximum length (German), or nullopt. The tab offers 20–200; others may set any other positive
     * length. */
    [[nodiscard]] static std::optional<QString> maxLengthProblem(qint64 value);
    /** Categories as kept: trimmed, blanks inside collapsed, empty ones and repeats (ignoring case) dropped. */
    [[nodiscard]] static QStringList cleanCategories(const QStringList &value);

    /** The stored form of a rule list: a compact JSON array of {pattern, replacement, enabled}. */
    static QByteArray encodeRegexRules(const QList<RegexRule> &rules);
    /** Rules from their stored form; nullopt when it is not a JSON array of objects. */
    static std::optional<QList<RegexRule>> decodeRegexRules(const QByteArray &json);

Q_SIGNALS:
    void formatChanged();
    void dateFormatChanged();
    void casingChanged();
    void separatorChanged();
    void prefixChanged();
    void suffixChanged();
    void maxLengthChanged();
    void replaceUmlautsChanged();
    void categoriesChanged();
    void regexRulesChanged();
    /** After any of the signals above: for views that only need to rebuild a preview. */
    void changed();

private:
    void load();
    template <typename T, typename Persist>
    void assign(T &field, const T &value, void (RenameRules::*notify)(), Persist persist);

    DefaultsStore &m_store;
    QString m_format;
    DateFormatStyle m_dateFormat = DateFormatStyle::iso;
    CasingStyle m_casing = CasingStyle::lowercase;
    SeparatorStyle m_separator = SeparatorStyle::underscore;
    QString m_prefix;
    QString m_suffix;
    qint64 m_maxLength = DefaultMaxLength;
    bool m_replaceUmlauts = true;
    QStringList m_categories;
    QList<RegexRule> m_regexRules;
};
