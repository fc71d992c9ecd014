#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include <QSignalSpy>
#include <QTest>

namespace {

void putAll(DefaultsStore &store, const QVariantMap &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QVariant &v = it.value();
        if (v.typeId() == QMetaType::Int)
            store.setInteger(it.key(), v.toLongLong());
        else if (v.typeId() == QMetaType::QString)
            store.setString(it.key(), v.toString());
        else if (v.typeId() == QMetaType::QVariantList)
            store.setArray(it.key(), v.toList());
        else
            store.setBytes(it.key(), v.toByteArray());
    }
}

QStringList describe(const QList<RegexRule> &rules)
{
    QStringList result;
    for (const RegexRule &r : rules)
        result << r.pattern + u'|' + r.replacement + QString(r.enabled ? "|on" : "|off");
    return result;
}

// A stored rule list (kept out of the class: moc does not know raw-string delimiters).
const QByteArray OrderAndFlags =
    R"j([{"pattern":"b","replacement":"","enabled":false},{"replacement":1},{"pattern":"a","replacement":"$1"}])j";

} // namespace

class TestRenameRules final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // What a load makes of stored values; what it makes of none (the defaults) shows in tst_namebuilder's names.
    void loading_data()
    {
        QTest::addColumn<QVariantMap>("stored");
        QTest::addColumn<QString>("property");
        QTest::addColumn<QVariant>("expected");
        const auto row = [](const char *name, const QString &key, const QVariant &stored, const QVariant &expected) {
            QVariantMap map;
            map.insert("rules." + (key == "regexRules" ? "regex" : key), stored);
            QTest::newRow(name) << map << key << expected;
        };
        const QVariant defaultCategories = RenameRules::defaultCategories();
        const QStringList defaultRules = describe(RenameRules::defaultRegexRules());
        row("empty format kept", "format", "", "");
        row("space separator", "separator", " ", "_");
        row("maxLength 0", "maxLength", 0, 80);
        row("maxLength 1", "maxLength", 1, 1);
        row("categories empty", "categories", QVariantList{}, QStringList{});
        row("categories mixed", "categories", QVariantList{"a", 1}, defaultCategories);
        row("regex lacking replacement", "regexRules", QByteArray(R"([{"pattern":"x"}])"), QStringList{});
        row("regex keeps order and flags", "regexRules", OrderAndFlags, QStringList{"b||off", "a|$1|on"});
        row("regex invalid JSON", "regexRules", QByteArray("[{"), defaultRules);
        row("regex top-level object", "regexRules", QByteArray(R"({"pattern":"x","replacement":"y"})"), defaultRules);
        row("regex empty array", "regexRules", QByteArray("[]"), QStringList{});
    }

    void loading()
    {
        QFETCH(QVariantMap, stored);
        QFETCH(QString, property);
        DefaultsStore store;
        putAll(store, stored);
        const RenameRules rules(store);
        QVariant actual = rules.property(property.toLatin1().constData());
        if (property == u"separator")
            actual = rawValue(rules.separator());
        else if (property == u"regexRules")
            actual = describe(rules.regexRules());
        else if (property == u"maxLength")
            actual = int(rules.maxLength());
        QTEST(actual, "expected");
    }

    // Every setter writes at once, an equal value too, and announces only a change; the rule list
    // always announces. Which property signal fires is what the rules tab follows (tst_settingswindow).
    void writeThroughAndNotification()
    {
        DefaultsStore store;
        RenameRules rules(store);
        QSignalSpy changed(&rules, &RenameRules::changed);
        QVERIFY(!store.contains("rules.format")); // loading writes nothing
        rules.setFormat(RenameRules::defaultFormat());
        QCOMPARE(store.stringValue("rules.format"), RenameRules::defaultFormat());
        QCOMPARE(changed.count(), 0);
        rules.setRegexRules(rules.regexRules());
        QCOMPARE(changed.count(), 1);
        rules.setMaxLength(0);
        QCOMPARE(rules.maxLength(), 0); // as assigned; 80 only at the next load (loading)

        const QList<RegexRule> list{{QUuid::createUuid(), "a(\\d)", "$1\\$", false},
                                    {QUuid::createUuid(), "ü", "ue", true}};
        rules.setFormat("{beschreibung}");
        rules.setDateFormat(DateFormatStyle::us);
        rules.setCasing(CasingStyle::titlecase);
        rules.setSeparator(SeparatorStyle::dot);
        rules.setPrefix("P");
        rules.setSuffix("S");
        rules.setMaxLength(42);
        rules.setReplaceUmlauts(false);
        rules.setCategories({"eins", "zwei"});
        rules.setRegexRules(list);
        QCOMPARE(changed.count(), 12);
        const RenameRules reloaded(store);
        QCOMPARE(QStringList({reloaded.format(), rawValue(reloaded.dateFormat()), rawValue(reloaded.casing()),
                              rawValue(reloaded.separator()), reloaded.prefix(), reloaded.suffix(),
                              QString::number(reloaded.maxLength()), QString::number(reloaded.replaceUmlauts())}),
                 QStringList({"{beschreibung}", "MM-DD-YYYY", "Title Case", ".", "P", "S", "42", "0"}));
        QCOMPARE(reloaded.categories(), (QStringList{"eins", "zwei"}));
        QCOMPARE(describe(reloaded.regexRules()), describe(list));
    }

    // The one rulebook every face asks: categories are kept clean, a pattern must compile, a
    // length must be positive (the tab's 20–200 is the tab's).
    void rulebook()
    {
        DefaultsStore store;
        RenameRules rules(store);
        rules.setCategories({"  Rechnung ", "rechnung", "", "Vertrag\u00a0", "RECHNUNG", "Kündigung"});
        QCOMPARE(rules.categories(), (QStringList{"Rechnung", "Vertrag", "Kündigung"}));
        QCOMPARE(RenameRules::regexProblem("^IMG_(\\d+)"), std::nullopt);
        QCOMPARE(RenameRules::regexProblem("(ungeschlossen"), "„(ungeschlossen“ ist kein gültiger regulärer Ausdruck.");
        QVERIFY(RenameRules::regexProblem(QString()));
        QCOMPARE(RenameRules::maxLengthProblem(7), std::nullopt);
        QCOMPARE(RenameRules::maxLengthProblem(-5),
                 "Die höchste Namenslänge muss mindestens 1 Zeichen sein (angegeben: -5).");
    }
};

QTEST_GUILESS_MAIN(TestRenameRules)
#include "tst_renamerules.moc"
