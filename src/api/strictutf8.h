#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <optional>

/**
 * `bytes` as text if they are valid UTF-8 throughout, nullopt otherwise (a sequence cut at the
 * end, an overlong form or an encoded surrogate included). A leading byte-order mark stays text.
 */
[[nodiscard]] inline std::optional<QString> strictUtf8(QByteArrayView bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
