#include "ui/firststart/firststartgate.h"
#include "ui/firststart/legalacceptanceview.h"
#include "ui/firststart/legaltextview.h"
#include "ui/firststart/onboardingview.h"
#include "ui/settings/aisettingstab.h"
#include "windowfixture.h"

class TestFirstStart final : public QObject
{
    Q_OBJECT

    struct Fixture : MemorySettings {
        QWidget window;
        std::unique_ptr<FirstStartGate> gate;

        /** A start of the app over the same stored flags. */
        FirstStartGate &start()
        {
            window.show();
            gate = std::make_unique<FirstStartGate>(defaults, ai, &window);
            gate->start();
            // Where the window manager puts the window before it is on screen.
            window.move(window.pos() + QPoint(150, 0));
            (void)QTest::qWaitForWindowExposed(&window);
            QCoreApplication::processEvents();
            return *gate;
        }
    };
    std::unique_ptr<Fixture> f;

private Q_SLOTS:
    void init() { f = std::make_unique<Fixture>(); }
    void cleanup() { f.reset(); }

    void acceptNeedsBothBoxesAndShowsOnboardingOnce()
    {
        LegalAcceptanceView *legal = f->start().legalScreen();
        QVERIFY(legal && legal->isVisible() && legal->isModal());
        QVERIFY(qAbs(legal->frameGeometry().center().x() - f->window.frameGeometry().center().x()) <=
                2); // where it landed
        QTest::keyClick(legal, Qt::Key_Escape);
        legal->close();
        QVERIFY(legal->isVisible()); // cannot be dismissed
        // Ticked in turn: none, terms only, none, privacy only; then both.
        for (QCheckBox *box : {legal->termsBox(), legal->termsBox(), legal->privacyBox(), legal->termsBox()}) {
            QVERIFY(!legal->acceptButton()->isEnabled());
            QTest::mouseClick(legal->acceptButton(), Qt::LeftButton);
            QVERIFY(!f->defaults.contains("hasAcceptedLegal"));
            QVERIFY(!f->gate->onboarding());
            box->click();
        }

        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        QTest::mouseClick(legal->acceptButton(), Qt::LeftButton);
        QVERIFY(GeneralFlags::hasAcceptedLegal.read(f->defaults));
        const std::optional<QDateTime> date = GeneralFlags::legalAcceptanceDate(f->defaults);
        QVERIFY(date && *date >= before && *date <= QDateTime::currentDateTime());
        QVERIFY(!legal->isVisible());
        QVERIFY(f->gate->onboarding() && f->gate->onboarding()->isVisible());
        QVERIFY(GeneralFlags::onboardingDone.read(f->defaults)); // set when shown, not when finished

        f->start(); // a restart shows neither
        QVERIFY(!f->gate->legalScreen() && !f->gate->onboarding());
        GeneralFlags::onboardingDone.write(f->defaults, false); // only the onboarding outstanding
        f->start();
        QVERIFY(!f->gate->legalScreen());
        QVERIFY(f->gate->onboarding() && f->gate->onboarding()->isVisible());
        QVERIFY(GeneralFlags::onboardingDone.read(f->defaults));
    }

    void decliningRecordsNothing()
    {
        FirstStartGate &gate = f->start();
        QSignalSpy declined(&gate, &FirstStartGate::declined);
        gate.legalScreen()->termsBox()->click();
        QTest::mouseClick(gate.legalScreen()->declineButton(), Qt::LeftButton);
        QCOMPARE(declined.size(), 1);
        for (const char *key : {"hasAcceptedLegal", "legalAcceptanceDate", "onboardingDone"})
            QVERIFY2(!f->defaults.contains(QString::fromLatin1(key)), key);
        QVERIFY(!gate.onboarding());
    }

    void onboardingKeyFieldOnlyForKeyedProviders_data()
    {
        QTest::addColumn<AIProviderType>("provider");
        QTest::addColumn<bool>("keyShown");
        QTest::newRow("Claude") << AIProviderType::claude << true;
        QTest::newRow("on the device") << AIProviderType::local << false; // no key, as Ollama: tst_aisettings
    }

    void onboardingKeyFieldOnlyForKeyedProviders()
    {
        QFETCH(AIProviderType, provider);
        QFETCH(bool, keyShown);
        f->ai.setProvider(AIProviderType::openai);
        OnboardingView view(f->ai);
        showActive(&view);
        view.keyField()->setFocus();
        QTest::keyClicks(view.keyField(), "sk-openai");
        // Stored when the field is left, here by the click on another provider.
        QTest::mouseClick(view.providerButton(provider), Qt::LeftButton);
        QCOMPARE(f->ai.provider(), provider);
        QVERIFY(view.providerButton(provider)->isChecked());
        QCOMPARE(view.keyField()->isVisible(), keyShown);
        QCOMPARE(view.keyField()->text(), ""); // the other provider's typing is not carried over
        if (keyShown) {
            QTest::keyClicks(view.keyField(), "k-1");
            view.accept(); // "Fertig" by a screen reader's action: the field keeps the focus
            QCOMPARE(awaitTask(f->ai.apiKey()), "k-1");
        }
        f->ai.setProvider(AIProviderType::openai);
        QCOMPARE(awaitTask(f->ai.apiKey()), "sk-openai");
    }

    // A keyring that asks for its password takes the focus when a key is stored: typed key by key
    // where the focus is, the key must reach the store once and whole, from the onboarding and the
    // settings alike.
    void keyIsStoredOnceAndWhole()
    {
        QLineEdit prompt; // the keyring's password prompt
        prompt.setWindowTitle("Schlüsselbund entsperren");
        // A stored key is announced as it goes to the keyring: the prompt comes up then.
        connect(&f->ai, &AISettings::apiKeyChanged, &prompt, [&prompt] {
            prompt.show();
            prompt.activateWindow();
            prompt.setFocus();
        });
        f->ai.setProvider(AIProviderType::claude);
        OnboardingView view(f->ai);
        AISettingsTab tab(f->ai, f->ledger);
        for (QLineEdit *field : {view.keyField(), tab.keyField()}) {
            QWidget *window = field->window();
            showActive(window);
            field->setFocus();
            QSignalSpy saves(&f->ai, &AISettings::apiKeyChanged);
            const QString key = field == view.keyField() ? "sk-ant-0123456789abcdef" : "sk-ant-fedcba9876543210";
            for (const QChar c : key)
                QTest::keyClicks(QApplication::focusWidget(), QString(c));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab); // the field is left
            QCOMPARE(saves.size(), 1);
            QCOMPARE(awaitTask(f->ai.apiKey()), key);
            QCOMPARE(prompt.text(), QString());
            prompt.hide();
            window->hide();
            QCOMPARE(saves.size(), 1); // nothing more to store when the window goes
        }
    }

    // One radio group as on the desktop: the focus opens on the chosen provider, the arrow keys
    // move the choice, Tab leaves the group; Apple is not offered; the sheet keeps its shape.
    void onboardingProvidersAreOneRadioGroup()
    {
        f->ai.setProvider(AIProviderType::gemini);
        OnboardingView view(f->ai);
        showActive(&view);
        QStringList offered;
        for (const QRadioButton *choice : view.findChildren<QRadioButton *>())
            offered << choice->accessibleName();
        QCOMPARE(offered, QStringList({"Auf diesem Gerät", "Claude", "OpenAI", "Gemini", "Ollama"}));
        const auto shape = [&view] {
            QCoreApplication::processEvents(); // the layout's turn
            return QList<QRect>{view.geometry(), view.providerButton(AIProviderType::claude)->geometry(),
                                named<QPushButton>(&view, "Fertig")->geometry()};
        };
        const QList<QRect> shown = shape();
        // From Gemini, where the focus opens: right to Ollama (no key field), then left twice.
        for (const auto &[key, provider] : {std::pair(Qt::Key_Right, AIProviderType::ollama),
                                            {Qt::Key_Left, AIProviderType::gemini},
                                            {Qt::Key_Left, AIProviderType::openai}}) {
            QTest::keyClick(view.focusWidget(), key);
            QCOMPARE(f->ai.provider(), provider);
            QCOMPARE(view.focusWidget(), view.providerButton(provider));
            QCOMPARE(shape(), shown);
        }
        QTest::keyClick(view.focusWidget(), Qt::Key_Tab);
        QCOMPARE(view.focusWidget(), view.keyField());
        QTest::keyClick(view.focusWidget(), Qt::Key_Backtab);
        QCOMPARE(view.focusWidget(), view.providerButton(AIProviderType::openai));
    }

    void legalInformationWindows_data()
    {
        QTest::addColumn<LegalInfoType>("type"); // the row's tag is the window's title
        QTest::newRow("Impressum") << LegalInfoType::impressum;
        QTest::newRow("Nutzungsbedingungen") << LegalInfoType::terms;
        QTest::newRow("Datenschutz") << LegalInfoType::privacy;
        QTest::newRow("Barrierefreiheit") << LegalInfoType::accessibility;
    }

    void legalInformationWindows()
    {
        QFETCH(LegalInfoType, type);
        QPointer<LegalTextView> view = LegalTextView::forType(type);
        view->show();
        QCOMPARE(view->windowTitle(), QString::fromUtf8(QTest::currentDataTag()));
        QVERIFY(view->content().size() > 300 && !view->content().startsWith("legal."));
        QTest::mouseClick(view->findChild<QPushButton *>(), Qt::LeftButton);
        QTRY_VERIFY(!view); // closing deletes it
    }
};

QTEST_MAIN(TestFirstStart)
#include "tst_firststart.moc"
