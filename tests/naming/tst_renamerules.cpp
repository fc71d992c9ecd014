#include "naming/renamerules.h"
#include "settings/defaultsstore.h"

#include <QSignalSpy>
#include <QTest>

namespace {

void putAll(DefaultsStore &store, const QVariantMap &values)
{
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        const QVariant &v = it.value();
        switch (v.typeId()) {
        case QMetaType::Bool:
            store.setBool(it.key(), v.toBool());
            break;
        case QMetaType::Int:
        case QMetaType::LongLong:
            store.setInteger(it.key(), v.toLongLong());
            break;
        case QMetaType::QString:
            store.setString(it.key(), v.toString());
            break;
        case QMetaType::QVariantList:
            store.setArray(it.key(), v.toList());
            break;
        case QMetaType::QByteArray:
            store.setBytes(it.key(), v.toByteArray());
            break;
        default:
            QFAIL("unsupported stored type");
        }
    }
}

QStringList describe(const QList<RegexRule> &rules)
{
    QStringList result;
    for (const RegexRule &r : rules)
        result << r.pattern + u'|' + r.replacement + QString(r.enabled ? "|on" : "|off");
    return result;
}

const QStringList DefaultRules{R"(^IMG_\d+_?||on)", R"(^DSC_?\d+_?||on)", R"(^DCIM_?\d+_?||on)", R"(\s*\(\d+\)$||on)"};

} // namespace

class TestRenameRules final : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loading_data();
    void loading();
    void writeThroughAndNotification();
    void regexRulesSurviveReload();
};

void TestRenameRules::loading_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("property");
    QTest::addColumn<QVariant>("expected");

    const QVariant defaultCategories = RenameRules::defaultCategories();
    QTest::newRow("default format") << QVariantMap{} << "format" << QVariant("{datum}{sep}{kategorie}{sep}{beschreibung}");
    QTest::newRow("empty format kept") << QVariantMap{{"rules.format", ""}} << "format" << QVariant("");
    QTest::newRow("default date style") << QVariantMap{} << "dateFormat" << QVariant("YYYY-MM-DD");
    QTest::newRow("raw value in wrong case") << QVariantMap{{"rules.dateFormat", "dd.mm.yyyy"}} << "dateFormat"
                                             << QVariant("YYYY-MM-DD");
    QTest::newRow("casing default") << QVariantMap{} << "casing" << QVariant("kleinbuchstaben");
    QTest::newRow("space separator") << QVariantMap{{"rules.separator", " "}} << "separator" << QVariant("_");
    QTest::newRow("separator stored as number") << QVariantMap{{"rules.separator", 5}} << "separator" << QVariant("_");
    QTest::newRow("maxLength 0") << QVariantMap{{"rules.maxLength", 0}} << "maxLength" << QVariant(80);
    QTest::newRow("maxLength -5") << QVariantMap{{"rules.maxLength", -5}} << "maxLength" << QVariant(80);
    QTest::newRow("maxLength 1") << QVariantMap{{"rules.maxLength", 1}} << "maxLength" << QVariant(1);
    QTest::newRow("umlauts absent") << QVariantMap{} << "replaceUmlauts" << QVariant(true);
    QTest::newRow("umlauts false") << QVariantMap{{"rules.replaceUmlauts", false}} << "replaceUmlauts" << QVariant(false);
    QTest::newRow("categories absent") << QVariantMap{} << "categories" << defaultCategories;
    QTest::newRow("categories empty") << QVariantMap{{"rules.categories", QVariantList{}}} << "categories"
                                      << QVariant(QStringList{});
    QTest::newRow("categories mixed") << QVariantMap{{"rules.categories", QVariantList{"a", 1}}} << "categories"
                                      << defaultCategories;
    QTest::newRow("categories stored") << QVariantMap{{"rules.categories", QVariantList{"x", "y"}}} << "categories"
                                       << QVariant(QStringList{"x", "y"});

    auto regexRow = [](const char *name, const QVariant &stored, const QStringList &expected) {
        QVariantMap map;
        if (stored.isValid())
            map.insert("rules.regex", stored);
        QTest::newRow(name) << map << "regexRules" << QVariant(expected);
    };
    regexRow("regex absent", {}, DefaultRules);
    regexRow("regex lacking replacement", QByteArray(R"j([{"pattern":"x"}])j"), {});
    regexRow("regex one rule", QByteArray(R"j([{"pattern":"x","replacement":"y"}])j"), {"x|y|on"});
    regexRow("regex enabled not a bool", QByteArray(R"j([{"pattern":"x","replacement":"y","enabled":"no"}])j"),
             {"x|y|on"});
    regexRow("regex keeps order and flags",
             QByteArray(R"j([{"pattern":"b","replacement":"","enabled":false},{"replacement":1},{"pattern":"a","replacement":"$1"}])j"),
             {"b||off", "a|$1|on"});
    regexRow("regex invalid JSON", QByteArray("[{"), DefaultRules);
    regexRow("regex top-level object", QByteArray(R"j({"pattern":"x","replacement":"y"})j"), DefaultRules);
    regexRow("regex empty array", QByteArray("[]"), {});
    regexRow("regex stored as string", QVariant("[]"), DefaultRules);
}

void TestRenameRules::loading()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, property);
    QFETCH(QVariant, expected);

    DefaultsStore store;
    putAll(store, stored);
    const RenameRules rules(store);
    QVariant actual;
    if (property == u"dateFormat")
        actual = rawValue(rules.dateFormat());
    else if (property == u"casing")
        actual = rawValue(rules.casing());
    else if (property == u"separator")
        actual = rawValue(rules.separator());
    else if (property == u"regexRules")
        actual = describe(rules.regexRules());
    else if (property == u"maxLength")
        actual = int(rules.maxLength());
    else
        actual = rules.property(property.toLatin1().constData());
    QCOMPARE(actual, expected);
}

void TestRenameRules::writeThroughAndNotification()
{
    DefaultsStore store;
    RenameRules rules(store);
    QSignalSpy formatSpy(&rules, &RenameRules::formatChanged);
    QSignalSpy changedSpy(&rules, &RenameRules::changed);
    QSignalSpy maxSpy(&rules, &RenameRules::maxLengthChanged);
    QSignalSpy regexSpy(&rules, &RenameRules::regexRulesChanged);

    // An equal value is written but not announced.
    QVERIFY(!store.contains("rules.format"));
    rules.setFormat(RenameRules::defaultFormat());
    QCOMPARE(store.stringValue("rules.format"), RenameRules::defaultFormat());
    QCOMPARE(formatSpy.count(), 0);
    rules.setFormat("{beschreibung}");
    QCOMPARE(formatSpy.count(), 1);
    QCOMPARE(changedSpy.count(), 1);

    rules.setDateFormat(DateFormatStyle::us);
    rules.setCasing(CasingStyle::titlecase);
    rules.setSeparator(SeparatorStyle::dot);
    rules.setPrefix("P");
    rules.setSuffix("S");
    rules.setReplaceUmlauts(false);
    rules.setCategories({"eins", "zwei"});
    QCOMPARE(store.stringValue("rules.prefix"), QString("P"));
    QCOMPARE(store.stringValue("rules.suffix"), QString("S"));
    QVERIFY(store.contains("rules.replaceUmlauts") && !store.boolValue("rules.replaceUmlauts"));
    QCOMPARE(changedSpy.count(), 8);

    // maxLength 0 stays in memory and in the store, and becomes 80 only on the next load.
    rules.setMaxLength(0);
    QCOMPARE(store.integerValue("rules.maxLength"), 0);
    QCOMPARE(maxSpy.count(), 1);
    QCOMPARE(RenameRules(store).maxLength(), 80);

    // The rule list always notifies, even when equal.
    rules.setRegexRules(rules.regexRules());
    QCOMPARE(regexSpy.count(), 1);
    QCOMPARE(store.bytesValue("rules.regex"),
             QByteArray(R"j([{"enabled":true,"pattern":"^IMG_\\d+_?","replacement":""},)j"
                        R"j({"enabled":true,"pattern":"^DSC_?\\d+_?","replacement":""},)j"
                        R"j({"enabled":true,"pattern":"^DCIM_?\\d+_?","replacement":""},)j"
                        R"j({"enabled":true,"pattern":"\\s*\\(\\d+\\)$","replacement":""}])j"));

    // A fresh load of the same store sees every value.
    const RenameRules reloaded(store);
    QCOMPARE(reloaded.format(), QString("{beschreibung}"));
    QCOMPARE(reloaded.dateFormat(), DateFormatStyle::us);
    QCOMPARE(reloaded.casing(), CasingStyle::titlecase);
    QCOMPARE(reloaded.separator(), SeparatorStyle::dot);
    QCOMPARE(reloaded.categories(), (QStringList{"eins", "zwei"}));
    QCOMPARE(reloaded.replaceUmlauts(), false);
}

void TestRenameRules::regexRulesSurviveReload()
{
    DefaultsStore store;
    RenameRules rules(store);
    const QList<RegexRule> list{{QUuid::createUuid(), "a(\\d)", "$1\\$", false}, {QUuid::createUuid(), "ü", "ue", true}};
    rules.setRegexRules(list);
    const QList<RegexRule> loaded = RenameRules(store).regexRules();
    QCOMPARE(describe(loaded), describe(list));
    for (qsizetype i = 0; i < list.size(); ++i)
        QVERIFY(loaded.at(i).id != list.at(i).id);
}

QTEST_GUILESS_MAIN(TestRenameRules)
#include "tst_renamerules.moc"
