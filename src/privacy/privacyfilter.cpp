#include "privacyfilter.h"

#include "checkdigits.h"
#include "phonenumbers.h"

#include <QRegularExpression>

#include <algorithm>

namespace Privacy {
namespace {

bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}
bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}
bool isAsciiAlnum(QChar c)
{
    return isAsciiDigit(c) || isAsciiLetter(c);
}
bool isGap(QChar c)
{
    return c == u' ' || c == u'\u00A0' || c == u'\u202F';
}

/** Spans taken so far; the first finder to take a character keeps it. */
class Claims
{
public:
    bool take(Kind kind, qsizetype start, qsizetype end)
    {
        for (const MaskedSpan &span : m_spans) {
            if (start < span.start + span.length && span.start < end)
                return false;
        }
        m_spans.append({kind, start, end - start, 0, {}});
        return true;
    }
    QList<MaskedSpan> &spans() { return m_spans; }

private:
    QList<MaskedSpan> m_spans;
};

// Letters and digits, as IBANs print them: in groups with single spaces, or in one piece.
void findIbans(QStringView text, Claims &claims)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i + 4 <= n; ++i) {
        if (!isAsciiLetter(text[i]) || !isAsciiLetter(text[i + 1]) || !isAsciiDigit(text[i + 2]) ||
            !isAsciiDigit(text[i + 3]) || (i > 0 && text[i - 1].isLetterOrNumber()))
            continue;
        const int length = CheckDigits::ibanLength(text.sliced(i, 2).toString().toUpper());
        if (length == 0)
            continue;
        QString compact;
        qsizetype j = i;
        while (j < n && compact.size() < length) {
            if (isAsciiAlnum(text[j]))
                compact += text[j++];
            else if (isGap(text[j]) && j + 1 < n && isAsciiAlnum(text[j + 1]))
                ++j;
            else
                break;
        }
        if ((j == n || !text[j].isLetterOrNumber()) && CheckDigits::isIban(compact) && claims.take(Kind::Iban, i, j))
            i = j;
    }
}

void findSocialInsuranceNumbers(const QString &text, Claims &claims)
{
    static const QRegularExpression pattern(
        QStringLiteral(
            R"((?<![\p{L}\p{N}])(\d\d)[ \x{00A0}]?(\d{6})[ \x{00A0}]?([A-Za-z])[ \x{00A0}]?(\d\d)[ \x{00A0}]?(\d)(?![\p{L}\p{N}]))"),
        QRegularExpression::UseUnicodePropertiesOption);
    for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const QString compact =
            match.captured(1) + match.captured(2) + match.captured(3) + match.captured(4) + match.captured(5);
        if (CheckDigits::isSocialInsuranceNumber(compact))
            claims.take(Kind::SocialInsurance, match.capturedStart(), match.capturedEnd());
    }
}

struct Group {
    qsizetype start, end;
};

/** Card numbers and tax IDs: any stretch of whole groups of a run, the longest first. */
void takeNumbersIn(QStringView text, const QList<Group> &run, Claims &claims)
{
    for (qsizetype first = 0; first < run.size(); ++first) {
        QList<std::pair<qsizetype, QString>> stretches; // last group, digits
        QString digits;
        for (qsizetype last = first; last < run.size() && digits.size() <= 19; ++last) {
            digits += text.sliced(run[last].start, run[last].end - run[last].start);
            if (digits.size() >= 11 && digits.size() <= 19)
                stretches.append({last, digits});
        }
        for (auto stretch = stretches.crbegin(); stretch != stretches.crend(); ++stretch) {
            const auto &[last, number] = *stretch;
            const qsizetype start = run[first].start, end = run[last].end;
            if ((CheckDigits::isCardNumber(number) && claims.take(Kind::CardNumber, start, end)) ||
                (CheckDigits::isTaxId(number) && claims.take(Kind::TaxId, start, end))) {
                first = last;
                break;
            }
        }
    }
}

// Digit groups joined by one space or dash. A group glued to a word, a decimal part or a reference
// like "RE-2024-…" is left out, so "4111 1111 1111 1111 12.2026" still holds a card number; a
// run after a "+" is a phone number.
void findNumbers(QStringView text, Claims &claims)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (!isAsciiDigit(text[i])) {
            ++i;
            continue;
        }
        QList<Group> run;
        qsizetype j = i;
        for (;;) {
            qsizetype end = j;
            while (end < n && isAsciiDigit(text[end]))
                ++end;
            run.append({j, end});
            j = end;
            if (end + 1 < n && (isGap(text[end]) || text[end] == u'-') && isAsciiDigit(text[end + 1]))
                j = end + 1;
            else
                break;
        }
        if (j < n && (text[j].isLetterOrNumber() ||
                      (QStringView(u".,").contains(text[j]) && j + 1 < n && text[j + 1].isDigit())))
            run.removeLast();
        if (i > 0 && (text[i - 1].isLetterOrNumber() || QStringView(u"-/.,").contains(text[i - 1])) && !run.isEmpty())
            run.removeFirst();
        if (i == 0 || text[i - 1] != u'+')
            takeNumbersIn(text, run, claims);
        i = j;
    }
}

void findEmails(const QString &text, Claims &claims)
{
    if (!text.contains(u'@'))
        return;
    static const QRegularExpression pattern(
        QStringLiteral(
            R"((?<![\p{L}\p{N}._%+-])[\p{L}\p{N}_%+-][\p{L}\p{N}._%+-]*@[\p{L}\p{N}](?:[\p{L}\p{N}-]*[\p{L}\p{N}])?(?:\.[\p{L}\p{N}](?:[\p{L}\p{N}-]*[\p{L}\p{N}])?)*\.\p{L}{2,}(?![\p{L}\p{N}]))"),
        QRegularExpression::UseUnicodePropertiesOption);
    for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        claims.take(Kind::Email, match.capturedStart(), match.capturedEnd());
    }
}

void findPhoneNumbers(const QString &text, Claims &claims)
{
    // Digits with the characters phone numbers are written with; a dot only in the North American
    // 415.555.0100, so dates and amounts are never candidates; nor are a time's digits. After a
    // dot only what opens with "(" or "+" ("Tel.(030) …"): no decimal or date goes on that way.
    static const QRegularExpression candidate(
        QStringLiteral(
            R"((?<![\p{L}\p{N}+\-/,])(?<!\d:)(?:(?<=\.)(?=[(+])|(?<!\.))(?:[2-9]\d\d\.[2-9]\d\d\.\d{4}|(?:\+|\(\+?)?\d[\d ()\-/\x{00A0}\x{202F}]*\d)(?![\p{L}\p{N}]|[.,:]\d))"),
        QRegularExpression::UseUnicodePropertiesOption);
    // Only a group set apart by a space: "028-1234567-1234567" is one number, all or nothing.
    static const QRegularExpression lastGroup(QStringLiteral(R"([ \x{00A0}\x{202F}][ \-/\x{00A0}\x{202F}(]*\d+\)?$)"));
    for (QRegularExpressionMatchIterator it = candidate.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        const qsizetype start = match.capturedStart();
        const qsizetype lineStart = text.lastIndexOf(u'\n', start) + 1;
        const QStringView before = QStringView(text).sliced(lineStart, start - lineStart);
        // Phone numbers are short: a long run of numbers is tried from its first 32 characters,
        // and a number run on into the next one ("0171 1234567 2024") without its tail.
        QStringView number = match.capturedView();
        if (number.size() > 32) {
            const bool cutInGroup = number[32].isDigit();
            number = number.first(32);
            while (cutInGroup && !number.isEmpty() && number.back().isDigit())
                number.chop(1);
            while (!number.isEmpty() && !number.back().isDigit())
                number.chop(1);
        }
        while (number.size() >= 6) {
            if (isPhoneNumber(number, before)) {
                claims.take(Kind::Phone, start, start + number.size());
                break;
            }
            const qsizetype cut = lastGroup.match(number).capturedStart();
            if (cut <= 0)
                break;
            number = number.first(cut);
        }
    }
}

bool isAddress(const QString &entry)
{
    static const QRegularExpression streetWord(
        QStringLiteral(
            R"((?:stra(?:ß|ss)e|str\.|weg|gasse|allee|platz|chaussee|damm|ufer|markt)(?![\p{L}])|(?<![\p{L}])(?:street|st\.|road|rd\.|avenue|ave\.|lane|drive|ring)(?![\p{L}]))"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::UseUnicodePropertiesOption);
    return std::ranges::any_of(entry, [](QChar c) { return c.isDigit(); }) || streetWord.match(entry).hasMatch();
}

/** One entry as a pattern: umlauts meet their two-letter spellings, ß meets ss, "Str." meets "Straße". */
QString entryPattern(const QString &entry)
{
    static const QRegularExpression separators(QStringLiteral(R"([\s,]+)"),
                                               QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression streetSuffix(QStringLiteral(R"((?:straße|strasse|str\.)$)"));
    static const std::pair<QStringView, QStringView> Spellings[] = {
        {u"ä", u"(?:ä|ae)"}, {u"ae", u"(?:ä|ae)"}, {u"ö", u"(?:ö|oe)"}, {u"oe", u"(?:ö|oe)"},
        {u"ü", u"(?:ü|ue)"}, {u"ue", u"(?:ü|ue)"}, {u"ß", u"(?:ß|ss)"}, {u"ss", u"(?:ß|ss)"},
    };
    QStringList words;
    for (const QString &word : entry.toLower().split(separators, Qt::SkipEmptyParts)) {
        QString stem = word, pattern;
        const bool street = stem.contains(streetSuffix);
        stem.remove(streetSuffix);
        for (qsizetype i = 0; i < stem.size();) {
            const auto spelling = std::ranges::find_if(
                Spellings, [&](const auto &pair) { return QStringView(stem).sliced(i).startsWith(pair.first); });
            if (spelling != std::end(Spellings)) {
                pattern += spelling->second;
                i += spelling->first.size();
            } else {
                pattern += QRegularExpression::escape(stem.sliced(i, 1));
                ++i;
            }
        }
        words.append(street ? pattern + QStringLiteral(R"(str(?:aße|asse|\.))") : pattern);
    }
    return words.join(QStringLiteral(R"([\s,]+)"));
}

struct OwnPatterns {
    QStringList entries;
    QList<std::pair<Kind, QRegularExpression>> patterns;
};

/** The patterns for the last list of own details on this thread: every file comes with the same list. */
const OwnPatterns &ownPatterns(const QStringList &entries)
{
    thread_local OwnPatterns cached;
    if (cached.entries == entries)
        return cached;
    QStringList names, addresses;
    QStringList sorted = entries;
    // Longer entries first, so "Max Mustermann" wins over "Max".
    std::ranges::sort(sorted, std::greater<>{}, [](const QString &entry) { return entry.size(); });
    for (const QString &entry : sorted) {
        if (entry.trimmed().size() >= 2)
            (isAddress(entry) ? addresses : names).append(entryPattern(entry));
    }
    cached = {entries, {}};
    for (const auto &[kind, patterns] : {std::pair{Kind::Address, &addresses}, std::pair{Kind::Name, &names}}) {
        if (!patterns->isEmpty())
            cached.patterns.append(
                {kind, QRegularExpression(QStringLiteral(R"((?<![\p{L}\p{N}])(?:)") + patterns->join(u'|') +
                                              QStringLiteral(R"()(?![\p{L}\p{N}]))"),
                                          QRegularExpression::CaseInsensitiveOption |
                                              QRegularExpression::UseUnicodePropertiesOption)});
    }
    return cached;
}

void findOwnDetails(const QString &text, const QStringList &entries, Claims &claims)
{
    for (const auto &[kind, pattern] : ownPatterns(entries).patterns) {
        for (QRegularExpressionMatchIterator it = pattern.globalMatch(text); it.hasNext();) {
            const QRegularExpressionMatch match = it.next();
            claims.take(kind, match.capturedStart(), match.capturedEnd());
        }
    }
}

} // namespace

std::optional<qsizetype> maskedPosition(const QList<MaskedSpan> &spans, qsizetype start, qsizetype length)
{
    qsizetype shift = 0;
    for (const MaskedSpan &span : spans) {
        if (span.start >= start + length)
            break;
        if (span.start + span.length > start)
            return std::nullopt;
        shift += span.placeholder.size() - span.length;
    }
    return start + shift;
}

qsizetype MaskResult::count(Kind kind) const
{
    return std::ranges::count(spans, kind, &MaskedSpan::kind);
}

QString placeholder(Kind kind)
{
    switch (kind) {
    case Kind::Iban:
        return QStringLiteral("[IBAN]");
    case Kind::CardNumber:
        return QStringLiteral("[Kartennummer]");
    case Kind::TaxId:
        return QStringLiteral("[Steuer-ID]");
    case Kind::SocialInsurance:
        return QStringLiteral("[Sozialversicherungsnummer]");
    case Kind::Email:
        return QStringLiteral("[E-Mail]");
    case Kind::Phone:
        return QStringLiteral("[Telefon]");
    case Kind::Name:
        return QStringLiteral("[Name]");
    case Kind::Address:
        return QStringLiteral("[Adresse]");
    }
    return {};
}

MaskResult mask(const QString &text, const MaskOptions &options)
{
    // Check digits first: they are the surest; the user's own details before phone numbers, so a
    // listed address is masked whole.
    Claims claims;
    findIbans(text, claims);
    findSocialInsuranceNumbers(text, claims);
    findNumbers(text, claims);
    findEmails(text, claims);
    findOwnDetails(text, options.ownDetails, claims);
    findPhoneNumbers(text, claims);

    MaskResult result;
    result.spans = std::move(claims.spans());
    std::ranges::sort(result.spans, {}, &MaskedSpan::start);
    qsizetype from = 0;
    for (MaskedSpan &span : result.spans) {
        result.text += QStringView(text).sliced(from, span.start - from);
        span.placeholder = placeholder(span.kind);
        span.maskedStart = result.text.size();
        result.text += span.placeholder;
        from = span.start + span.length;
    }
    result.text += QStringView(text).sliced(from);
    return result;
}

MaskResult maskFileName(const QString &name, const MaskOptions &options)
{
    // Same length, so the spans hold for the name as it is.
    MaskResult spaced = mask(QString(name).replace(u'_', u' '), options);
    MaskResult result;
    qsizetype from = 0;
    for (MaskedSpan span : std::as_const(spaced.spans)) {
        result.text += QStringView(name).sliced(from, span.start - from);
        span.maskedStart = result.text.size();
        result.text += span.placeholder;
        from = span.start + span.length;
        result.spans.append(span);
    }
    result.text += QStringView(name).sliced(from);
    return result;
}

QList<MaskedSpan> MaskedPrompt::spans() const
{
    QList<MaskedSpan> all = fileName.spans + metadata.spans + excerpt.spans;
    if (nameTemplate)
        all += nameTemplate->spans;
    return all;
}

} // namespace Privacy
