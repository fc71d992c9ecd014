#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

#include <optional>

enum class LeadingBom { keep, skip };

/**
 * `bytes` as text if they are valid UTF-8 throughout, nullopt otherwise (a sequence cut at the
 * end, an overlong form or an encoded surrogate included). A leading byte-order mark stays text
 * unless `bom` says to skip it.
 */
[[nodiscard]] inline std::optional<QString> strictUtf8(QByteArrayView bytes, LeadingBom bom = LeadingBom::keep)
{
    QStringDecoder decoder(QStringDecoder::Utf8, bom == LeadingBom::keep ? QStringDecoder::Flag::Stateless |
                                                                               QStringDecoder::Flag::ConvertInitialBom
                                                                         : QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    return text;
}
