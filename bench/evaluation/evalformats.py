"""File writers for the evaluation documents, standard library only (plus poppler-utils'
pdftoppm for the scans): text PDFs with the base-14 fonts, PDFs with attached files (hybrid
e-invoices), image-only PDFs, grey PNGs, JPEGs, minimal DOCX packages.

Everything is deterministic: no clock, fixed zip timestamps, fixed PDF ids, and the picture noise
comes from the caller's seeded random generator.
"""

import os
import subprocess
import tempfile
import zipfile
import zlib
from xml.sax.saxutils import escape

PAGE_W, PAGE_H = 595, 842  # A4 in points

# Base-14 fonts by the names the layouts use.
FONTS = {
    "sans": "Helvetica",
    "sans-bold": "Helvetica-Bold",
    "mono": "Courier",
    "mono-bold": "Courier-Bold",
    "serif": "Times-Roman",
    "serif-bold": "Times-Bold",
}

# Advance widths (1/1000 em) of Helvetica for the characters that right-aligned columns hold;
# everything else counts as an average letter. Good enough to line up amounts.
_HELV = {" ": 278, ",": 278, ".": 278, "-": 333, "%": 889, "€": 556, "E": 667, "U": 722, "R": 722,
         "$": 556, "£": 556, "/": 278, ":": 278, "x": 500, "h": 556, "(": 333, ")": 333, "+": 584}


def text_width(text, font, size):
    if font.startswith("mono"):
        return 0.6 * size * len(text)
    total = 0
    for ch in text:
        if ch.isdigit():
            total += 556
        else:
            total += _HELV.get(ch, 600 if ch.isupper() else 500)
    if font.endswith("bold"):
        total *= 1.05
    if font.startswith("serif"):
        total *= 0.92
    return total * size / 1000.0


def _pdf_string(text):
    data = text.encode("cp1252", errors="replace")
    return "<" + data.hex() + ">"


def _pdf_date(stamp):
    # stamp "2024-04-02T10:15:00" → D:20240402101500+02'00'
    digits = stamp.replace("-", "").replace(":", "").replace("T", "")
    return "(D:%s+02'00')" % digits


class Page:
    """One page: positioned text runs (y from the top, in points) and at most one full-page image."""

    def __init__(self, width=PAGE_W, height=PAGE_H):
        self.width, self.height = width, height
        self.runs = []
        self.rules = []
        self.image = None  # (kind "jpeg"|"gray", data, pixel width, pixel height)

    def text(self, x, y, text, font="sans", size=10, align="left", chunks=1):
        if align == "right":
            x -= text_width(text, font, size)
        elif align == "center":
            x -= text_width(text, font, size) / 2
        self.runs.append((x, y, text, font, size, chunks))

    def rule(self, x1, y, x2, width=0.5):
        self.rules.append((x1, y, x2, width))


class _Objects:
    def __init__(self):
        self.bodies = []

    def add(self, body):
        self.bodies.append(body)
        return len(self.bodies)

    def set(self, number, body):
        self.bodies[number - 1] = body

    def reserve(self):
        self.bodies.append(None)
        return len(self.bodies)


def _stream(dictionary, data, compress=True):
    if compress:
        data = zlib.compress(data, 9)
        dictionary = dictionary + " /Filter /FlateDecode"
    return ("<< %s /Length %d >>\nstream\n" % (dictionary, len(data))).encode("latin-1") + data + b"\nendstream"


def _content(page):
    out = []
    for x1, y, x2, width in page.rules:
        yy = page.height - y
        out.append("%.2f w %.2f %.2f m %.2f %.2f l S" % (width, x1, yy, x2, yy))
    for x, y, text, font, size, chunks in page.runs:
        name = "F%d" % (list(FONTS).index(font) + 1)
        yy = page.height - y
        if chunks > 1 and len(text) > chunks:
            # Some producers write a line as several shown strings with small kerning gaps.
            step = max(1, len(text) // chunks)
            parts = [text[i:i + step] for i in range(0, len(text), step)]
            array = " -12 ".join(_pdf_string(p) for p in parts)
            out.append("BT /%s %.1f Tf 1 0 0 1 %.2f %.2f Tm [%s] TJ ET" % (name, size, x, yy, array))
        else:
            out.append("BT /%s %.1f Tf 1 0 0 1 %.2f %.2f Tm %s Tj ET" % (name, size, x, yy, _pdf_string(text)))
    if page.image:
        out.append("q %.2f 0 0 %.2f 0 0 cm /Im1 Do Q" % (page.width, page.height))
    return "\n".join(out).encode("latin-1")


def write_pdf(path, pages, info=None, attachments=None, xmp=None):
    """`attachments`: list of (file name, bytes, description, AFRelationship)."""
    objs = _Objects()
    catalog = objs.reserve()
    pages_obj = objs.reserve()
    font_refs = {}
    for i, (key, base) in enumerate(FONTS.items()):
        font_refs["F%d" % (i + 1)] = objs.add(
            ("<< /Type /Font /Subtype /Type1 /BaseFont /%s /Encoding /WinAnsiEncoding >>" % base).encode())
    fonts = " ".join("/%s %d 0 R" % (k, v) for k, v in font_refs.items())
    kids = []
    for page in pages:
        resources = "/Font << %s >>" % fonts
        if page.image:
            kind, data, w, h = page.image
            filt = "/FlateDecode" if kind == "gray" else "/DCTDecode"
            space = "/DeviceRGB" if kind == "jpeg-rgb" else "/DeviceGray"
            if kind == "gray":
                data = zlib.compress(data, 6)
            img = objs.add(("<< /Type /XObject /Subtype /Image /Width %d /Height %d /ColorSpace %s "
                            "/BitsPerComponent 8 /Filter %s /Length %d >>\nstream\n" % (w, h, space, filt,
                                                                                         len(data))).encode()
                           + data + b"\nendstream")
            resources += " /XObject << /Im1 %d 0 R >>" % img
        content = objs.add(_stream("", _content(page)))
        kids.append(objs.add(("<< /Type /Page /Parent %d 0 R /MediaBox [0 0 %d %d] /Resources << %s >> "
                              "/Contents %d 0 R >>" % (pages_obj, page.width, page.height, resources, content)).encode()))
    objs.set(pages_obj, ("<< /Type /Pages /Kids [%s] /Count %d >>"
                         % (" ".join("%d 0 R" % k for k in kids), len(kids))).encode())
    extra = ""
    if attachments:
        specs = []
        for name, data, desc, relation in attachments:
            ef = objs.add(_stream("/Type /EmbeddedFile /Subtype /text#2Fxml /Params << /Size %d >>" % len(data), data))
            spec = objs.add(("<< /Type /Filespec /F %s /UF %s /Desc %s /AFRelationship /%s /EF << /F %d 0 R /UF %d 0 R >> >>"
                             % (_pdf_string(name), _pdf_string(name), _pdf_string(desc), relation, ef, ef)).encode())
            specs.append((name, spec))
        names = " ".join("%s %d 0 R" % (_pdf_string(n), s) for n, s in sorted(specs))
        extra += " /Names << /EmbeddedFiles << /Names [%s] >> >> /AF [%s]" % (
            names, " ".join("%d 0 R" % s for _, s in specs))
    if xmp:
        meta = objs.add(_stream("/Type /Metadata /Subtype /XML", xmp.encode("utf-8"), compress=False))
        extra += " /Metadata %d 0 R" % meta
    objs.set(catalog, ("<< /Type /Catalog /Pages %d 0 R%s >>" % (pages_obj, extra)).encode())
    info_ref = None
    if info:
        fields = []
        for key, value in info.items():
            if key in ("CreationDate", "ModDate"):
                fields.append("/%s %s" % (key, _pdf_date(value)))
            else:
                fields.append("/%s %s" % (key, _pdf_string(value)))
        info_ref = objs.add(("<< %s >>" % " ".join(fields)).encode())

    out = bytearray(b"%PDF-1.7\n%\xe2\xe3\xcf\xd3\n")
    offsets = []
    for number, body in enumerate(objs.bodies, start=1):
        offsets.append(len(out))
        out += b"%d 0 obj\n" % number + body + b"\nendobj\n"
    xref = len(out)
    out += b"xref\n0 %d\n0000000000 65535 f \n" % (len(offsets) + 1)
    for off in offsets:
        out += b"%010d 00000 n \n" % off
    trailer = "<< /Size %d /Root %d 0 R" % (len(offsets) + 1, catalog)
    if info_ref:
        trailer += " /Info %d 0 R" % info_ref
    ident = zlib.crc32(os.path.basename(path).encode())
    trailer += " /ID [<%032x> <%032x>] >>" % (ident, ident)
    out += b"trailer\n" + trailer.encode() + b"\nstartxref\n%d\n%%%%EOF\n" % xref
    with open(path, "wb") as f:
        f.write(out)


def facturx_xmp(file_name, level="EN 16931"):
    """The XMP packet a Factur-X / ZUGFeRD PDF carries to name its attached invoice."""
    return ('<?xpacket begin="\ufeff" id="W5M0MpCehiHzreSzNTczkc9d"?>\n'
            '<x:xmpmeta xmlns:x="adobe:ns:meta/"><rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">'
            '<rdf:Description rdf:about="" xmlns:pdfaid="http://www.aiim.org/pdfa/ns/id/">'
            '<pdfaid:part>3</pdfaid:part><pdfaid:conformance>B</pdfaid:conformance></rdf:Description>'
            '<rdf:Description rdf:about="" xmlns:fx="urn:factur-x:pdfa:CrossIndustryDocument:invoice:1p0#">'
            '<fx:DocumentType>INVOICE</fx:DocumentType><fx:DocumentFileName>%s</fx:DocumentFileName>'
            '<fx:Version>1.0</fx:Version><fx:ConformanceLevel>%s</fx:ConformanceLevel></rdf:Description>'
            '</rdf:RDF></x:xmpmeta>\n<?xpacket end="w"?>' % (file_name, level))


# --- pictures -------------------------------------------------------------------------------

def _png_chunk(kind, data):
    return len(data).to_bytes(4, "big") + kind + data + zlib.crc32(kind + data).to_bytes(4, "big")


def write_gray_png(path, width, height, pixels, dpi):
    raw = bytearray()
    for y in range(height):
        raw.append(0)
        raw += pixels[y * width:(y + 1) * width]
    ppm = int(round(dpi / 0.0254))
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(_png_chunk(b"IHDR", width.to_bytes(4, "big") + height.to_bytes(4, "big") + bytes([8, 0, 0, 0, 0])))
        f.write(_png_chunk(b"pHYs", ppm.to_bytes(4, "big") + ppm.to_bytes(4, "big") + b"\x01"))
        f.write(_png_chunk(b"IDAT", zlib.compress(bytes(raw), 6)))
        f.write(_png_chunk(b"IEND", b""))


def _read_pgm(path):
    with open(path, "rb") as f:
        data = f.read()
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    assert fields[0] == b"P5", "pdftoppm gave no PGM"
    width, height = int(fields[1]), int(fields[2])
    pos += 1
    return width, height, bytearray(data[pos:pos + width * height])


def rasterize(pdf_path, dpi):
    """Page 1 of a PDF as grey pixels, through pdftoppm."""
    with tempfile.TemporaryDirectory() as tmp:
        prefix = os.path.join(tmp, "page")
        subprocess.run(["pdftoppm", "-r", str(dpi), "-gray", "-f", "1", "-l", "1", "-singlefile", pdf_path, prefix],
                       check=True)
        return _read_pgm(prefix + ".pgm")


def degrade(width, height, pixels, rng, skew=0.0, speckles=0.0015, paper=240):
    """What a scanner or phone adds: a paper tone, a slight skew (rows shifted, as a small
    rotation looks to a reader) and dust."""
    tone = bytes(min(v, paper) if v > 200 else v for v in range(256))
    pixels = bytearray(pixels.translate(tone))
    if skew:
        shifted = bytearray(len(pixels))
        for y in range(height):
            row = pixels[y * width:(y + 1) * width]
            s = int(round((y - height / 2) * skew))
            if s > 0:
                row = bytes([paper]) * s + row[:width - s]
            elif s < 0:
                row = row[-s:] + bytes([paper]) * (-s)
            shifted[y * width:(y + 1) * width] = row
        pixels = shifted
    for _ in range(int(width * height * speckles)):
        i = rng.randrange(width * height)
        pixels[i] = rng.choice((40, 90, 160))
    return pixels


def gray_to_jpeg(path, width, height, pixels, dpi, quality):
    """Encodes grey pixels as JPEG by letting pdftoppm render a page that holds them."""
    with tempfile.TemporaryDirectory() as tmp:
        pdf = os.path.join(tmp, "img.pdf")
        page = Page(width * 72.0 / dpi, height * 72.0 / dpi)
        page.image = ("gray", bytes(pixels), width, height)
        write_pdf(pdf, [page])
        prefix = os.path.join(tmp, "out")
        subprocess.run(["pdftoppm", "-r", str(dpi), "-jpeg", "-jpegopt", "quality=%d" % quality, "-singlefile",
                        pdf, prefix], check=True)
        with open(prefix + ".jpg", "rb") as f:
            data = f.read()
    with open(path, "wb") as f:
        f.write(data)
    return data


def jpeg_size(data):
    """(width, height, components) from the JPEG's frame header."""
    pos = 2
    while pos < len(data):
        marker = data[pos + 1]
        length = int.from_bytes(data[pos + 2:pos + 4], "big")
        if marker in (0xC0, 0xC1, 0xC2):
            return (int.from_bytes(data[pos + 7:pos + 9], "big"), int.from_bytes(data[pos + 5:pos + 7], "big"),
                    data[pos + 9])
        pos += 2 + length
    raise ValueError("no JPEG frame header")


def write_image_pdf(path, jpeg, info=None):
    """An image-only PDF: one A4 page that is the scanned picture, no text layer."""
    w, h, components = jpeg_size(jpeg)
    page = Page(PAGE_W, int(round(PAGE_W * h / w)))
    # pdftoppm writes grey pages as three-component JPEGs; the colour space must say so.
    page.image = ("jpeg" if components == 1 else "jpeg-rgb", jpeg, w, h)
    write_pdf(path, [page], info=info)


# --- Word ------------------------------------------------------------------------------------

_W = 'xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"'


def _run(text, bold=False, size=None):
    props = ""
    if bold or size:
        props = "<w:rPr>%s%s</w:rPr>" % ("<w:b/>" if bold else "", '<w:sz w:val="%d"/>' % (size * 2) if size else "")
    return '<w:r>%s<w:t xml:space="preserve">%s</w:t></w:r>' % (props, escape(text))


def docx_paragraph(text, bold=False, size=None, align=None, style=None):
    props = ""
    if align or style:
        props = "<w:pPr>%s%s</w:pPr>" % ('<w:pStyle w:val="%s"/>' % style if style else "",
                                         '<w:jc w:val="%s"/>' % align if align else "")
    if "\t" in text:
        runs = '<w:r><w:tab/></w:r>'.join(_run(part, bold, size) for part in text.split("\t"))
    else:
        runs = _run(text, bold, size)
    return "<w:p>%s%s</w:p>" % (props, runs)


def docx_table(rows, header=True):
    out = ['<w:tbl><w:tblPr><w:tblW w:w="0" w:type="auto"/></w:tblPr>']
    for i, row in enumerate(rows):
        out.append("<w:tr>")
        for cell in row:
            out.append("<w:tc><w:tcPr/>%s</w:tc>" % docx_paragraph(cell, bold=header and i == 0))
        out.append("</w:tr>")
    out.append("</w:tbl>")
    return "".join(out)


def write_docx(path, body_xml, header_xml=None, footer_xml=None, core=None):
    """`core`: dict with title, creator, lastModifiedBy, created, modified (ISO dates)."""
    rels = ['<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/styles" '
            'Target="styles.xml"/>']
    sect = ""
    parts = {}
    if header_xml:
        rels.append('<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
                    'header" Target="header1.xml"/>')
        parts["word/header1.xml"] = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:hdr %s>%s</w:hdr>' % (
            _W, header_xml)
        sect += '<w:headerReference xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" ' \
                'w:type="default" r:id="rId2"/>'
    if footer_xml:
        rels.append('<Relationship Id="rId3" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/'
                    'footer" Target="footer1.xml"/>')
        parts["word/footer1.xml"] = '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:ftr %s>%s</w:ftr>' % (
            _W, footer_xml)
        sect += '<w:footerReference xmlns:r="http://schemas.openxmlformats.org/officeDocument/2006/relationships" ' \
                'w:type="default" r:id="rId3"/>'
    document = ('<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:document %s><w:body>%s'
                '<w:sectPr>%s<w:pgSz w:w="11906" w:h="16838"/></w:sectPr></w:body></w:document>' % (_W, body_xml, sect))
    overrides = ['<Override PartName="/word/document.xml" ContentType="application/vnd.openxmlformats-officedocument.'
                 'wordprocessingml.document.main+xml"/>',
                 '<Override PartName="/word/styles.xml" ContentType="application/vnd.openxmlformats-officedocument.'
                 'wordprocessingml.styles+xml"/>',
                 '<Override PartName="/docProps/core.xml" ContentType="application/vnd.openxmlformats-package.'
                 'core-properties+xml"/>']
    if header_xml:
        overrides.append('<Override PartName="/word/header1.xml" ContentType="application/vnd.openxmlformats-'
                         'officedocument.wordprocessingml.header+xml"/>')
    if footer_xml:
        overrides.append('<Override PartName="/word/footer1.xml" ContentType="application/vnd.openxmlformats-'
                         'officedocument.wordprocessingml.footer+xml"/>')
    core = core or {}
    files = {
        "[Content_Types].xml": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Types xmlns="http://schemas.'
                               'openxmlformats.org/package/2006/content-types"><Default Extension="rels" ContentType="'
                               'application/vnd.openxmlformats-package.relationships+xml"/><Default Extension="xml" '
                               'ContentType="application/xml"/>%s</Types>' % "".join(overrides),
        "_rels/.rels": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns="http://schemas.'
                       'openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.'
                       'openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/>'
                       '<Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/'
                       'metadata/core-properties" Target="docProps/core.xml"/></Relationships>',
        "word/_rels/document.xml.rels": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><Relationships xmlns='
                                        '"http://schemas.openxmlformats.org/package/2006/relationships">%s'
                                        '</Relationships>' % "".join(rels),
        "word/document.xml": document,
        "word/styles.xml": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><w:styles %s><w:style w:type="'
                           'paragraph" w:styleId="Heading1"><w:name w:val="heading 1"/></w:style></w:styles>' % _W,
        "docProps/core.xml": '<?xml version="1.0" encoding="UTF-8" standalone="yes"?><cp:coreProperties xmlns:cp="http:'
                             '//schemas.openxmlformats.org/package/2006/metadata/core-properties" xmlns:dc="http://purl.'
                             'org/dc/elements/1.1/" xmlns:dcterms="http://purl.org/dc/terms/" xmlns:xsi="http://www.w3.'
                             'org/2001/XMLSchema-instance"><dc:title>%s</dc:title><dc:creator>%s</dc:creator>'
                             '<cp:lastModifiedBy>%s</cp:lastModifiedBy><dcterms:created xsi:type="dcterms:W3CDTF">%sZ'
                             '</dcterms:created><dcterms:modified xsi:type="dcterms:W3CDTF">%sZ</dcterms:modified>'
                             '</cp:coreProperties>' % (escape(core.get("title", "")), escape(core.get("creator", "")),
                                                       escape(core.get("lastModifiedBy", "")),
                                                       core.get("created", "2020-01-01T08:00:00"),
                                                       core.get("modified", "2020-01-01T08:00:00")),
    }
    files.update(parts)
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        for name, text in files.items():
            info = zipfile.ZipInfo(name, date_time=(2024, 1, 1, 0, 0, 0))
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, text.encode("utf-8"))
