#include "namebuilder.h"

#include "common/icuregex.h"
#include "common/unicodetext.h"
#include "naming/aiextraction.h"

namespace NameBuilder {
namespace {

QChar separatorChar(SeparatorStyle style)
{
    switch (style) {
    case SeparatorStyle::dash:
        return u'-';
    case SeparatorStyle::dot:
        return u'.';
    case SeparatorStyle::underscore:
        break;
    }
    return u'_';
}

bool inTrimSet(QChar c, QChar sep)
{
    return c == sep || c == u' ' || c == u'.' || c == u'-' || c == u'_';
}

QString trimmedTrimSet(const QString &text, QChar sep)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && inTrimSet(text.at(begin), sep))
        ++begin;
    while (end > begin && inTrimSet(text.at(end - 1), sep))
        --end;
    return text.mid(begin, end - begin);
}

// Keeps letters, marks, numbers and "-", "_", "."; every other scalar becomes one separator.
// Runs of the separator then collapse to one (runs of other kept characters do not).
QString sanitisedAndCollapsed(const QString &text, QChar sep)
{
    QString result;
    result.reserve(text.size());
    auto append = [&](QChar c) {
        if (c == sep && !result.isEmpty() && result.back() == sep)
            return;
        result += c;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'-' || c == u'_' || c == u'.') {
            append(c);
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            const char32_t scalar = QChar::surrogateToUcs4(c, text.at(i + 1));
            if (UnicodeText::isLetterMarkOrNumber(scalar)) {
                result += c;
                result += text.at(i + 1);
            } else {
                append(sep);
            }
            ++i;
            continue;
        }
        if (!c.isSurrogate() && UnicodeText::isLetterMarkOrNumber(c.unicode()))
            result += c;
        else
            append(sep);
    }
    return result;
}

QString removedCategory(const QString &description, const QString &category)
{
    const QString pattern = QStringLiteral("\\b") + IcuRegex::escaped(category) + QStringLiteral("\\b");
    const std::optional<QString> removed =
        IcuRegex::replaceAll(pattern, IcuRegex::CaseInsensitive, description, QString());
    return removed ? UnicodeText::trimmedSpaces(*removed) : description;
}

QString titleCased(const QString &text)
{
    QStringList words;
    for (QStringView piece : QStringView(text).split(u' ', Qt::SkipEmptyParts)) {
        const QString word = piece.toString();
        const QString first = UnicodeText::leftGraphemes(word, 1);
        words << UnicodeText::toUpperFull(first) + UnicodeText::toLowerFull(word.mid(first.size()));
    }
    return words.join(u' ');
}

QString umlautReplacement(QStringView character)
{
    static constexpr struct {
        char16_t umlaut;
        const char16_t *replacement;
    } table[] = {{u'ä', u"ae"}, {u'ö', u"oe"}, {u'ü', u"ue"}, {u'Ä', u"Ae"},
                 {u'Ö', u"Oe"}, {u'Ü', u"Ue"}, {u'ß', u"ss"}};
    if (character.size() != 1)
        return {};
    for (const auto &entry : table) {
        if (character.front() == entry.umlaut)
            return QString::fromUtf16(entry.replacement);
    }
    return {};
}

bool mayHoldUmlaut(const QString &text)
{
    for (QChar c : text) {
        switch (c.unicode()) {
        case u'ä':
        case u'ö':
        case u'ü':
        case u'Ä':
        case u'Ö':
        case u'Ü':
        case u'ß':
        case 0x0308: // combining diaeresis
            return true;
        default:
            break;
        }
    }
    return false;
}

} // namespace

QString normalizeDocumentDate(const QString &text)
{
    const QString s = UnicodeText::trimmedSpaces(text);
    // Patterns keep their anchors and are searched for, as the engine's `$` also matches
    // before a final line break.
    if (IcuRegex::firstMatch(QStringLiteral(R"(^\d{4}-\d{2}-\d{2}$)"), s))
        return s;
    if (const auto dotted = IcuRegex::firstMatch(QStringLiteral(R"((\d{2})\.(\d{2})\.(\d{4}))"), s)) {
        const QStringList p = dotted->split(u'.');
        return p.at(2) + u'-' + p.at(1) + u'-' + p.at(0);
    }
    if (const auto slashed = IcuRegex::firstMatch(QStringLiteral(R"((\d{2})/(\d{2})/(\d{4}))"), s)) {
        const QStringList p = slashed->split(u'/');
        return p.at(2) + u'-' + p.at(0) + u'-' + p.at(1);
    }
    if (IcuRegex::firstMatch(QStringLiteral(R"(^\d{8}$)"), s)) {
        const QStringList c = UnicodeText::graphemes(s); // digits may lie outside the BMP
        auto join = [&](qsizetype from, qsizetype count) { return c.mid(from, count).join(QString()); };
        return join(0, 4) + u'-' + join(4, 2) + u'-' + join(6, 2);
    }
    return s;
}

QString formatDocumentDate(const QString &text, DateFormatStyle style)
{
    const QStringList p = text.split(u'-', Qt::SkipEmptyParts);
    if (p.size() != 3)
        return text;
    const QString &y = p.at(0), &m = p.at(1), &d = p.at(2);
    switch (style) {
    case DateFormatStyle::iso:
        return y + u'-' + m + u'-' + d;
    case DateFormatStyle::de:
        return d + u'.' + m + u'.' + y;
    case DateFormatStyle::us:
        return m + u'-' + d + u'-' + y;
    case DateFormatStyle::compact:
        return y + m + d;
    case DateFormatStyle::none:
        break;
    }
    return {};
}

QString applyCasing(const QString &text, CasingStyle style)
{
    switch (style) {
    case CasingStyle::lowercase:
        return UnicodeText::toLowerFull(text);
    case CasingStyle::uppercase:
        return UnicodeText::toUpperFull(text);
    case CasingStyle::titlecase:
        return titleCased(text);
    case CasingStyle::preserve:
        break;
    }
    return text;
}

QString replacingUmlauts(const QString &text)
{
    if (!mayHoldUmlaut(text))
        return text;
    QString result;
    result.reserve(text.size() + 8);
    for (const QString &character : UnicodeText::graphemes(text)) {
        QString replacement = umlautReplacement(character);
        if (replacement.isEmpty() && character.size() > 1)
            replacement = umlautReplacement(UnicodeText::nfc(character));
        result += replacement.isEmpty() ? character : replacement;
    }
    return result;
}

QString buildFileName(const AIExtraction &extraction, const RenameRules &rules, const QString &fileExtension)
{
    const QChar sep = separatorChar(rules.separator());
    const QString none;

    QString name = rules.format();
    name.replace(QStringLiteral("{sep}"), QString(sep));

    QString date;
    if (extraction.datum && rules.dateFormat() != DateFormatStyle::none)
        date = formatDocumentDate(normalizeDocumentDate(*extraction.datum), rules.dateFormat());
    name.replace(QStringLiteral("{datum}"), date);
    name.replace(QStringLiteral("{kategorie}"), extraction.kategorie.value_or(none));

    const bool hasCategory = extraction.kategorie && !extraction.kategorie->isEmpty();
    const QString description =
        hasCategory ? removedCategory(extraction.beschreibung, *extraction.kategorie) : extraction.beschreibung;
    name.replace(QStringLiteral("{beschreibung}"), description);
    name.replace(QStringLiteral("{absender}"), extraction.absender.value_or(none));
    name.replace(QStringLiteral("{betrag}"), extraction.betrag.value_or(none));

    name = applyCasing(name, rules.casing());
    if (!rules.prefix().isEmpty())
        name = rules.prefix() + sep + name;
    if (!rules.suffix().isEmpty())
        name = name + sep + rules.suffix();
    if (rules.replaceUmlauts())
        name = replacingUmlauts(name);
    name.replace(u' ', sep);
    name = trimmedTrimSet(sanitisedAndCollapsed(name, sep), sep);

    const qint64 limit = std::max<qint64>(rules.maxLength(), 0);
    if (name.size() > limit && UnicodeText::graphemeCount(name) > limit)
        name = trimmedTrimSet(UnicodeText::leftGraphemes(name, limit), sep);

    for (const RegexRule &rule : rules.regexRules()) {
        if (!rule.enabled)
            continue;
        if (std::optional<QString> replaced =
                IcuRegex::replaceAll(rule.pattern, IcuRegex::NoFlags, name, rule.replacement))
            name = std::move(*replaced);
    }
    name = trimmedTrimSet(name, sep);
    if (name.isEmpty())
        name = QStringLiteral("unnamed");
    return fileExtension.isEmpty() ? name : name + u'.' + fileExtension;
}

AIExtraction previewSample()
{
    return AIExtraction{QStringLiteral("2024-03-15"), QStringLiteral("rechnung"), QStringLiteral("Mobilfunk Maerz"),
                        QStringLiteral("Telekom"),    QStringLiteral("49.99"),    0.9};
}

QString previewFileName(const RenameRules &rules)
{
    return buildFileName(previewSample(), rules, QString::fromUtf16(PreviewExtension));
}

} // namespace NameBuilder
