#pragma once

#include "ai/local/localtext.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

/**
 * The on-device namer's data tables (the JSON files of data/localnamer, embedded as resources under
 * ":/localnamer/"), read once on first use and read-only after, so any thread may use them. A
 * table that is missing or does not parse leaves its part empty: the namer then finds less, it
 * never fails.
 */
namespace LocalTables {

/** One kind of document (kinds.json). */
struct Kind {
    QString name;                      ///< "rechnung", "arztrechnung", …
    int parent = -1;                   ///< the kind this one refines, an index into kinds
    QStringList categories;            ///< category names it is filed under, best first
    bool total = false;                ///< documents of this kind have a total to pay
    bool recipientIdentifiers = false; ///< tax and account numbers in the body are the recipient's
    QString media;                     ///< "picture" for the kind of a picture without text
    QStringList titles;                ///< its title words and suffixes, folded: a description never repeats them
};

/** A word of kinds.json: which kind it points to, and how. */
struct KindWord {
    int kind = 0;
    int weight = 0;
    bool title = false; ///< names the kind when it heads the document
};

enum class IdentifierKind { vat, tax, phone };

/** Folded words that a lexicon entry only marks (the value does not matter). */
using WordSet = LocalText::Lexicon<int>;

struct Tables {
    // dates.*.json, amounts.*.json: label weights.
    LocalText::Lexicon<int> dateLabels;
    LocalText::Lexicon<int> deliveryNoteDateLabels; ///< what a delivery note's own date is called
    LocalText::Lexicon<int> amountLabels;
    LocalText::Lexicon<int> payslipAmountLabels; ///< what a payslip's amount paid out is called

    // senders.*.json
    WordSet closings, senderLabels, recipientMarkers, recipientLabels, imprintMarkers, bankMarkers, bankWords,
        organisationWords, salutations, signatureWords, notNames, customerWords, foreignAccountWords, partyWords,
        addressNames;
    LocalText::Lexicon<IdentifierKind> identifierLabels;

    // legalforms.json
    WordSet legalForms, trailingWords;

    // freemail.json
    QSet<QString> freemailDomains;
    QSet<QString> secondLevelSuffixes;

    // kinds.json
    QList<Kind> kinds;
    LocalText::Lexicon<QList<KindWord>> kindWords;

    // descriptions.*.json
    WordSet subjectLabels, replyPrefixes, fillers, numberLabels;

    /** The index of kind `name`, or -1. */
    [[nodiscard]] int kindIndex(const QString &name) const;
};

/** The tables, loaded on first use (thread-safe). */
[[nodiscard]] const Tables &get();

} // namespace LocalTables
