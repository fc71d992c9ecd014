#include "engineharness.h"
#include "extractiontestkit.h"
#include "grounding/namemarks.h"
#include "korvexstub.h"

namespace {

// A utility's invoice: the recipient's address window, a delivery period and a due date besides
// the invoice date, net and tax besides the total, the bank in the footer.
QByteArray invoice(const QString &number, const QString &date, const QString &total)
{
    return QString("Stadtwerke Musterstadt GmbH · Hauptstraße 1 · 12345 Musterstadt\n"
                   "Herrn\nMax Mustermann\nBeispielweg 5\n54321 Beispielstadt\n\n"
                   "Rechnung Nr. %1\nRechnungsdatum: %2\nLieferzeitraum: 01.01.2024 bis 31.01.2024\n\n"
                   "Strom Januar netto 70,76 €\nMwSt. 19 %: 13,44 €\nGesamtbetrag: %3 €\nZahlbar bis 30.04.2024\n\n"
                   "Stadtwerke Musterstadt GmbH · Geschäftsführer: Erika Beispiel · HRB 1234 · "
                   "USt-IdNr. DE123456789\nBankverbindung: Sparkasse Musterstadt · "
                   "IBAN DE89 3704 0044 0532 0130 00\n")
        .arg(number, date, total)
        .toUtf8();
}

QString sourceOf(const RenameJob &job, const QString &field)
{
    return rawValue(job.explanation->source(field));
}

} // namespace

// Naming without a model: the on-device namer, an e-invoice's own data, and what the user kept.
class TestOnDevice final : public QObject, EngineHarness
{
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QVERIFY(setUpEngine());
        m_fx->settings.setProvider(AIProviderType::local);
        m_fx->rules.setFormat("{datum}{sep}{absender}{sep}{betrag}");
    }
    void cleanup() { tearDownEngine(); }

    // "Lokal" needs no key and opens no connection: the stub counts every one.
    void namesWithoutAnyConnection()
    {
        awaitTask(m_fx->settings.setApiKey(""));
        analyze({touch(m_dir.filePath("scan_0815.txt"), invoice("4711", "15.03.2024", "84,20"))});
        QCOMPARE(m_engine->error(), std::nullopt);
        QCOMPARE(m_fx->llm.server().connections(), 0);
        const RenameJob job = m_engine->jobs().value(0);
        QCOMPARE(job.suggestedName, "2024-03-15_stadtwerke_musterstadt_84.20.txt");
        QVERIFY(job.explanation->onDevice);
        QVERIFY(job.unverified.isEmpty());
        QCOMPARE(m_store->countCachedReplies(), 0);
    }

    // The engine asks the companion first: a PDF it has indexed is named from the text it holds,
    // which the helper could not have read.
    void companionTextNamesIndexedFiles()
    {
        const QString pdf = touch(m_dir.filePath("scan.pdf"), "%PDF-1.4 nur ein Bild");
        KorvexStub korvex;
        QVERIFY(korvex.listen());
        korvex.addDocument({"s1", pdf, {{1, QString::fromUtf8(invoice("4711", "15.03.2024", "84,20"))}}});
        m_fx->defaults.setInteger("kvx.port", korvex.port());
        m_fx->defaults.setBool("kvx.enabled", true);
        analyze({pdf});
        QCOMPARE(m_engine->jobs().value(0).suggestedName, "2024-03-15_stadtwerke_musterstadt_84.20.pdf");
    }

    // With a language model chosen, a complete e-invoice is named from its data and sent nowhere.
    void einvoicesAreNamedFromTheirData()
    {
        m_fx->settings.setProvider(AIProviderType::openai);
        m_fx->settings.setEndpoint(m_fx->llm.baseUrl());
        analyze({touch(m_dir.filePath("rechnung.xml"), ExtractionTestKit::ciiInvoice())});
        QCOMPARE(m_fx->llm.server().connections(), 0);
        const RenameJob job = m_engine->jobs().value(0);
        QCOMPARE(job.suggestedName, "2024-03-15_telekom_39.99.xml");
        for (const QString field : {"datum", "absender", "betrag"}) {
            QCOMPARE(sourceOf(job, field), "e-rechnung");
            const auto check = std::ranges::find(job.explanation->report.fields, field, &Grounding::FieldCheck::field);
            QVERIFY(check != job.explanation->report.fields.end());
            QCOMPARE(check->status, Grounding::Status::verified);
        }
        const QList<RenameRecord> records = awaitTask(m_engine->applyApproved());
        QCOMPARE(records.value(0).providerUsed, "Lokal");                  // the history names who named it
        QCOMPARE(m_fx->ledger.usage(AIProviderType::openai).namedHere, 1); // a request saved, and counted
    }

    // A sender the user corrects once is named their way in its next document, recognised by its
    // VAT ID though that document spells the name differently; forgotten, it is read anew.
    void correctedSenderIsLearned()
    {
        analyze({touch(m_dir.filePath("januar.txt"), invoice("4711", "15.02.2024", "84,20"))});
        const RenameJob first = m_engine->jobs().value(0);
        const auto span =
            std::ranges::find(first.explanation->spans, QString("absender"), &Grounding::FieldSpan::field);
        QVERIFY(span != first.explanation->spans.end() && span->length > 0);
        const QString edited = QString(first.suggestedName).replace(span->start, span->length, "swm_energie");
        QVERIFY(m_engine->editJob(first.id, edited, std::nullopt));
        QCOMPARE(awaitTask(m_engine->applyApproved()).size(), 1);
        QCOMPARE(m_store->learnedSenders()->value(0).absender, "swm energie");

        const QByteArray next = QByteArray(invoice("4712", "15.03.2024", "91,10"))
                                    .replace("Stadtwerke Musterstadt GmbH ·", "SW Musterstadt ·");
        analyze({touch(m_dir.filePath("februar.txt"), next)});
        RenameJob second = m_engine->jobs().value(0);
        QCOMPARE(second.suggestedName, "2024-03-15_swm_energie_91.10.txt");
        QCOMPARE(sourceOf(second, "absender"), "gelernt");

        // The cloud model is asked only where the namer is unsure: this sender is known.
        m_engine->clearJobs();
        m_fx->settings.setProvider(AIProviderType::openai);
        m_fx->settings.setEndpoint(m_fx->llm.baseUrl());
        m_fx->settings.setLocalFirst(true);
        analyze({touch(m_dir.filePath("maerz.txt"), QByteArray(next).replace("4712", "4713")),
                 touch(m_dir.filePath("notiz.txt"), "Notizen ohne Datum")});
        QCOMPARE(m_fx->llm.askedFiles(), QStringList{"notiz.txt"});
        QCOMPARE(sourceOf(m_engine->jobs().value(0), "absender"), "gelernt");

        QCOMPARE(m_store->forgetSenders(), 1);
        m_fx->settings.setProvider(AIProviderType::local);
        m_engine->clearJobs();
        analyze({m_dir.filePath("maerz.txt")});
        QCOMPARE(sourceOf(m_engine->jobs().value(0), "absender"), "text");
    }
};

QTEST_GUILESS_MAIN(TestOnDevice)
#include "tst_ondevice.moc"
