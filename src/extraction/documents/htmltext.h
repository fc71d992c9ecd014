#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

/** The readable parts of an HTML page. */
namespace HTMLText {

struct Page {
    QString text;
    std::optional<QString> title;
};

/**
 * The parts of an HTML5 document given as UTF-8. The visible text: no script, style, head,
 * template or noscript content; blocks and <br> give line breaks, table cells tabs, other white
 * space collapses to single spaces; a form's <select> choices are no text. The main content
 * (role "main", else <main>, else a lone <article>) comes first. <nav>, <aside>, the <header> and
 * <footer> outside any article, section or main, elements with the landmark role navigation,
 * complementary, banner, contentinfo or search, and link menus (blocks with two or more links
 * holding 80 % of their letters, or 40 % when their class or id says nav, menu, toc, sidebar,
 * breadcrumb, header or footer) come after the rest. Stops once `maxLength` UTF-16 units are
 * collected. The title: the first <title>'s text, entities decoded, white space collapsed;
 * nullopt when missing or blank. Nothing after the 16 384th tag is read, which bounds the parse
 * time of pathological nesting. Nullopt when the parser gives up (it accepts any input, so only
 * when out of memory).
 */
[[nodiscard]] std::optional<Page> read(const QByteArray &utf8, qsizetype maxLength);

} // namespace HTMLText
