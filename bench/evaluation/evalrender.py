"""The document model of the evaluation set and its renderings: a positioned PDF page, linear
text (plain .txt and e-mail bodies), HTML, WordprocessingML.

A `Doc` is what a business letter holds, in reading order: letterhead, the sender's return line
above the address window, the recipient, an information block (numbers and dates), the place and
date line, a subject, paragraphs, an item table, totals, closing paragraphs, a signature and a
footer in columns. Receipts are a column of monospaced lines instead (`mono`).
"""

import textwrap
from dataclasses import dataclass, field
from html import escape

from evalformats import PAGE_H, PAGE_W, Page, docx_paragraph, docx_table, text_width


@dataclass
class Doc:
    letterhead: list = field(default_factory=list)  # [(text, "big"|"normal"|"small")]
    return_line: str = ""
    recipient: list = field(default_factory=list)
    info: list = field(default_factory=list)  # [(label, value)]
    place_date: str = ""
    title: str = ""
    paras: list = field(default_factory=list)
    table: dict = None  # {"header": [...], "rows": [[...]], "align": "lrr…"}
    totals: list = field(default_factory=list)  # [(label, value, bold)]
    after: list = field(default_factory=list)
    closing: list = field(default_factory=list)
    footer: list = field(default_factory=list)  # columns of lines
    mono: list = None  # receipts
    mail: dict = None  # {"from_name", "from_addr", "subject", "date" (RFC 2822), "to"}
    meta_title: str = ""
    meta_author: str = ""
    meta_created: str = ""  # ISO timestamp: when the file says it was made (a distractor)


# --- PDF -------------------------------------------------------------------------------------

class _Cursor:
    def __init__(self, pages):
        self.pages = pages
        self.y = 0

    @property
    def page(self):
        return self.pages[-1]

    def need(self, height, top=60):
        if self.y + height > PAGE_H - 90:
            self.pages.append(Page())
            self.y = top


def layout_pdf(doc, style):
    """`style`: dict with font ("sans"|"serif"), head ("left"|"right"|"center"), info ("right"|"row"),
    size (body size), chunks (strings per line), footer (bool)."""
    font = style.get("font", "sans")
    bold = font + "-bold"
    size = style.get("size", 10)
    chunks = style.get("chunks", 1)
    pages = [Page()]
    c = _Cursor(pages)
    left, right = 56, PAGE_W - 56

    if doc.mono:
        # A till roll: a narrow page as long as the receipt.
        roll = Page(230, 70 + 12 * len(doc.mono))
        y = 40
        for line in doc.mono:
            roll.text(14, y, line, "mono-bold" if line.isupper() and len(line) < 24 else "mono", 9)
            y += 12
        return [roll]

    # Letterhead.
    y = 48
    for text, weight in doc.letterhead:
        sz = {"big": 17, "normal": 9, "small": 7.5}[weight]
        f = bold if weight == "big" else font
        if style.get("head") == "right":
            c.page.text(right, y, text, f, sz, "right")
        elif style.get("head") == "center":
            c.page.text(PAGE_W / 2, y, text, f, sz, "center")
        else:
            c.page.text(left, y, text, f, sz)
        y += sz + 4
    top_info = 130
    if doc.return_line:
        c.page.text(left, 138, doc.return_line, font, 6.5)
        c.page.rule(left, 141, left + min(260, text_width(doc.return_line, font, 6.5)), 0.3)
    y = 154
    for line in doc.recipient:
        c.page.text(left, y, line, font, size)
        y += size + 3
    # Information block: beside the window, or as a row under it.
    if doc.info and style.get("info", "right") == "right":
        iy = max(top_info, y - 70) if style.get("head") != "right" else 150
        for label, value in doc.info:
            if style.get("inline"):
                c.page.text(340, iy, "%s: %s" % (label, value), font, size - 1)
            else:
                c.page.text(340, iy, label, font, size - 1)
                c.page.text(right, iy, value, font, size - 1, "right")
            iy += size + 2
        y = max(y, iy)
    y += 18
    if doc.info and style.get("info", "right") == "row":
        per_line = 2
        for i in range(0, len(doc.info), per_line):
            x = left
            for label, value in doc.info[i:i + per_line]:
                c.page.text(x, y, "%s %s" % (label, value), font, size - 1)
                x += 245
            y += size + 3
        y += 8
    if doc.place_date:
        c.page.text(right, y, doc.place_date, font, size, "right")
        y += size + 14
    c.y = y
    if doc.title:
        c.page.text(left, c.y, doc.title, bold, size + 2, chunks=chunks)
        c.y += size + 14
    width_chars = int((right - left) / (size * 0.5))

    def paragraph(text):
        for line in textwrap.wrap(text, width_chars) or [""]:
            c.need(size + 3)
            c.page.text(left, c.y, line, font, size, chunks=chunks)
            c.y += size + 3
        c.y += 6

    for p in doc.paras:
        paragraph(p)
    if doc.table:
        header, rows, align = doc.table["header"], doc.table["rows"], doc.table["align"]
        n = len(header)
        # The first text column takes what the numeric ones leave.
        widths = [0] * n
        for i in range(n):
            widths[i] = max(text_width(str(r[i]), font, size - 1) for r in [header] + rows) + 12
        text_col = max(range(n), key=lambda i: widths[i] if align[i] == "l" else -1)
        fixed = sum(w for i, w in enumerate(widths) if i != text_col)
        widths[text_col] = max(80, (right - left) - fixed)
        xs = [left]
        for w in widths[:-1]:
            xs.append(xs[-1] + w)
        c.need(size * 3)
        for row_i, row in enumerate([header] + rows):
            c.need(size + 3)
            f = bold if row_i == 0 else font
            for i, cell in enumerate(row):
                cell = str(cell)
                if align[i] == "r":
                    c.page.text(xs[i] + widths[i] - 4, c.y, cell, f, size - 1, "right")
                else:
                    limit = int(widths[i] / ((size - 1) * 0.5))
                    c.page.text(xs[i], c.y, cell[:limit], f, size - 1)
            if row_i == 0:
                c.page.rule(left, c.y + 3, right, 0.4)
            c.y += size + 3
        c.page.rule(left, c.y - size + 2, right, 0.4)
        c.y += 8
    for label, value, strong in doc.totals:
        c.need(size + 3)
        f = bold if strong else font
        c.page.text(300, c.y, label, f, size)
        c.page.text(right, c.y, value, f, size, "right")
        c.y += size + 4
    if doc.totals:
        c.y += 8
    for p in doc.after:
        paragraph(p)
    c.y += 4
    for line in doc.closing:
        c.need(size + 3)
        c.page.text(left, c.y, line, font, size)
        c.y += size + 3
    if doc.footer and style.get("footer", True):
        for page in pages:
            cols = len(doc.footer)
            col_w = (right - left) / cols
            page.rule(left, 768, right, 0.3)
            for i, col in enumerate(doc.footer):
                fy = 778
                for line in col:
                    page.text(left + i * col_w, fy, line, font, 6.5)
                    fy += 8
    return pages


# --- linear text -----------------------------------------------------------------------------

def render_text(doc, with_head=True, width=78):
    out = []
    if doc.mono:
        return "\n".join(doc.mono) + "\n"
    if with_head:
        out += [t for t, _ in doc.letterhead]
        if doc.return_line:
            out += ["", doc.return_line]
        if doc.recipient:
            out += [""] + doc.recipient
        out.append("")
    for label, value in doc.info:
        out.append("%-22s %s" % (label, value))
    if doc.info:
        out.append("")
    if doc.place_date:
        out += [doc.place_date.rjust(width), ""]
    if doc.title:
        out += [doc.title, ""]
    for p in doc.paras:
        out += textwrap.wrap(p, width) + [""]
    if doc.table:
        header, rows, align = doc.table["header"], doc.table["rows"], doc.table["align"]
        widths = [max(len(str(r[i])) for r in [header] + rows) for i in range(len(header))]
        for row in [header] + rows:
            cells = [str(cell).rjust(widths[i]) if align[i] == "r" else str(cell).ljust(widths[i])
                     for i, cell in enumerate(row)]
            out.append("  ".join(cells).rstrip())
        out.append("")
    for label, value, _ in doc.totals:
        out.append("%-40s %15s" % (label, value))
    if doc.totals:
        out.append("")
    for p in doc.after:
        out += textwrap.wrap(p, width) + [""]
    out += doc.closing
    if doc.footer:
        out += ["", "-" * 40]
        for col in doc.footer:
            out.append(" | ".join(col))
    return "\n".join(out).rstrip() + "\n"


# --- HTML ------------------------------------------------------------------------------------

def render_html(doc, style):
    e = escape
    parts = ['<!DOCTYPE html>', '<html lang="%s"><head><meta charset="utf-8">' % style.get("lang", "de"),
             "<title>%s</title>" % e(doc.meta_title or doc.title),
             "<style>body{font-family:sans-serif} td.r{text-align:right}</style></head><body>"]
    brand = doc.letterhead[0][0] if doc.letterhead else ""
    parts.append('<header><a href="/"><img src="logo.svg" alt="%s"></a>' % e(brand))
    if style.get("nav", True):
        parts.append('<nav><a href="/konto">Mein Konto</a> <a href="/bestellungen">Bestellungen</a> '
                     '<a href="/hilfe">Hilfe</a></nav>')
    parts.append("</header><main>")
    if doc.title:
        parts.append("<h1>%s</h1>" % e(doc.title))
    if doc.recipient:
        parts.append("<p>%s</p>" % "<br>".join(e(l) for l in doc.recipient))
    if doc.info:
        parts.append('<table class="info">%s</table>' % "".join(
            "<tr><th>%s</th><td>%s</td></tr>" % (e(l), e(v)) for l, v in doc.info))
    if doc.place_date:
        parts.append("<p>%s</p>" % e(doc.place_date))
    for p in doc.paras:
        parts.append("<p>%s</p>" % e(p))
    if doc.table:
        header, rows, align = doc.table["header"], doc.table["rows"], doc.table["align"]
        parts.append('<table class="items"><thead><tr>%s</tr></thead><tbody>' % "".join(
            "<th>%s</th>" % e(h) for h in header))
        for row in rows:
            parts.append("<tr>%s</tr>" % "".join(
                '<td class="%s">%s</td>' % ("r" if align[i] == "r" else "", e(str(cell))) for i, cell in enumerate(row)))
        parts.append("</tbody></table>")
    if doc.totals:
        parts.append('<table class="totals">%s</table>' % "".join(
            '<tr><td>%s</td><td class="r">%s%s%s</td></tr>' % (e(l), "<b>" if b else "", e(v), "</b>" if b else "")
            for l, v, b in doc.totals))
    for p in doc.after:
        parts.append("<p>%s</p>" % e(p))
    if doc.closing:
        parts.append("<p>%s</p>" % "<br>".join(e(l) for l in doc.closing))
    parts.append("</main>")
    if doc.footer:
        parts.append("<footer>%s</footer>" % "".join("<p>%s</p>" % " · ".join(e(l) for l in col)
                                                       for col in doc.footer))
    parts.append("</body></html>")
    return "\n".join(parts) + "\n"


# --- Word ------------------------------------------------------------------------------------

def render_docx_parts(doc, head_in_header):
    """(body XML, header XML or None, footer XML or None)."""
    body = []
    header = None
    if head_in_header:
        header = "".join(docx_paragraph(t, bold=w == "big", size=16 if w == "big" else None) for t, w in doc.letterhead)
    else:
        body += [docx_paragraph(t, bold=w == "big", size=16 if w == "big" else None) for t, w in doc.letterhead]
    if doc.return_line:
        body.append(docx_paragraph(doc.return_line, size=7))
    body += [docx_paragraph(l) for l in doc.recipient]
    body += [docx_paragraph("%s\t%s" % (l, v)) for l, v in doc.info]
    if doc.place_date:
        body.append(docx_paragraph(doc.place_date, align="right"))
    if doc.title:
        body.append(docx_paragraph(doc.title, bold=True, style="Heading1"))
    body += [docx_paragraph(p) for p in doc.paras]
    if doc.table:
        body.append(docx_table([doc.table["header"]] + [[str(c) for c in r] for r in doc.table["rows"]]))
    body += [docx_paragraph("%s\t%s" % (l, v), bold=b) for l, v, b in doc.totals]
    body += [docx_paragraph(p) for p in doc.after]
    body += [docx_paragraph(l) for l in doc.closing]
    footer = None
    if doc.footer:
        footer = "".join(docx_paragraph(" · ".join(col), size=7) for col in doc.footer)
    return "".join(body), header, footer
