#pragma once

#include <QByteArray>
#include <QString>

/**
 * The text of a PowerPoint package (.pptx, its shows and templates): the paragraphs of each
 * slide (its title placeholder's first, then the other shapes in document order), then those of
 * its notes, slides in the order the presentation lists them
 * (ppt/presentation.xml and its relationships; by file number when that list is unusable).
 * Every part is read at most once and the parts together are bounded, so neither a slide listed
 * many times nor a package of huge empty parts costs more than a few reads.
 */
namespace PresentationPackage {

/** Stops once the text holds `maxLength` UTF-16 units; empty when `archive` is no ZIP archive. */
[[nodiscard]] QString text(const QByteArray &archive, qsizetype maxLength);

} // namespace PresentationPackage
