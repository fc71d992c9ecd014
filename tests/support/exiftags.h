#pragma once

#include <QFile>
#include <QMap>
#include <QString>

#include <exiv2/exiv2.hpp>

using Tags = QMap<QString, QString>;

// Writes `tags` (Exiv2 key → value in Exiv2's text form, "Exif.", "Xmp." or "Iptc.") into an existing image file.
inline void writeExif(const QString &path, const Tags &tags)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    for (auto it = tags.cbegin(); it != tags.cend(); ++it) {
        if (it.key().startsWith("Xmp."))
            image->xmpData()[it.key().toStdString()] = it.value().toStdString();
        else if (it.key().startsWith("Iptc."))
            image->iptcData()[it.key().toStdString()] = it.value().toStdString();
        else
            image->exifData()[it.key().toStdString()] = it.value().toStdString();
    }
    image->writeMetadata();
}
