#include "localtables.h"

#include "naming/naminglog.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace LocalTables {
namespace {

QJsonObject readTable(const QString &name)
{
    QFile file(QStringLiteral(":/localnamer/") + name);
    if (!file.open(QIODevice::ReadOnly)) {
        qCWarning(lcNaming) << "table missing:" << name;
        return {};
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll(), &error);
    if (!document.isObject()) {
        qCWarning(lcNaming) << "table unreadable:" << name << error.errorString();
        return {};
    }
    return document.object();
}

QStringList strings(const QJsonValue &value)
{
    QStringList list;
    for (const QJsonValue &item : value.toArray()) {
        if (item.isString())
            list.append(item.toString());
    }
    return list;
}

void addWords(WordSet &set, const QJsonValue &value)
{
    for (const QString &phrase : strings(value))
        set.insert(phrase, 1);
}

void addSuffixes(WordSet &set, const QJsonValue &value)
{
    for (const QString &suffix : strings(value))
        set.insertSuffix(suffix, 1);
}

void addWeights(LocalText::Lexicon<int> &lexicon, const QJsonValue &value)
{
    const QJsonObject weights = value.toObject();
    for (auto it = weights.begin(); it != weights.end(); ++it)
        lexicon.insert(it.key(), it.value().toInt());
}

void loadSenders(Tables &t, const QJsonObject &o)
{
    addWords(t.closings, o[u"closings"]);
    addWords(t.senderLabels, o[u"senderLabels"]);
    addWords(t.recipientMarkers, o[u"recipientMarkers"]);
    addWords(t.recipientLabels, o[u"recipientLabels"]);
    addWords(t.imprintMarkers, o[u"imprintMarkers"]);
    addWords(t.bankMarkers, o[u"bankMarkers"]);
    addWords(t.bankWords, o[u"bankWords"]);
    addSuffixes(t.bankWords, o[u"bankSuffixes"]);
    addWords(t.organisationWords, o[u"organisationWords"]);
    addSuffixes(t.organisationWords, o[u"organisationSuffixes"]);
    addWords(t.salutations, o[u"salutations"]);
    addWords(t.signatureWords, o[u"signatureWords"]);
    addWords(t.notNames, o[u"notNames"]);
    addWords(t.customerWords, o[u"customerWords"]);
    addWords(t.foreignAccountWords, o[u"foreignAccountWords"]);
    addWords(t.partyWords, o[u"partyWords"]);
    addWords(t.addressNames, o[u"addressNames"]);
    const QJsonObject labels = o[u"identifierLabels"].toObject();
    for (const auto &[key, kind] : {std::pair{u"vat", IdentifierKind::vat}, std::pair{u"tax", IdentifierKind::tax},
                                    std::pair{u"phone", IdentifierKind::phone}}) {
        for (const QString &phrase : strings(labels[QStringView(key)]))
            t.identifierLabels.insert(phrase, kind);
    }
}

void loadKinds(Tables &t, const QJsonObject &o)
{
    const QJsonArray kinds = o[u"kinds"].toArray();
    QStringList parents;
    for (const QJsonValue &value : kinds) {
        const QJsonObject k = value.toObject();
        Kind kind;
        kind.name = k[u"kind"].toString();
        kind.categories = strings(k[u"categories"]);
        kind.total = k[u"total"].toBool();
        kind.recipientIdentifiers = k[u"recipientIdentifiers"].toBool();
        kind.media = k[u"media"].toString();
        parents.append(k[u"parent"].toString());
        const int index = int(t.kinds.size());
        t.kinds.append(kind);
        for (const QString &title : strings(k[u"titles"])) {
            t.kindWords[title].append({index, 10, true});
            t.kinds[index].titles.append(LocalText::foldedWords(title).join(QString()));
        }
        for (const QString &suffix : strings(k[u"titleSuffixes"])) {
            t.kindWords.insertSuffix(suffix, {{index, 10, true}});
            t.kinds[index].titles.append(LocalText::foldedWords(suffix).join(QString()));
        }
        const QJsonObject hints = k[u"hints"].toObject();
        for (auto it = hints.begin(); it != hints.end(); ++it)
            t.kindWords[it.key()].append({index, it.value().toInt(), false});
    }
    for (qsizetype i = 0; i < t.kinds.size(); ++i)
        t.kinds[i].parent = parents[i].isEmpty() ? -1 : t.kindIndex(parents[i]);
}

Tables load()
{
    Tables t;
    for (const char *language : {"de", "en"}) {
        const QString suffix = QLatin1StringView(language) + QStringLiteral(".json");
        const QJsonObject dates = readTable(QStringLiteral("dates.") + suffix);
        addWeights(t.dateLabels, dates[u"labels"]);
        addWeights(t.deliveryNoteDateLabels, dates[u"deliveryNote"]);
        const QJsonObject amounts = readTable(QStringLiteral("amounts.") + suffix);
        addWeights(t.amountLabels, amounts[u"labels"]);
        addWeights(t.payslipAmountLabels, amounts[u"payslip"]);
        loadSenders(t, readTable(QStringLiteral("senders.") + suffix));
        const QJsonObject descriptions = readTable(QStringLiteral("descriptions.") + suffix);
        addWords(t.subjectLabels, descriptions[u"subjectLabels"]);
        addWords(t.replyPrefixes, descriptions[u"replyPrefixes"]);
        addWords(t.fillers, descriptions[u"fillers"]);
        addWords(t.numberLabels, descriptions[u"numberLabels"]);
    }
    const QJsonObject legal = readTable(QStringLiteral("legalforms.json"));
    addWords(t.legalForms, legal[u"forms"]);
    addWords(t.trailingWords, legal[u"trailingWords"]);
    const QJsonObject mail = readTable(QStringLiteral("freemail.json"));
    for (const QString &domain : strings(mail[u"domains"]))
        t.freemailDomains.insert(domain.toLower());
    for (const QString &suffix : strings(mail[u"secondLevel"]))
        t.secondLevelSuffixes.insert(suffix.toLower());
    loadKinds(t, readTable(QStringLiteral("kinds.json")));
    return t;
}

} // namespace

int Tables::kindIndex(const QString &name) const
{
    for (qsizetype i = 0; i < kinds.size(); ++i) {
        if (kinds[i].name == name)
            return int(i);
    }
    return -1;
}

const Tables &get()
{
    static const Tables tables = load();
    return tables;
}

} // namespace LocalTables
