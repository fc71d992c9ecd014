#include "networkerrors.h"

#include "common/stringtable.h"

namespace {

/** The string table's id for `error`; nullptr for a code Qt added later. */
const char *textId(QNetworkReply::NetworkError error)
{
    using E = QNetworkReply::NetworkError;
    // One line per code reads as a table.
    // clang-format off
    switch (error) {
    case E::NoError: return "network.none";
    case E::ConnectionRefusedError: return "network.connectionRefused";
    case E::RemoteHostClosedError: return "network.remoteHostClosed";
    case E::HostNotFoundError: return "network.hostNotFound";
    case E::TimeoutError: return "network.timeout";
    case E::OperationCanceledError: return "network.operationCanceled";
    case E::SslHandshakeFailedError: return "network.sslHandshakeFailed";
    case E::TemporaryNetworkFailureError: return "network.temporaryNetworkFailure";
    case E::NetworkSessionFailedError: return "network.networkSessionFailed";
    case E::BackgroundRequestNotAllowedError: return "network.backgroundRequestNotAllowed";
    case E::TooManyRedirectsError: return "network.tooManyRedirects";
    case E::InsecureRedirectError: return "network.insecureRedirect";
    case E::UnknownNetworkError: return "network.unknownNetwork";
    case E::ProxyConnectionRefusedError: return "network.proxyConnectionRefused";
    case E::ProxyConnectionClosedError: return "network.proxyConnectionClosed";
    case E::ProxyNotFoundError: return "network.proxyNotFound";
    case E::ProxyTimeoutError: return "network.proxyTimeout";
    case E::ProxyAuthenticationRequiredError: return "network.proxyAuthenticationRequired";
    case E::UnknownProxyError: return "network.unknownProxy";
    case E::ContentAccessDenied: return "network.contentAccessDenied";
    case E::ContentOperationNotPermittedError: return "network.contentOperationNotPermitted";
    case E::ContentNotFoundError: return "network.contentNotFound";
    case E::AuthenticationRequiredError: return "network.authenticationRequired";
    case E::ContentReSendError: return "network.contentReSend";
    case E::ContentConflictError: return "network.contentConflict";
    case E::ContentGoneError: return "network.contentGone";
    case E::UnknownContentError: return "network.unknownContent";
    case E::ProtocolUnknownError: return "network.protocolUnknown";
    case E::ProtocolInvalidOperationError: return "network.protocolInvalidOperation";
    case E::ProtocolFailure: return "network.protocolFailure";
    case E::InternalServerError: return "network.internalServer";
    case E::OperationNotImplementedError: return "network.operationNotImplemented";
    case E::ServiceUnavailableError: return "network.serviceUnavailable";
    case E::UnknownServerError: return "network.unknownServer";
    }
    // clang-format on
    return nullptr;
}

} // namespace

QString NetworkErrors::describe(QNetworkReply::NetworkError error)
{
    if (const char *id = textId(error))
        return StringTable::text(id);
    return StringTable::text("network.code").arg(int(error));
}
