#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

/** Which elements of an XML document part hold its text; names are qualified ("w:t"), no namespace processing. */
struct XMLTextMarkup {
    /** Character data inside one of these, at any depth, is collected. */
    QStringList textElements;
    /** The start and the end of each of these close the text collected so far as one piece (paragraphs, cells). */
    QStringList pieceElements;
    /** These stand for white space inside a piece (tabs, line breaks): one space before the next text. */
    QStringList spaceElements;
};

/** A block element (a shape) whose subtree holds the element `mark` with `attribute` set to one of `values`. */
struct XMLLeadBlock {
    QString block;
    QString mark;
    QString attribute;
    QStringList values;
};

/**
 * Collects the text of XML document parts as pieces: the texts inside one piece element are
 * joined without a separator (a word split over several runs stays one word), pieces keep
 * document order (lead blocks aside), lose their white space at either end, and empty ones are
 * dropped. A parse error ends the walk of that part and keeps what was collected; reaching the
 * length bound ends all further parsing.
 */
class XMLTextCollector final
{
public:
    /** Stops once the collected pieces hold `maxLength` UTF-16 units; the last piece is cut there. */
    XMLTextCollector(XMLTextMarkup markup, qsizetype maxLength);

    /**
     * The pieces of each lead block come before the other pieces of their part, in their own
     * order (a slide's title before the shapes drawn ahead of it).
     */
    void setLeadBlock(XMLLeadBlock lead) { m_lead = std::move(lead); }

    /** Adds the pieces of one part; several parts may be given in turn. */
    void parse(const QByteArray &xml);
    [[nodiscard]] const QStringList &texts() const { return m_texts; }
    [[nodiscard]] bool isFull() const { return m_full; }

    /** The pieces of `xml`, joined with single spaces. */
    [[nodiscard]] static QString joinedText(const QByteArray &xml, const XMLTextMarkup &markup, qsizetype maxLength);

private:
    bool append(QStringView text);
    void endPiece();

    const XMLTextMarkup m_markup;
    std::optional<XMLLeadBlock> m_lead;
    const qsizetype m_maxLength;
    QStringList m_texts;
    QString m_piece;
    qsizetype m_collected = 0; // units in m_texts, one more for each joining space
    bool m_pendingSpace = false;
    bool m_full = false;
};
