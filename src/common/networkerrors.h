#pragma once

#include <QNetworkReply>
#include <QString>

/** German texts for transport failures, from the string table: Qt's errorString() is English. */
namespace NetworkErrors {

/** A short German text ("Verbindung abgelehnt", "Zeitüberschreitung", …); unknown codes name their number. */
[[nodiscard]] QString describe(QNetworkReply::NetworkError error);

} // namespace NetworkErrors
