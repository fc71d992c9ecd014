#include "networkerrors.h"

QString NetworkErrors::describe(QNetworkReply::NetworkError error)
{
    using E = QNetworkReply::NetworkError;
    // One line per code reads as a table.
    // clang-format off
    switch (error) {
    case E::NoError: return QStringLiteral("Kein Fehler");
    case E::ConnectionRefusedError: return QStringLiteral("Verbindung abgelehnt");
    case E::RemoteHostClosedError: return QStringLiteral("Verbindung vom Server getrennt");
    case E::HostNotFoundError: return QStringLiteral("Server nicht gefunden");
    case E::TimeoutError: return QStringLiteral("Zeitüberschreitung");
    case E::OperationCanceledError: return QStringLiteral("Abgebrochen");
    case E::SslHandshakeFailedError: return QStringLiteral("SSL-Fehler");
    case E::TemporaryNetworkFailureError: return QStringLiteral("Netzwerk vorübergehend nicht verfügbar");
    case E::NetworkSessionFailedError: return QStringLiteral("Keine Netzwerkverbindung");
    case E::BackgroundRequestNotAllowedError: return QStringLiteral("Anfrage im Hintergrund nicht erlaubt");
    case E::TooManyRedirectsError: return QStringLiteral("Zu viele Weiterleitungen");
    case E::InsecureRedirectError: return QStringLiteral("Unsichere Weiterleitung");
    case E::UnknownNetworkError: return QStringLiteral("Unbekannter Netzwerkfehler");
    case E::ProxyConnectionRefusedError: return QStringLiteral("Proxy: Verbindung abgelehnt");
    case E::ProxyConnectionClosedError: return QStringLiteral("Proxy: Verbindung getrennt");
    case E::ProxyNotFoundError: return QStringLiteral("Proxy nicht gefunden");
    case E::ProxyTimeoutError: return QStringLiteral("Proxy: Zeitüberschreitung");
    case E::ProxyAuthenticationRequiredError: return QStringLiteral("Proxy verlangt eine Anmeldung");
    case E::UnknownProxyError: return QStringLiteral("Unbekannter Proxy-Fehler");
    case E::ContentAccessDenied: return QStringLiteral("Zugriff verweigert");
    case E::ContentOperationNotPermittedError: return QStringLiteral("Vorgang nicht erlaubt");
    case E::ContentNotFoundError: return QStringLiteral("Nicht gefunden");
    case E::AuthenticationRequiredError: return QStringLiteral("Anmeldung erforderlich");
    case E::ContentReSendError: return QStringLiteral("Anfrage konnte nicht erneut gesendet werden");
    case E::ContentConflictError: return QStringLiteral("Konflikt mit dem Zustand auf dem Server");
    case E::ContentGoneError: return QStringLiteral("Nicht mehr vorhanden");
    case E::UnknownContentError: return QStringLiteral("Unbekannter Inhaltsfehler");
    case E::ProtocolUnknownError: return QStringLiteral("Protokoll nicht unterstützt");
    case E::ProtocolInvalidOperationError: return QStringLiteral("Vorgang im Protokoll ungültig");
    case E::ProtocolFailure: return QStringLiteral("Protokollfehler");
    case E::InternalServerError: return QStringLiteral("Interner Serverfehler");
    case E::OperationNotImplementedError: return QStringLiteral("Vom Server nicht unterstützt");
    case E::ServiceUnavailableError: return QStringLiteral("Dienst nicht verfügbar");
    case E::UnknownServerError: return QStringLiteral("Unbekannter Serverfehler");
    }
    // clang-format on
    return QStringLiteral("Netzwerkfehler (Code %1)").arg(int(error));
}
