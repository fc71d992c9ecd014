#include "einvoicereader.h"

#include "common/unicodetext.h"

#include <QBuffer>
#include <QHash>
#include <QXmlStreamReader>

#include <array>
#include <limits>

namespace EInvoiceReader {
namespace {

using namespace Qt::Literals::StringLiterals;

enum class Field {
    number,
    typeCode,
    issueDate,
    sellerName,
    sellerTradingName, // UBL's PartyName: only when no registered name is given
    sellerVatId,       // CII: an ID with schemeID "VA"
    sellerTaxId,       // UBL: a CompanyID, the VAT ID when its scheme says "VAT"
    sellerTaxScheme,
    currency,
    payable,
    grandTotal, // the total when no amount due is given
};

// One syntax: its root, the namespaces its header elements are in, and where each field is
// (local names from below the root).
struct Syntax {
    EInvoice::Syntax kind;
    QLatin1StringView rootNamespace;
    QLatin1StringView root;
    std::array<QLatin1StringView, 3> namespaces; // besides the root's
    QHash<QString, Field> fields;
};

const QList<Syntax> &syntaxes()
{
    static const QHash<QString, Field> cii{
        {u"ExchangedDocument/ID"_s, Field::number},
        {u"ExchangedDocument/TypeCode"_s, Field::typeCode},
        {u"ExchangedDocument/IssueDateTime/DateTimeString"_s, Field::issueDate},
        {u"SupplyChainTradeTransaction/ApplicableHeaderTradeAgreement/SellerTradeParty/Name"_s, Field::sellerName},
        {u"SupplyChainTradeTransaction/ApplicableHeaderTradeAgreement/SellerTradeParty/SpecifiedTaxRegistration/ID"_s,
         Field::sellerVatId},
        {u"SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/InvoiceCurrencyCode"_s, Field::currency},
        {u"SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/"
         "SpecifiedTradeSettlementHeaderMonetarySummation/DuePayableAmount"_s,
         Field::payable},
        {u"SupplyChainTradeTransaction/ApplicableHeaderTradeSettlement/"
         "SpecifiedTradeSettlementHeaderMonetarySummation/GrandTotalAmount"_s,
         Field::grandTotal},
    };
    // ZUGFeRD 1.0: the same data under the older CII names.
    static const QHash<QString, Field> zugferd1{
        {u"HeaderExchangedDocument/ID"_s, Field::number},
        {u"HeaderExchangedDocument/TypeCode"_s, Field::typeCode},
        {u"HeaderExchangedDocument/IssueDateTime/DateTimeString"_s, Field::issueDate},
        {u"SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeAgreement/SellerTradeParty/Name"_s,
         Field::sellerName},
        {u"SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeAgreement/SellerTradeParty/"
         "SpecifiedTaxRegistration/ID"_s,
         Field::sellerVatId},
        {u"SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeSettlement/InvoiceCurrencyCode"_s,
         Field::currency},
        {u"SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeSettlement/"
         "SpecifiedTradeSettlementMonetarySummation/DuePayableAmount"_s,
         Field::payable},
        {u"SpecifiedSupplyChainTradeTransaction/ApplicableSupplyChainTradeSettlement/"
         "SpecifiedTradeSettlementMonetarySummation/GrandTotalAmount"_s,
         Field::grandTotal},
    };
    static const QHash<QString, Field> ublParty{
        {u"AccountingSupplierParty/Party/PartyLegalEntity/RegistrationName"_s, Field::sellerName},
        {u"AccountingSupplierParty/Party/PartyName/Name"_s, Field::sellerTradingName},
        {u"AccountingSupplierParty/Party/PartyTaxScheme/CompanyID"_s, Field::sellerTaxId},
        {u"AccountingSupplierParty/Party/PartyTaxScheme/TaxScheme/ID"_s, Field::sellerTaxScheme},
        {u"ID"_s, Field::number},
        {u"IssueDate"_s, Field::issueDate},
        {u"DocumentCurrencyCode"_s, Field::currency},
        {u"LegalMonetaryTotal/PayableAmount"_s, Field::payable},
        {u"LegalMonetaryTotal/TaxInclusiveAmount"_s, Field::grandTotal},
    };
    static const auto ubl = [](const QString &typeCodeElement) {
        QHash<QString, Field> fields = ublParty;
        fields.insert(typeCodeElement, Field::typeCode);
        return fields;
    };
    constexpr QLatin1StringView cbc{"urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2"};
    constexpr QLatin1StringView cac{"urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2"};
    static const QList<Syntax> all{
        {EInvoice::Syntax::cii,
         "urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100"_L1,
         "CrossIndustryInvoice"_L1,
         {"urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100"_L1,
          "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100"_L1,
          "urn:un:unece:uncefact:data:standard:QualifiedDataType:100"_L1},
         cii},
        {EInvoice::Syntax::cii,
         "urn:ferd:CrossIndustryDocument:invoice:1p0"_L1,
         "CrossIndustryDocument"_L1,
         {"urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:12"_L1,
          "urn:un:unece:uncefact:data:standard:UnqualifiedDataType:15"_L1,
          "urn:un:unece:uncefact:data:standard:QualifiedDataType:12"_L1},
         zugferd1},
        {EInvoice::Syntax::ubl,
         "urn:oasis:names:specification:ubl:schema:xsd:Invoice-2"_L1,
         "Invoice"_L1,
         {cbc, cac, {}},
         ubl(u"InvoiceTypeCode"_s)},
        {EInvoice::Syntax::ubl,
         "urn:oasis:names:specification:ubl:schema:xsd:CreditNote-2"_L1,
         "CreditNote"_L1,
         {cbc, cac, {}},
         ubl(u"CreditNoteTypeCode"_s)},
    };
    return all;
}

const Syntax *syntaxOf(const QXmlStreamReader &root)
{
    for (const Syntax &syntax : syntaxes()) {
        if (root.name() == syntax.root && root.namespaceUri() == syntax.rootNamespace)
            return &syntax;
    }
    return nullptr;
}

// Header fields sit a few levels down; deeper elements are never looked up (and their paths,
// which grow with the depth, are not built).
constexpr qsizetype MaxFieldDepth = 12;
// A field's text is a name, a number or a code; anything longer is cut before it is kept.
constexpr qsizetype MaxFieldLength = 512;
constexpr qsizetype MaxKeptLength = 200;

QString cleaned(const QString &text)
{
    return UnicodeText::leftGraphemes(text.simplified(), MaxKeptLength);
}

std::optional<QDate> dateOf(const QString &text, EInvoice::Syntax syntax, QStringView format)
{
    const QString value = text.trimmed();
    QDate date;
    if (syntax == EInvoice::Syntax::ubl) // xs:date, perhaps with a time zone
        date = QDate::fromString(value.left(10), u"yyyy-MM-dd"_s);
    else if ((format.isEmpty() || format == u"102") && value.size() == 8)
        date = QDate::fromString(value, u"yyyyMMdd"_s);
    return date.isValid() ? std::optional(date) : std::nullopt;
}

// The state of one read: the open elements, the field being read and what was found.
class Walk final
{
public:
    Walk(const Syntax &syntax, qsizetype maxTextLength)
        : m_syntax(syntax)
        , m_maxTextLength(maxTextLength)
    {
    }

    void start(const QXmlStreamReader &reader);
    void characters(QStringView text);
    void end();
    [[nodiscard]] std::optional<Reading> result() &&;

private:
    void found(Field field, const QString &text);
    void collect(QStringView text);

    struct Open {
        QString path; // local names below the root, "/"-joined; empty once off the known namespaces
        bool binary;  // an embedded file's content: not text
    };
    const Syntax &m_syntax;
    const qsizetype m_maxTextLength;
    QList<Open> m_open;
    std::optional<Field> m_field;
    QString m_fieldText;
    QString m_dateFormat;
    QString m_amountCurrency;
    QHash<Field, QString> m_values; // the first value of each field
    std::optional<QDate> m_issueDate;
    QString m_payableCurrency, m_totalCurrency;
    QString m_taxId, m_taxScheme; // of the supplier's tax scheme being read (UBL)
    QString m_text;
    bool m_textFull = false;
    int m_binaryDepth = 0;
};

void Walk::start(const QXmlStreamReader &reader)
{
    const QStringView name = reader.name();
    const bool binary = name.endsWith(u"BinaryObject");
    m_binaryDepth += binary ? 1 : 0;
    if (m_open.isEmpty()) { // the root
        m_open.append({QString(), binary});
        return;
    }
    const Open &parent = m_open.last();
    const bool rootChild = m_open.size() == 1;
    const QStringView uri = reader.namespaceUri();
    QString path;
    const bool known = uri == m_syntax.rootNamespace || std::ranges::any_of(m_syntax.namespaces, [&](auto known) {
                           return !known.isEmpty() && uri == known;
                       });
    if (known && m_open.size() <= MaxFieldDepth && (rootChild || !parent.path.isEmpty()))
        path = rootChild ? name.toString() : parent.path + u'/' + name.toString();
    m_open.append({path, binary});
    m_field.reset();
    if (path.isEmpty())
        return;
    const auto field = m_syntax.fields.constFind(path);
    if (field == m_syntax.fields.cend())
        return;
    if (*field == Field::sellerVatId && reader.attributes().value(u"schemeID"_s) != u"VA")
        return; // a tax number ("FC"), not the VAT ID
    m_field = *field;
    m_fieldText.clear();
    m_dateFormat = reader.attributes().value(u"format"_s).toString();
    m_amountCurrency = reader.attributes().value(u"currencyID"_s).toString().trimmed();
}

void Walk::characters(QStringView text)
{
    if (m_field && m_fieldText.size() < MaxFieldLength)
        m_fieldText += text.left(MaxFieldLength - m_fieldText.size());
    if (m_binaryDepth == 0)
        collect(text);
}

void Walk::collect(QStringView text)
{
    if (m_textFull || m_maxTextLength <= 0)
        return;
    text = text.trimmed();
    if (text.isEmpty())
        return;
    if (!m_text.isEmpty())
        m_text += u' ';
    m_text += text.left(m_maxTextLength - m_text.size());
    m_textFull = m_text.size() >= m_maxTextLength;
}

void Walk::end()
{
    if (m_field)
        found(*m_field, std::exchange(m_fieldText, QString()));
    m_field.reset();
    if (m_open.isEmpty())
        return;
    const Open closed = m_open.takeLast();
    m_binaryDepth -= closed.binary ? 1 : 0;
    if (closed.path == u"AccountingSupplierParty/Party/PartyTaxScheme") {
        if (m_taxScheme.compare(u"VAT", Qt::CaseInsensitive) == 0 && !m_taxId.isEmpty() &&
            !m_values.contains(Field::sellerVatId))
            m_values.insert(Field::sellerVatId, m_taxId);
        m_taxId.clear();
        m_taxScheme.clear();
    }
}

void Walk::found(Field field, const QString &text)
{
    const QString value = cleaned(text);
    if (value.isEmpty())
        return;
    switch (field) {
    case Field::sellerTaxId:
        m_taxId = value;
        return;
    case Field::sellerTaxScheme:
        m_taxScheme = value;
        return;
    case Field::issueDate:
        if (!m_issueDate)
            m_issueDate = dateOf(value, m_syntax.kind, m_dateFormat);
        return;
    case Field::payable:
    case Field::grandTotal:
        if (m_values.contains(field) || !centsOf(value))
            return;
        (field == Field::payable ? m_payableCurrency : m_totalCurrency) = m_amountCurrency;
        break;
    default:
        break;
    }
    if (!m_values.contains(field))
        m_values.insert(field, value);
}

std::optional<Reading> Walk::result() &&
{
    EInvoice invoice;
    invoice.syntax = m_syntax.kind;
    invoice.number = m_values.value(Field::number);
    invoice.typeCode = m_values.value(Field::typeCode);
    if (invoice.typeCode.isEmpty() && m_syntax.root == "CreditNote"_L1)
        invoice.typeCode = u"381"_s;
    invoice.issueDate = m_issueDate;
    invoice.sellerName = m_values.value(Field::sellerName, m_values.value(Field::sellerTradingName));
    invoice.sellerVatId = m_values.value(Field::sellerVatId);
    const bool payable = m_values.contains(Field::payable);
    invoice.totalCents = centsOf(m_values.value(payable ? Field::payable : Field::grandTotal));
    invoice.currency = m_values.value(Field::currency, payable ? m_payableCurrency : m_totalCurrency);
    if (invoice.number.isEmpty() && invoice.sellerName.isEmpty() && !invoice.issueDate && !invoice.totalCents)
        return std::nullopt;
    return Reading{invoice, std::move(m_text)};
}

} // namespace

Status read(const QByteArray &xml, Reading &reading, qsizetype maxTextLength)
{
    if (xml.size() > MaxBytes)
        return Status::tooLarge;
    // Through a device the reader decodes a few kilobytes at a time instead of the whole file.
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    std::optional<Walk> walk;
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::DTD:
            return Status::doctype;
        case QXmlStreamReader::StartElement:
            if (!walk) {
                const Syntax *syntax = syntaxOf(reader);
                if (!syntax)
                    return Status::notInvoice;
                walk.emplace(*syntax, maxTextLength);
            }
            walk->start(reader);
            break;
        case QXmlStreamReader::Characters:
            if (walk)
                walk->characters(reader.text());
            break;
        case QXmlStreamReader::EndElement:
            walk->end();
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        return Status::malformed;
    if (!walk)
        return Status::notInvoice;
    std::optional<Reading> read = std::move(*walk).result();
    if (!read)
        return Status::notInvoice;
    reading = *std::move(read);
    return Status::invoice;
}

bool hasInvoiceRoot(const QByteArray &xml)
{
    QBuffer device;
    device.setData(xml);
    device.open(QIODevice::ReadOnly);
    QXmlStreamReader reader(&device);
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement:
            return syntaxOf(reader) != nullptr;
        case QXmlStreamReader::DTD:
            return false;
        default:
            break;
        }
    }
    return false;
}

std::optional<qint64> centsOf(QStringView decimal)
{
    decimal = decimal.trimmed();
    bool negative = false;
    if (decimal.startsWith(u'-') || decimal.startsWith(u'+')) {
        negative = decimal.front() == u'-';
        decimal = decimal.mid(1);
    }
    const qsizetype point = decimal.indexOf(u'.');
    const QStringView whole = point < 0 ? decimal : decimal.left(point);
    const QStringView fraction = point < 0 ? QStringView() : decimal.mid(point + 1);
    const auto digits = [](QStringView part) {
        return std::ranges::all_of(part, [](QChar c) { return c >= u'0' && c <= u'9'; });
    };
    // 15 digits of whole units stay far inside a qint64 of cents.
    if (whole.size() + fraction.size() == 0 || whole.size() > 15 || !digits(whole) || !digits(fraction))
        return std::nullopt;
    qint64 cents = 0;
    for (const QChar c : whole)
        cents = cents * 10 + (c.unicode() - u'0');
    for (qsizetype i = 0; i < 2; ++i)
        cents = cents * 10 + (i < fraction.size() ? fraction[i].unicode() - u'0' : 0);
    if (fraction.size() > 2 && fraction[2] >= u'5')
        ++cents;
    return negative ? -cents : cents;
}

namespace {

QString kindOf(const QString &typeCode)
{
    // UNTDID 1001 as the German XRechnung code list names them.
    static const QHash<QString, QString> kinds{
        {u"326"_s, u"Teilrechnung"_s},
        {u"380"_s, u"Rechnung"_s},
        {u"381"_s, u"Gutschrift"_s},
        {u"384"_s, u"Rechnungskorrektur"_s},
        {u"386"_s, u"Vorauszahlungsrechnung"_s},
        {u"389"_s, u"Selbst ausgestellte Rechnung"_s},
        {u"875"_s, u"Teilbaurechnung"_s},
        {u"876"_s, u"Teilschlussrechnung"_s},
        {u"877"_s, u"Schlussrechnung"_s},
    };
    return kinds.value(typeCode, u"Rechnung"_s);
}

// "1.234,56": German digit grouping, independent of the helper's locale.
QString germanAmount(qint64 cents)
{
    const bool negative = cents < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(cents) : quint64(cents);
    QString whole = QString::number(magnitude / 100);
    for (qsizetype i = whole.size() - 3; i > 0; i -= 3)
        whole.insert(i, u'.');
    return (negative ? u"-"_s : QString()) + whole + u',' + QString::number(magnitude % 100).rightJustified(2, u'0');
}

} // namespace

QString summary(const EInvoice &invoice)
{
    QString heading = kindOf(invoice.typeCode);
    if (!invoice.number.isEmpty())
        heading += u' ' + invoice.number;
    if (invoice.issueDate)
        heading += u" vom "_s + invoice.issueDate->toString(u"dd.MM.yyyy"_s);
    QStringList lines{heading};
    if (!invoice.sellerName.isEmpty())
        lines << u"Verkäufer: "_s + invoice.sellerName;
    if (!invoice.sellerVatId.isEmpty())
        lines << u"USt-IdNr.: "_s + invoice.sellerVatId;
    if (invoice.totalCents) {
        QString amount = u"Betrag: "_s + germanAmount(*invoice.totalCents);
        if (!invoice.currency.isEmpty())
            amount += u' ' + invoice.currency;
        lines << amount;
    }
    return lines.join(u'\n');
}

} // namespace EInvoiceReader
