#include "ai/local/localfinders.h"

#include <QRegularExpression>

namespace LocalFinders {
namespace {

constexpr int MinPhoneDigits = 8;
constexpr double HeaderPlace = 0.3;
constexpr double FooterPlace = 0.6;

/** The lengths of IBANs by country, where a run of characters could go on into the next word. */
int ibanLength(QStringView country)
{
    static const QHash<QString, int> lengths{
        {QStringLiteral("DE"), 22}, {QStringLiteral("AT"), 20}, {QStringLiteral("CH"), 21}, {QStringLiteral("NL"), 18},
        {QStringLiteral("BE"), 16}, {QStringLiteral("LU"), 20}, {QStringLiteral("FR"), 27}, {QStringLiteral("IT"), 27},
        {QStringLiteral("ES"), 24}, {QStringLiteral("GB"), 22}, {QStringLiteral("IE"), 22}, {QStringLiteral("DK"), 18},
        {QStringLiteral("PL"), 28}, {QStringLiteral("LI"), 21}, {QStringLiteral("CZ"), 24}, {QStringLiteral("SE"), 24}};
    return lengths.value(country.toString(), 0);
}

bool ibanChecksumHolds(QStringView iban)
{
    const QString rearranged = iban.sliced(4).toString() + iban.first(4).toString();
    int remainder = 0;
    for (const QChar c : rearranged) {
        if (c.isDigit()) {
            remainder = (remainder * 10 + c.digitValue()) % 97;
        } else if (c >= u'A' && c <= u'Z') {
            const int value = c.unicode() - u'A' + 10;
            remainder = (remainder * 100 + value) % 97;
        } else {
            return false;
        }
    }
    return remainder == 1;
}

/** The IBAN that `run` (spaces removed) starts with, or empty. */
QString ibanIn(const QString &run)
{
    if (const int length = ibanLength(QStringView(run).first(2)); length > 0)
        return run.size() >= length && ibanChecksumHolds(QStringView(run).first(length)) ? run.first(length)
                                                                                         : QString();
    for (qsizetype length = std::min<qsizetype>(run.size(), 34); length >= 15; --length) {
        if (ibanChecksumHolds(QStringView(run).first(length)))
            return run.first(length);
    }
    return {};
}

/** Whether one of `set`'s phrases stands in the `words` words before token `at`. */
bool precededBy(const Document &document, const LocalTables::WordSet &set, int at, int words = 2)
{
    const int line = document.tokens()[at].line;
    for (int t = std::max(document.lines()[line].firstToken, at - words); t < at; ++t) {
        if (set.at(document, t))
            return true;
    }
    return false;
}

QString normalisedPhone(QStringView written)
{
    QString number = written.toString();
    number.remove(QStringLiteral("(0)"));
    const bool plus = number.trimmed().startsWith(u'+');
    QString digits;
    for (const QChar c : std::as_const(number)) {
        if (c.isDigit())
            digits += c;
    }
    if (plus)
        return u'+' + digits;
    if (digits.startsWith(QStringLiteral("00")))
        return u'+' + digits.mid(2);
    if (digits.startsWith(u'0'))
        return QStringLiteral("+49") + digits.mid(1); // a national number: German documents are the rule
    return {};
}

void append(QStringList &list, const QString &identifier)
{
    if (!identifier.isEmpty() && !list.contains(identifier))
        list.append(identifier);
}

} // namespace

QString issuerDomain(const QString &host, const Tables &tables)
{
    QString domain = host.trimmed().toLower();
    while (domain.endsWith(u'.') || domain.endsWith(u'>'))
        domain.chop(1);
    const QStringList labels = domain.split(u'.', Qt::SkipEmptyParts);
    if (labels.size() < 2)
        return {};
    const QString lastTwo = labels.mid(labels.size() - 2).join(u'.');
    const qsizetype keep = tables.secondLevelSuffixes.contains(lastTwo) ? 3 : 2;
    domain = labels.mid(std::max<qsizetype>(0, labels.size() - keep)).join(u'.');
    if (tables.freemailDomains.contains(domain) || tables.freemailDomains.contains(labels.join(u'.')))
        return {};
    return domain;
}

QStringList findIdentifiers(const Document &document, const Layout &layout, const Tables &tables, int kind)
{
    // A VAT ID written together ("ATU12345678") or in groups of digits ("DE 123 456 789").
    static const QRegularExpression vatAfterLabel(
        QStringLiteral(R"(\b([A-Z]{2})(?:([0-9A-Z]{8,12})|\s?(\d{2,4}(?:\s\d{2,4}){1,4}))\b)"));
    static const QRegularExpression germanVat(QStringLiteral(R"(\bDE\s?(\d{3})\s?(\d{3})\s?(\d{3})\b)"));
    static const QRegularExpression taxNumber(
        QStringLiteral(R"(\d{2,3}\s?/\s?\d{3,4}\s?/\s?\d{4,5}|\b\d{10,13}\b|\b\d{2,3} \d{3} \d{3} \d{2,5}\b)"));
    static const QRegularExpression phone(QStringLiteral(R"((?:\+|00)?\d[\d /()\-–.]{5,22}\d)"));
    static const QRegularExpression iban(QStringLiteral(R"(\b[A-Z]{2}\d{2}(?:\s?[A-Z0-9]){11,30})"));
    static const QRegularExpression mail(QStringLiteral(R"([A-Za-z0-9._%+\-]+@([A-Za-z0-9\-]+(?:\.[A-Za-z0-9\-]+)+))"));
    static const QRegularExpression web(QStringLiteral(R"(\bwww\.([A-Za-z0-9\-]+(?:\.[A-Za-z0-9\-]+)+))"),
                                        QRegularExpression::CaseInsensitiveOption);

    const bool recipientNumbers = kind >= 0 && tables.kinds[kind].recipientIdentifiers;
    QStringList vat, tax, ibans, mails, phones;
    for (int line = 0; line < document.lines().size(); ++line) {
        if (document.lines()[line].isBlank() || layout.recipient[line])
            continue;
        const QStringView text = document.lineText(line);
        const qsizetype base = document.lines()[line].start;
        bool labelledVat = false;

        for (const auto &label : tables.identifierLabels.inLine(document, line)) {
            if (precededBy(document, tables.customerWords, label.first))
                continue; // "Ihre USt-IdNr.", "Your VAT number": the recipient's
            const qsizetype after = document.tokens()[label.last].end - base;
            const QStringView rest = text.sliced(after);
            switch (*label.value) {
            case LocalTables::IdentifierKind::vat:
                if (const auto match = vatAfterLabel.match(rest); match.hasMatch() && match.capturedStart() < 8) {
                    QString id = match.captured(1) + match.captured(2) + match.captured(3);
                    id.remove(u' ');
                    append(vat, QStringLiteral("vat:") + id);
                    labelledVat = true;
                }
                break;
            case LocalTables::IdentifierKind::tax:
                if (recipientNumbers)
                    break;
                if (const auto match = taxNumber.match(rest); match.hasMatch() && match.capturedStart() < 6)
                    append(tax, QStringLiteral("tax:") + match.captured().remove(u' '));
                break;
            case LocalTables::IdentifierKind::phone:
                if (const auto match = phone.match(rest); match.hasMatch() && match.capturedStart() < 6) {
                    const QString number = normalisedPhone(match.capturedView());
                    if (number.size() > MinPhoneDigits)
                        append(phones, QStringLiteral("tel:") + number);
                }
                break;
            }
        }
        if (!labelledVat) {
            for (auto it = germanVat.globalMatch(text); it.hasNext();) {
                const auto match = it.next();
                const int token = document.tokenFrom(base + match.capturedStart());
                // "Ihre USt-IdNr.: DE…" is the recipient's.
                if (token < document.tokens().size() && !precededBy(document, tables.customerWords, token, 4))
                    append(vat, QStringLiteral("vat:DE") + match.captured(1) + match.captured(2) + match.captured(3));
            }
        }

        // The issuer's own account; a debit from the recipient's account names theirs.
        const bool foreignAccount = tables.foreignAccountWords.inLineAny(document, line) ||
                                    (line > 0 && tables.foreignAccountWords.inLineAny(document, line - 1));
        const bool ownAccount = !recipientNumbers || (layout.bank[line] && document.place(line) > FooterPlace);
        if (!foreignAccount && ownAccount) {
            for (auto it = iban.globalMatch(text); it.hasNext();) {
                QString run = it.next().captured();
                run.remove(u' ');
                append(ibans, QStringLiteral("iban:") + ibanIn(run));
            }
        }

        for (auto it = mail.globalMatch(text); it.hasNext();)
            append(mails, QStringLiteral("mail:") + issuerDomain(it.next().captured(1), tables));
        const double place = document.place(line);
        if (place < HeaderPlace || place > FooterPlace || layout.imprint[line]) {
            for (auto it = web.globalMatch(text); it.hasNext();)
                append(mails, QStringLiteral("mail:") + issuerDomain(it.next().captured(1), tables));
        }
    }
    QStringList identifiers = vat + tax + ibans + mails + phones;
    identifiers.removeIf([](const QString &id) { return id.endsWith(u':'); });
    return identifiers;
}

} // namespace LocalFinders
