#include "helperprotocol.h"

#include <QCborArray>
#include <QCborValue>
#include <QtEndian>

#include <cerrno>
#include <cstring>
#include <limits>
#include <sys/socket.h>
#include <unistd.h>

namespace HelperProtocol {
namespace {

constexpr qsizetype LengthBytes = 4;
// More descriptors than one in a message are closed unread; room for a few keeps the rest from
// being dropped silently.
constexpr int MaxDescriptors = 4;

using namespace Qt::Literals::StringLiterals;

std::optional<QDateTime> dateFrom(const QCborValue &value)
{
    if (!value.isInteger())
        return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(value.toInteger(), Qt::UTC);
}

QCborMap encodeInvoice(const EInvoice &invoice)
{
    QCborMap encoded{{u"syntax"_s, invoice.syntax == EInvoice::Syntax::ubl ? u"ubl"_s : u"cii"_s},
                     {u"number"_s, invoice.number},
                     {u"typeCode"_s, invoice.typeCode},
                     {u"sellerName"_s, invoice.sellerName},
                     {u"sellerVatId"_s, invoice.sellerVatId},
                     {u"currency"_s, invoice.currency},
                     {u"attachmentName"_s, invoice.attachmentName}};
    if (invoice.issueDate)
        encoded.insert(u"issueDate"_s, invoice.issueDate->toString(Qt::ISODate));
    if (invoice.totalCents)
        encoded.insert(u"totalCents"_s, *invoice.totalCents);
    return encoded;
}

// nullopt when any part is missing or of the wrong kind; the optional fields may be absent.
std::optional<EInvoice> decodeInvoice(const QCborValue &value)
{
    if (!value.isMap())
        return std::nullopt;
    const QCborMap map = value.toMap();
    EInvoice invoice;
    const QCborValue syntax = map.value(u"syntax"_s);
    if (syntax.toString() != u"cii" && syntax.toString() != u"ubl")
        return std::nullopt;
    invoice.syntax = syntax.toString() == u"ubl" ? EInvoice::Syntax::ubl : EInvoice::Syntax::cii;
    for (const auto &[key, field] :
         {std::pair{u"number"_s, &EInvoice::number}, std::pair{u"typeCode"_s, &EInvoice::typeCode},
          std::pair{u"sellerName"_s, &EInvoice::sellerName}, std::pair{u"sellerVatId"_s, &EInvoice::sellerVatId},
          std::pair{u"currency"_s, &EInvoice::currency}, std::pair{u"attachmentName"_s, &EInvoice::attachmentName}}) {
        const QCborValue text = map.value(key);
        if (!text.isString())
            return std::nullopt;
        invoice.*field = text.toString();
    }
    if (const QCborValue date = map.value(u"issueDate"_s); !date.isUndefined()) {
        const QDate parsed = QDate::fromString(date.toString(), Qt::ISODate);
        if (!date.isString() || !parsed.isValid())
            return std::nullopt;
        invoice.issueDate = parsed;
    }
    if (const QCborValue cents = map.value(u"totalCents"_s); !cents.isUndefined()) {
        if (!cents.isInteger())
            return std::nullopt;
        invoice.totalCents = cents.toInteger();
    }
    return invoice;
}

} // namespace

QByteArray frame(const QCborMap &message)
{
    const QByteArray body = message.toCborValue().toCbor();
    QByteArray framed(LengthBytes, Qt::Uninitialized);
    qToBigEndian(quint32(body.size()), framed.data());
    return framed + body;
}

Take takeMessage(QByteArray &buffer, QCborMap &message)
{
    if (buffer.size() < LengthBytes)
        return Take::incomplete;
    const qint64 length = qFromBigEndian<quint32>(buffer.constData());
    if (length > MaxMessageBytes)
        return Take::invalid;
    if (buffer.size() < LengthBytes + length)
        return Take::incomplete;
    QCborParserError error;
    const QCborValue value = QCborValue::fromCbor(buffer.mid(LengthBytes, length), &error);
    buffer.remove(0, LengthBytes + length);
    if (error.error != QCborError::NoError || !value.isMap())
        return Take::invalid;
    message = value.toMap();
    return Take::message;
}

QCborMap encodeResult(qint64 id, const ExtractionResult &result)
{
    QCborMap reply{{u"type"_s, QString(Type::result)}, {u"id"_s, id}};
    if (!result) {
        reply.insert(u"error"_s, result.error().message);
        return reply;
    }
    QCborArray metadata;
    for (const auto &[key, value] : result->metadata.entries())
        metadata.append(QCborArray{key, value});
    QCborMap context{{u"size"_s, result->fileSize}, {u"text"_s, result->extractedText}, {u"metadata"_s, metadata}};
    if (result->creationDate)
        context.insert(u"created"_s, result->creationDate->toMSecsSinceEpoch());
    if (result->modificationDate)
        context.insert(u"modified"_s, result->modificationDate->toMSecsSinceEpoch());
    if (result->invoice)
        context.insert(u"invoice"_s, encodeInvoice(*result->invoice));
    reply.insert(u"context"_s, context);
    return reply;
}

std::optional<ExtractionResult> decodeResult(const QCborMap &reply, const QString &path)
{
    if (const QCborValue error = reply.value(u"error"_s); error.isString())
        return std::unexpected(ExtractionError{error.toString()});
    const QCborValue context = reply.value(u"context"_s);
    const QCborValue text = context[u"text"_s], size = context[u"size"_s], metadata = context[u"metadata"_s];
    if (!context.isMap() || !text.isString() || !size.isInteger() || !metadata.isArray())
        return std::nullopt;
    MetadataMap entries;
    for (const QCborValue &entry : metadata.toArray()) {
        if (!entry.isArray() || entry.toArray().size() != 2 || !entry[0].isString() || !entry[1].isString())
            return std::nullopt;
        entries.set(entry[0].toString(), entry[1].toString());
    }
    std::optional<EInvoice> invoice;
    if (const QCborValue encoded = context[u"invoice"_s]; !encoded.isUndefined()) {
        invoice = decodeInvoice(encoded);
        if (!invoice)
            return std::nullopt;
    }
    FileContext decoded;
    decoded.url = QUrl::fromLocalFile(path);
    decoded.fileName = path.mid(path.lastIndexOf(u'/') + 1);
    decoded.fileExtension = lowerExtension(path);
    decoded.fileSize = size.toInteger();
    decoded.creationDate = dateFrom(context[u"created"_s]);
    decoded.modificationDate = dateFrom(context[u"modified"_s]);
    decoded.extractedText = text.toString();
    decoded.metadata = entries;
    decoded.invoice = std::move(invoice);
    return decoded;
}

QCborMap encodeRender(qint64 id, const QString &path, const RenderRequest &request)
{
    return {{u"type"_s, QString(Type::render)},
            {u"id"_s, id},
            {u"path"_s, path},
            {u"kind"_s, request.kind == RenderRequest::Kind::pdfPage ? u"pdf"_s : u"picture"_s},
            {u"page"_s, request.page},
            {u"width"_s, request.bounds.width()},
            {u"height"_s, request.bounds.height()}};
}

std::optional<RenderRequest> decodeRender(const QCborMap &message)
{
    const QCborValue kind = message.value(u"kind"_s), page = message.value(u"page"_s),
                     width = message.value(u"width"_s), height = message.value(u"height"_s);
    if (!page.isInteger() || !width.isInteger() || !height.isInteger() || page.toInteger() < 0 ||
        page.toInteger() > std::numeric_limits<int>::max() || width.toInteger() < 1 || height.toInteger() < 1 ||
        width.toInteger() > RenderRequest::MaxPixels || height.toInteger() > RenderRequest::MaxPixels ||
        width.toInteger() * height.toInteger() > RenderRequest::MaxPixels)
        return std::nullopt;
    RenderRequest request;
    if (kind.toString() == u"pdf")
        request.kind = RenderRequest::Kind::pdfPage;
    else if (kind.toString() == u"picture")
        request.kind = RenderRequest::Kind::picture;
    else
        return std::nullopt;
    request.page = int(page.toInteger());
    request.bounds = QSize(int(width.toInteger()), int(height.toInteger()));
    return request;
}

QCborMap encodeRendered(qint64 id, const RenderResult &result)
{
    QCborMap reply{{u"type"_s, QString(Type::rendered)}, {u"id"_s, id}};
    if (!result) {
        reply.insert(u"error"_s, result.error().message);
        return reply;
    }
    const QImage image = result->image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qsizetype row = qsizetype(image.width()) * 4;
    QByteArray pixels(row * image.height(), Qt::Uninitialized);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(pixels.data() + y * row, image.constScanLine(y), size_t(row));
    reply.insert(u"pages"_s, result->pages);
    reply.insert(u"width"_s, image.width());
    reply.insert(u"height"_s, image.height());
    reply.insert(u"pixels"_s, pixels);
    return reply;
}

std::optional<RenderResult> decodeRendered(const QCborMap &reply, const RenderRequest &request)
{
    if (const QCborValue error = reply.value(u"error"_s); error.isString())
        return std::unexpected(ExtractionError{error.toString()});
    const QCborValue pages = reply.value(u"pages"_s), width = reply.value(u"width"_s),
                     height = reply.value(u"height"_s), pixels = reply.value(u"pixels"_s);
    if (!pages.isInteger() || !width.isInteger() || !height.isInteger() || !pixels.isByteArray() ||
        pages.toInteger() < 1 || pages.toInteger() > std::numeric_limits<int>::max() || width.toInteger() < 1 ||
        height.toInteger() < 1 || width.toInteger() > request.bounds.width() ||
        height.toInteger() > request.bounds.height())
        return std::nullopt;
    const int w = int(width.toInteger()), h = int(height.toInteger());
    const QByteArray bytes = pixels.toByteArray();
    if (bytes.size() != qsizetype(w) * h * 4)
        return std::nullopt;
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    if (image.isNull())
        return std::nullopt;
    for (int y = 0; y < h; ++y)
        std::memcpy(image.scanLine(y), bytes.constData() + qsizetype(y) * w * 4, size_t(w) * 4);
    return Rendering{std::move(image), int(pages.toInteger())};
}

bool send(int socket, const QByteArray &bytes, int descriptor)
{
    qsizetype sent = 0;
    while (sent < bytes.size()) {
        iovec part{const_cast<char *>(bytes.constData()) + sent, size_t(bytes.size() - sent)};
        msghdr header = {};
        header.msg_iov = &part;
        header.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (descriptor >= 0 && sent == 0) {
            header.msg_control = control;
            header.msg_controllen = sizeof control;
            cmsghdr *attached = CMSG_FIRSTHDR(&header);
            attached->cmsg_level = SOL_SOCKET;
            attached->cmsg_type = SCM_RIGHTS;
            attached->cmsg_len = CMSG_LEN(sizeof(int));
            std::memcpy(CMSG_DATA(attached), &descriptor, sizeof(int));
        }
        const ssize_t written = ::sendmsg(socket, &header, MSG_NOSIGNAL);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        sent += written;
    }
    return true;
}

Received receive(int socket, QByteArray &buffer, QList<int> &descriptors)
{
    char chunk[64 * 1024];
    iovec part{chunk, sizeof chunk};
    alignas(cmsghdr) char control[CMSG_SPACE(MaxDescriptors * sizeof(int))] = {};
    msghdr header = {};
    header.msg_iov = &part;
    header.msg_iovlen = 1;
    header.msg_control = control;
    header.msg_controllen = sizeof control;
    ssize_t got = -1;
    do
        got = ::recvmsg(socket, &header, MSG_CMSG_CLOEXEC);
    while (got < 0 && errno == EINTR);
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
        return Received::wouldBlock;
    for (cmsghdr *c = CMSG_FIRSTHDR(&header); got >= 0 && c; c = CMSG_NXTHDR(&header, c)) {
        if (c->cmsg_level != SOL_SOCKET || c->cmsg_type != SCM_RIGHTS)
            continue;
        const size_t count = (c->cmsg_len - CMSG_LEN(0)) / sizeof(int);
        for (size_t i = 0; i < count; ++i) {
            int descriptor = -1;
            std::memcpy(&descriptor, CMSG_DATA(c) + i * sizeof(int), sizeof(int));
            descriptors.append(descriptor);
        }
    }
    if (got <= 0)
        return Received::closed;
    buffer.append(chunk, got);
    return Received::bytes;
}

} // namespace HelperProtocol
