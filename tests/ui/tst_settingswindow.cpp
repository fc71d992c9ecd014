#include "korvexstub.h"
#include "ui/common/wheelguard.h"
#include "ui/rules/rulestab.h"
#include "ui/settings/aisettingstab.h"
#include "ui/settings/apisettingstab.h"
#include "ui/settings/costsection.h"
#include "ui/settings/generalsettingstab.h"
#include "ui/settings/settingswindow.h"
#include "ui/settings/storedcountsection.h"
#include "windowfixture.h"

class TestSettingsWindow final : public QObject
{
    Q_OBJECT

    struct Fixture : MemorySettings {
        QTemporaryDir dir;
        KorvexStub korvex;
        KVXClient companion{defaults};
        std::unique_ptr<SettingsWindow> window;

        Fixture()
        {
            korvex.listen();
            app.setKvxPort(korvex.port());
        }

        SettingsWindow &open(int tab = 0, const QString &autostartFolder = "autostart", ObjectStore *store = nullptr)
        {
            window = std::make_unique<SettingsWindow>(SettingsWindow::Services{
                defaults, app, ai, ledger, companion, rules, AutostartEntry(dir.filePath(autostartFolder)), store});
            window->tabs()->setCurrentIndex(tab);
            showActive(window.get());
            return *window;
        }

        template <typename T> T *named(const QString &name) const { return ::named<T>(window.get(), name); }

        RulesTab tab{rules};
        QLineEdit *field(const QString &name) const { return ::named<QLineEdit>(&tab, name); }
        void click(const QString &button) const
        {
            QTest::mouseClick(::named<QPushButton>(&tab, button), Qt::LeftButton);
        }
    };
    std::unique_ptr<Fixture> f;
    QList<QUrl> opened; // what QDesktopServices would hand to the browser

public Q_SLOTS:
    void open(const QUrl &url) { opened.append(url); }

private Q_SLOTS:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() { f.reset(); }

    void keyFieldAndStatusFollowProvider_data()
    {
        QTest::addColumn<AIProviderType>("provider");
        QTest::addColumn<QString>("storedKey");
        QTest::addColumn<bool>("keyShown");
        QTest::addColumn<QString>("status");
        QTest::newRow("Claude without key") << AIProviderType::claude << "" << true << "API-Schlüssel fehlt";
        QTest::newRow("OpenAI with key") << AIProviderType::openai << "sk-1" << true << "Eingerichtet";
        QTest::newRow("Ollama") << AIProviderType::ollama << "" << false << "Eingerichtet";
        QTest::newRow("Apple, chosen through the API")
            << AIProviderType::apple << "" << false << "Auf Linux nicht verfügbar";
        QTest::newRow("on the device") << AIProviderType::local << "" << false
                                       << "Bereit: Namorix benennt auf diesem Gerät, ohne Konto und ohne Netz.";
    }

    void keyFieldAndStatusFollowProvider()
    {
        QFETCH(AIProviderType, provider);
        QFETCH(QString, storedKey);
        QFETCH(bool, keyShown);
        QFETCH(QString, status);
        f->ai.setProvider(provider);
        awaitTask(f->ai.setApiKey(storedKey));
        f->ai.setModel("eigenes-modell");
        f->ai.setProvider(AIProviderType::gemini);
        f->ai.setModel("gemini-eigen");
        f->ledger.addUsage(AIProviderType::gemini, 5, 0);
        AISettingsTab *tab = f->open(2).aiTab();
        QCOMPARE(tab->usage()->text(), "Diesen Monat: 1 Anfrage, 5 Tokens");
        QLineEdit *model = f->named<QLineEdit>("Modell");
        QCOMPARE(model->text(), "gemini-eigen");
        QTRY_COMPARE(tab->status()->text(), "API-Schlüssel fehlt");

        // The window offers what runs here; the other platform's model only the API can choose.
        auto *picker = f->named<QComboBox>("Anbieter");
        QCOMPARE(picker->findData(int(AIProviderType::apple)), -1);
        if (provider == AIProviderType::apple)
            f->ai.setProvider(provider);
        else
            picker->setCurrentIndex(picker->findData(int(provider)));
        QCOMPARE(f->ai.provider(), provider);
        // Nothing to choose, address or mask where nothing leaves the machine.
        QCOMPARE(f->named<QLineEdit>("Modell")->isVisible(), provider != AIProviderType::local);
        QCOMPARE(tab->localFirstToggle()->isVisible(), provider != AIProviderType::local);
        QCOMPARE(tab->keyField()->isVisible(), keyShown);
        QCOMPARE(tab->maskToggle()->isChecked(), keyShown); // on where the text leaves the machine
        QTRY_COMPARE(tab->status()->text(), status);
        QCOMPARE(tab->usage()->text(), "Diesen Monat: 0 Anfragen, 0 Tokens"); // each provider its own count
        // Prices of a cloud provider's model, typed the German way; a local one costs nothing.
        QCOMPARE(tab->costs()->outputPrice()->isVisible(), keyShown);
        if (keyShown) {
            QDoubleSpinBox *answer = f->named<QDoubleSpinBox>("Preis je Mio. Tokens der Antwort");
            answer->selectAll();
            QTest::keyClicks(answer, "20,5");
            QCOMPARE(f->ledger.price().output, 20.5);
        }
        QTRY_COMPARE(tab->keyField()->text(), storedKey); // filled from the credential store
        if (!storedKey.isEmpty()) {
            // A new address: the key is neither shown nor sent there until the user confirms it.
            QTest::keyClicks(f->named<QLineEdit>("Adresse des Dienstes"), "http://127.0.0.1:9");
            QTRY_COMPARE(tab->status()->text(), "Der Schlüssel wurde für https://api.openai.com eingegeben und wird "
                                                "an diese Adresse nicht gesendet. Neu eingeben oder bestätigen.");
            QTRY_COMPARE(tab->keyField()->text(), "");
            QVERIFY(tab->confirmKeyButton()->isVisible());
            tab->confirmKeyButton()->click();
            QTRY_COMPARE(tab->status()->text(), "Eingerichtet");
        }
        if (keyShown && storedKey.isEmpty()) {
            QTest::keyClicks(tab->keyField(), "sk-neu");
            QTest::keyClick(tab->keyField(), Qt::Key_Return); // stored as the field is left: tst_firststart
            QTRY_COMPARE(tab->status()->text(), "Eingerichtet");
        }

        // A cleared model falls back to the provider's default, shown as the placeholder.
        QCOMPARE(model->text(), "eigenes-modell"); // this provider's
        model->selectAll();
        QTest::keyClick(model, Qt::Key_Backspace);
        QCOMPARE(f->ai.effectiveModel(), AISettings::defaultModel(provider));
        QCOMPARE(model->placeholderText(), f->ai.effectiveModel());
    }

    // The AI tab counts the kept replies and what was learned of senders, and empties either on
    // request, saying what it did.
    void storedCountsAreCountedAndCleared()
    {
        const auto store = std::move(*ObjectStore::open(f->dir.filePath("namorix.sqlite")));
        QVERIFY(store->keepReply("a", "{}") && store->keepReply("b", "{}"));
        QVERIFY(store->learnSender({"Stadtwerke", "rechnung", "Strom", {"vat:DE123456789"}}));
        const SettingsWindow &window = f->open(2, "autostart", store.get());
        const struct {
            StoredCountSection *section;
            QString button, before, after;
        } sections[] = {
            {window.cacheSection(), "Zwischenspeicher leeren", "Im Zwischenspeicher: 2 Antworten des Modells",
             "Zwischenspeicher geleert: 2 Antworten entfernt"},
            {window.learnedSection(), "Gelerntes vergessen",
             "Aus Ihren Umbenennungen gelernt: 1 Absender (bleibt auf diesem Rechner)", "Vergessen: 1 Absender"},
        };
        for (const auto &[section, button, before, after] : sections) {
            QCOMPARE(section->summary()->text(), before);
            auto *clear = f->named<QPushButton>(button);
            QVERIFY(clear && clear->isVisible() && clear->isEnabled());
            QTest::mouseClick(clear, Qt::LeftButton);
            QCOMPARE(section->summary()->text(), after);
            QVERIFY(!clear->isEnabled());
        }
        f->window.reset();
    }

    // A key no store can keep is announced with the reason, and the provider stays unconfigured.
    void keyThatCannotBeStoredSaysWhy()
    {
        const QString keys = f->secrets.filePath("credentials.json");
        QVERIFY(QDir().mkpath(keys)); // a folder where the file would be
        f->ai.setProvider(AIProviderType::claude);
        AISettingsTab *tab = f->open(2).aiTab();
        QVERIFY(!tab->keyNotice()->isVisible());
        QTest::keyClicks(tab->keyField(), "sk");
        QTest::keyClick(tab->keyField(), Qt::Key_Return);
        QTRY_VERIFY(tab->keyNotice()->isVisible());
        QVERIFY2(tab->keyNotice()->text().startsWith("Der Schlüssel wurde nicht gespeichert: " + keys),
                 qPrintable(tab->keyNotice()->text()));
        QTRY_COMPARE(tab->status()->text(), "API-Schlüssel fehlt");
    }

    void companionStatusAsksOnlyWhenEnabled_data()
    {
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<int>("health");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("requests");
        QTest::newRow("disabled: no request") << false << 200 << "Korvex nicht verfügbar" << 0;
        QTest::newRow("reachable") << true << 200 << "Korvex verbunden" << 1; // an unwell one: tst_kvxclient
    }

    void companionStatusAsksOnlyWhenEnabled()
    {
        QFETCH(bool, enabled);
        QFETCH(int, health);
        QFETCH(QString, status);
        QFETCH(int, requests);
        f->app.setKvxEnabled(enabled);
        f->korvex.setHealthStatus(health);
        QLabel *row = f->open(0).generalTab()->companionStatus();
        if (requests > 0)
            QCOMPARE(row->text(), "Verbindung wird geprüft…");
        QTRY_COMPARE(row->text(), status); // shown once answered: a request made is counted by then
        QCOMPARE(f->korvex.server().requests().size(), requests); // none disabled: tst_kvxclient

        // Shown again (tab away and back): asked again, past the client's 30-second cache.
        f->companion.advanceClockForTesting(KVXClient::CacheDurationMs + 1);
        f->window->tabs()->setCurrentIndex(3);
        f->window->tabs()->setCurrentIndex(0);
        QTRY_COMPARE(f->korvex.server().requests().size(), 2 * requests);
        QTRY_COMPARE(row->text(), status);
    }

    void integerFieldsRefuseNonIntegers_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("api"); // the addresses shown for the port
        QTest::newRow("API port") << "API-Port" << 3 << "api.port"
                                  << "http://127.0.0.1:8080/v1";
        QTest::newRow("Korvex port") << "Korvex-Port" << 0 << "kvx.port" << QString();
    }

    void integerFieldsRefuseNonIntegers()
    {
        QFETCH(QString, field);
        QFETCH(int, tab);
        QFETCH(QString, key);
        QFETCH(QString, api);
        f->open(tab);
        QLineEdit *input = f->named<QLineEdit>(field);
        const QString before = input->text();
        input->setFocus();
        input->selectAll();
        QTest::keyClicks(input, "abc");
        QCOMPARE(input->text(), before);
        input->selectAll();
        QTest::keyClicks(input, "80x8-0");
        QCOMPARE(input->text(), "8080");
        QCOMPARE(f->defaults.integerValue(key), 8080);
        input->selectAll();
        QTest::keyClick(input, Qt::Key_Backspace);
        QCOMPARE(f->defaults.integerValue(key), 8080); // an empty field is not a number
        input->clearFocus();
        QCOMPARE(input->text(), "8080");
        if (api.isEmpty())
            return;
        QLabel *health = f->window->apiTab()->healthAddress();
        QCOMPARE(health->text(), api + "/health");
        QVERIFY(health->textInteractionFlags() & Qt::TextSelectableByMouse);
        QDesktopServices::setUrlHandler("http", this, "open");
        QTest::mouseClick(f->named<QPushButton>("API-Dokumentation"), Qt::LeftButton);
        QDesktopServices::unsetUrlHandler("http");
        QCOMPARE(opened, QList<QUrl>({QUrl(api + "/docs")}));
    }

    void flagsWriteThrough_data()
    {
        QTest::addColumn<QString>("toggle"); // the row's tag is the stored key
        QTest::addColumn<bool>("initially");
        QTest::addColumn<QByteArray>("property"); // of AppSettings; empty for a general flag
        QTest::newRow("autoRename") << "Vorschläge ohne Prüfung übernehmen" << false << QByteArray();
        QTest::newRow("autoRenameVerifiedOnly")
            << "Ungeprüfte Angaben nicht automatisch umbenennen" << true << QByteArray();
        QTest::newRow("kvx.enabled") << "Text von Korvex übernehmen" << true << QByteArray("kvxEnabled");
        QTest::newRow("api.enabled") << "REST-API aktivieren" << true << QByteArray("apiEnabled");
    }

    void flagsWriteThrough()
    {
        QFETCH(QString, toggle);
        QFETCH(bool, initially);
        QFETCH(QByteArray, property);
        const QString key = QString::fromLatin1(QTest::currentDataTag());
        f->open();
        QCheckBox *box = f->named<QCheckBox>(toggle);
        QVERIFY(box);
        QCOMPARE(box->isChecked(), initially);
        box->click();
        QVERIFY(f->defaults.contains(key));
        QCOMPARE(f->defaults.boolValue(key), !initially);

        // A change made elsewhere (the REST API writes the same way) shows at once.
        if (property.isEmpty()) {
            const auto flag =
                std::ranges::find_if(GeneralFlags::all, [&](const BoolFlag &g) { return g.keyString() == key; });
            flag->write(f->defaults, initially);
        } else {
            QVERIFY(f->app.setProperty(property, initially));
        }
        QCOMPARE(box->isChecked(), initially);
        DefaultsStore other; // another store's flags are not this window's
        for (const BoolFlag &flag : GeneralFlags::all)
            flag.write(other, !initially);
        QCOMPARE(box->isChecked(), initially);
    }

    void autostartEntryWrittenAndRemoved()
    {
        f->open();
        QCheckBox *box = f->named<QCheckBox>("Beim Anmelden starten");
        const QString entry = f->dir.filePath("autostart/namorix.desktop");
        QVERIFY(!box->isChecked());
        box->click();
        const QByteArray text = contentOf(entry);
        QVERIFY(text.startsWith("[Desktop Entry]\n"));
        QVERIFY(text.contains("\nExec=namorix --hidden\n"));
        box->click();
        QVERIFY(!QFile::exists(entry));

        // A folder that cannot be created: the switch stays off and says why.
        QVERIFY(QFile(f->dir.filePath("blocked")).open(QIODevice::WriteOnly));
        f->open(0, "blocked");
        box = f->named<QCheckBox>("Beim Anmelden starten");
        box->click();
        QVERIFY(!box->isChecked());
        const auto labels = f->window->findChildren<QLabel *>();
        QVERIFY(std::ranges::any_of(
            labels, [](QLabel *l) { return l->isVisible() && l->text().startsWith("Autostart-Eintrag"); }));
    }

    // The rules tab on its own, over the same rules.
    void addCategory_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("added");
        QTest::addColumn<QString>("stored");
        QTest::newRow("trimmed and lower-cased") << " Steuer\t" << true << "steuer";
        QTest::newRow("listed in other case") << "Rechnung" << false << QString();
        QTest::newRow("only spaces") << "   " << false << QString();
    }

    void addCategory()
    {
        QFETCH(QString, typed);
        QFETCH(bool, added);
        QFETCH(QString, stored);
        const QStringList before = f->rules.categories();
        QLineEdit *edit = f->field("Neue Kategorie");
        QTest::keyClicks(edit, typed);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(f->rules.categories(), added ? before + QStringList{stored} : before); // stored: tst_renamerules
        QCOMPARE(edit->text(), added ? QString() : typed);
        QCOMPARE(::named<QPushButton>(&f->tab, "Kategorie hinzufügen")->isEnabled(), !added);
    }

    void tokenAppendsAndPreviewFollows()
    {
        QLineEdit *format = f->field("Format");
        format->selectAll();
        QTest::keyClicks(format, "{datum}");
        format->setCursorPosition(0); // appending ignores the cursor
        f->click("{sep}");
        QCOMPARE(f->rules.format(), "{datum}{sep}"); // the field follows the rules: below
        f->click("{kategorie}");
        QCOMPARE(f->tab.previewText(), "Vorschau: 2024-03-15_rechnung.pdf");

        f->rules.setSeparator(SeparatorStyle::dot); // changed elsewhere: the settings window or the API
        QCOMPARE(f->tab.previewText(), "Vorschau: 2024-03-15.rechnung.pdf");
        f->rules.setFormat("{betrag}");
        QCOMPARE(format->text(), "{betrag}");
    }

    void addRegexRule_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<bool>("added");
        QTest::newRow("compiles") << "^Scan_(\\d+)" << true;
        QTest::newRow("open group") << "(" << false;
    }

    void addRegexRule()
    {
        QFETCH(QString, pattern);
        QFETCH(bool, added);
        const qsizetype before = f->rules.regexRules().size();
        QTest::keyClicks(f->field("Pattern"), pattern);
        QTest::keyClicks(f->field("Ersetzung"), "$1");
        f->click("Regel hinzufügen");
        QCOMPARE(f->rules.regexRules().size(), before + (added ? 1 : 0));
        QCOMPARE(f->field("Pattern")->text(), added ? QString() : pattern);
        QCOMPARE(f->field("Ersetzung")->text(), added ? QString() : "$1");
        if (added)
            QVERIFY(f->rules.regexRules().last().sameContent(RegexRule{{}, pattern, "$1", true}));
    }

    void stepperBounds_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("steps");
        QTest::addColumn<qint64>("stored");
        QTest::newRow("down at the floor") << 21 << -5 << qint64(20);
        QTest::newRow("up at the ceiling") << 198 << 9 << qint64(200);
    }

    // The wheel changes a drop-down or number field only once it has the focus.
    void wheelNeedsFocus()
    {
        WheelGuard::install();
        showActive(&f->tab);
        auto *stepper = f->tab.findChild<QSpinBox *>("rulesMaxLength");
        auto *picker = f->tab.findChild<QComboBox *>();
        const int index = picker->currentIndex();
        const auto turn = [](QWidget *control) {
            const QPoint at = control->rect().center();
            QWheelEvent wheel(at, control->mapToGlobal(at), {}, QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(control, &wheel);
        };
        turn(stepper);
        turn(picker);
        QCOMPARE(f->rules.maxLength(), 80);
        QCOMPARE(picker->currentIndex(), index);
        stepper->setFocus();
        turn(stepper);
        QCOMPARE(f->rules.maxLength(), 79);
    }

    void stepperBounds()
    {
        QFETCH(int, start);
        QFETCH(int, steps);
        QFETCH(qint64, stored);
        auto *stepper = f->tab.findChild<QSpinBox *>("rulesMaxLength");
        f->rules.setMaxLength(start);
        QCOMPARE(stepper->value(), start);
        for (int i = 0; i < std::abs(steps); ++i)
            QTest::keyClick(stepper, steps < 0 ? Qt::Key_Down : Qt::Key_Up);
        QCOMPARE(f->rules.maxLength(), stored);
        QCOMPARE(stepper->text(), QString("Max. Länge: %1").arg(stored));
    }
};

QTEST_MAIN(TestSettingsWindow)
#include "tst_settingswindow.moc"
