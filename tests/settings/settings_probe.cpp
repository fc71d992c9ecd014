// Run by tst_settingsrestart: "write" assigns settings through the shared instances and exits;
// "read" prints what a fresh process loads, as JSON on standard output.
#include "naming/namebuilder.h"
#include "naming/renamerules.h"
#include "settings/appsettings.h"
#include "settings/defaultsstore.h"
#include "settings/generalflags.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    RenameRules &rules = RenameRules::shared();
    AppSettings &settings = AppSettings::shared();
    DefaultsStore &store = DefaultsStore::standard();

    if (mode == u"write") {
        rules.setFormat("{absender}{sep}{beschreibung}");
        rules.setDateFormat(DateFormatStyle::de);
        rules.setCasing(CasingStyle::uppercase);
        rules.setSeparator(SeparatorStyle::dash);
        rules.setPrefix("Ä");
        rules.setMaxLength(42);
        rules.setReplaceUmlauts(false);
        rules.setCategories({"rechnung", "quittung"});
        rules.setRegexRules({RegexRule{QUuid::createUuid(), "TELEKOM", "T", true}});
        settings.setApiEnabled(false);
        settings.setApiPort(50000);
        settings.setApiToken("geheim");
        settings.setKvxEnabled(false);
        settings.setKvxPort(50001);
        settings.setKvxToken("kvx");
        GeneralFlags::autoRename.write(store, true);
        GeneralFlags::showMenuBar.write(store, false);
        GeneralFlags::acceptLegal(store, QDateTime::fromSecsSinceEpoch(1760000000, Qt::UTC));
        return 0; // the store's destructor writes the last change at exit
    }

    QJsonObject flags;
    for (const BoolFlag &flag : GeneralFlags::all)
        flags.insert(flag.keyString(), flag.read(store));
    const auto legalDate = GeneralFlags::legalAcceptanceDate(store);
    const QJsonObject out{
        {"preview", NameBuilder::previewFileName(rules)},
        {"categories", QJsonArray::fromStringList(rules.categories())},
        {"maxLength", rules.maxLength()},
        {"api", QString("%1 %2 %3").arg(settings.apiEnabled()).arg(settings.apiPort()).arg(settings.apiToken())},
        {"kvx", QString("%1 %2 %3").arg(settings.kvxEnabled()).arg(settings.kvxPort()).arg(settings.kvxToken())},
        {"flags", flags},
        {"legalAcceptanceDate", legalDate ? legalDate->toUTC().toString(Qt::ISODate) : QString()},
        {"loadProblem", !store.loadProblem().isEmpty()},
    };
    std::fputs(QJsonDocument(out).toJson(QJsonDocument::Compact).constData(), stdout);
    return 0;
}
