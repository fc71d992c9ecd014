#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

/**
 * What the user kept for the documents of one sender: their spelling of its name, and the
 * category and description they left on its last applied rename. Recognised again by the
 * identifiers its documents gave ("vat:DE123456789", "iban:DE89370400440532013000",
 * "mail:stadtwerke-muenchen.de", "tel:+49891234567", "tax:143/123/45678", "name:<folded name>").
 */
struct LearnedSender {
    QString absender;
    std::optional<QString> kategorie;
    QString beschreibung;
    QStringList identifiers;

    friend bool operator==(const LearnedSender &, const LearnedSender &) = default;
};
