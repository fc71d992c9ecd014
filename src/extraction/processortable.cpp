#include "processortable.h"

#include "extraction/documents/binaryofficeprocessor.h"
#include "extraction/documents/emailprocessor.h"
#include "extraction/documents/htmlprocessor.h"
#include "extraction/documents/officeprocessor.h"
#include "extraction/documents/pdfprocessor.h"
#include "extraction/documents/richtextprocessor.h"
#include "extraction/documents/xmlprocessor.h"
#include "extraction/genericprocessor.h"
#include "extraction/media/imageprocessor.h"
#include "extraction/media/mediaprocessor.h"

namespace ProcessorTable {

const QList<const FileProcessor *> &processors()
{
    static const PDFProcessor pdf;
    static const ImageProcessor image;
    static const OfficeProcessor office;
    static const BinaryOfficeProcessor binaryOffice;
    static const RichTextProcessor richText;
    static const HTMLProcessor html;
    static const EmailProcessor email;
    static const MediaProcessor media;
    static const XMLProcessor xml;
    static const GenericProcessor generic;
    static const QList<const FileProcessor *> table{&pdf,  &image, &office, &binaryOffice, &richText,
                                                    &html, &email, &media,  &xml,          &generic};
    return table;
}

const FileProcessor &processorFor(const QString &path)
{
    for (const FileProcessor *processor : processors()) {
        if (processor->canProcess(path))
            return *processor;
    }
    Q_UNREACHABLE(); // the generic processor accepts every path
}

} // namespace ProcessorTable
