#!/usr/bin/env python3
"""Writes the evaluation set of the on-device namer: about 270 German and English documents of
15 kinds in the formats users drop (text PDFs, scans as PNG, JPEG and image-only PDF, Word,
e-mail, HTML, plain text), 24 e-invoices (CII and UBL XML, hybrid PDFs with factur-x.xml or
xrechnung.xml attached), and six sequences of 5–7 documents from one sender for the learning
case, with manifest.json telling what each file should be named by.

Usage:  python3 bench/evaluation/generate_evalset.py OUTDIR [--seed N]
Needs:  python3 and pdftoppm (poppler-utils, installed by scripts/install-deps.sh --bench).
The same seed gives the same files byte for byte. Never write into the repository.

manifest.json:
  {"version": 1, "seed": N, "categories": [...the default categories...],
   "files": [{"file": "doc_0007.pdf", "kind": "invoice-utility", "format": "pdf-text",
              "group": "text"|"scan"|"einvoice", "language": "de"|"en",
              "expected": {"datum": "2024-03-15", "betrag": ["49.99"] or [null] or ["49.99", null],
                           "absender": ["Telekom", "Deutsche Telekom"], "kategorie": ["rechnung"]},
              "sequence": {"id": "seq-swl", "index": 0, "userSpelling": "SWL Strom"},   (sequences only)
              "einvoice": {"syntax": "cii"|"ubl", "number": ..., "issueDate": ..., "sellerName": [...],
                           "totalCents": 12345}}]}                                    (e-invoices only)
  Every list holds the accepted answers; the conventions of the fields are in evalkinds.py.
"""

import argparse
import copy
import datetime
import email.policy
import email.utils
import hashlib
import json
import os
import random
import sys
import tempfile
from email.message import EmailMessage

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import evalformats as F  # noqa: E402
from evalkinds import KINDS, Ctx, cents_text, closing, dunning, footer, fmt_date, letterhead, online_receipt, \
    recipient_block, result  # noqa: E402
from evalparties import LEGAL_FORMS, RECIPIENTS_DE, RECIPIENTS_EN, SENDERS, accepted  # noqa: E402
from evalrender import Doc, layout_pdf, render_docx_parts, render_html, render_text  # noqa: E402

CATEGORIES = ["rechnung", "vertrag", "brief", "foto", "beleg", "angebot", "protokoll", "sonstiges"]
GROUPS = {"pdf-text": "text", "docx": "text", "eml": "text", "html": "text", "txt": "text", "scan-png": "scan",
          "scan-jpeg": "scan", "pdf-image": "scan", "xml-cii": "einvoice", "xml-ubl": "einvoice",
          "pdf-hybrid": "einvoice"}
PER_KIND = 14

FORMATS = {
    "invoice-utility": [("pdf-text", 5), ("eml", 2), ("scan", 2), ("html", 1)],
    "invoice-shop": [("pdf-text", 4), ("html", 3), ("eml", 1), ("scan", 2)],
    "invoice-craftsman": [("pdf-text", 4), ("scan", 4), ("docx", 2)],
    "dunning": [("pdf-text", 5), ("scan", 3), ("eml", 2)],
    "contract": [("pdf-text", 4), ("docx", 4), ("scan", 2)],
    "bank-statement": [("pdf-text", 7), ("scan", 2), ("txt", 1)],
    "payslip": [("pdf-text", 6), ("scan", 4)],
    "tax-assessment": [("scan", 6), ("pdf-text", 4)],
    "insurance": [("pdf-text", 5), ("scan", 5)],
    "doctor-bill": [("scan", 6), ("pdf-text", 4)],
    "offer": [("pdf-text", 4), ("docx", 4), ("eml", 2)],
    "delivery-note": [("pdf-text", 4), ("scan", 6)],
    "receipt": [("scan", 6), ("html", 3), ("eml", 1)],
    "letter": [("docx", 3), ("txt", 2), ("scan", 3), ("pdf-text", 1), ("eml", 1)],
    "minutes": [("docx", 4), ("txt", 3), ("pdf-text", 3)],
}

# Learning: one sender's documents over months; the user kept their own spelling of its name.
SEQUENCES = [
    {"id": "seq-swl", "pool": "invoice-utility", "sender": "Stadtwerke Lindenau GmbH", "kinds": ["invoice-utility"],
     "formats": ["pdf-text"] * 5 + ["scan-png", "pdf-image"], "user": "SWL Strom",
     "names": ["Stadtwerke Lindenau GmbH", "SWL Stadtwerke Lindenau GmbH"], "lang": "de"},
    {"id": "seq-netcom", "pool": "invoice-utility", "sender": "NetCom Kabel GmbH & Co. KG",
     "kinds": ["invoice-utility"], "formats": ["eml"] * 6, "user": "NetCom Internet",
     "names": ["NetCom Kabel GmbH & Co. KG", "NetCom Kabel"], "lang": "de"},
    {"id": "seq-zahnarzt", "pool": "doctor-bill", "sender": "Zahnarztpraxis Dr. Sabine Hoffmann",
     "kinds": ["doctor-bill"], "formats": ["scan-jpeg", "scan-png", "pdf-image", "scan-jpeg", "pdf-text"],
     "user": "Zahnarzt Hoffmann", "names": ["Zahnarztpraxis Dr. Sabine Hoffmann"], "lang": "de"},
    {"id": "seq-krueger", "pool": "letter", "sender": "Hausverwaltung Krüger & Partner GbR",
     "kinds": ["letter", "letter", "dunning", "letter", "contract", "letter"],
     "formats": ["docx", "pdf-text", "pdf-text", "txt", "docx", "scan-png"], "user": "Vermieter Krüger",
     "names": ["Hausverwaltung Krüger & Partner GbR", "Krüger & Partner Hausverwaltung"], "lang": "de"},
    {"id": "seq-northwind", "pool": "invoice-shop", "sender": "Northwind Traders Inc.", "kinds": ["invoice-shop"],
     "formats": ["html", "pdf-text", "html", "pdf-text", "html", "pdf-text"], "user": "Northwind",
     "names": ["Northwind Traders Inc.", "Northwind Traders"], "lang": "en"},
    {"id": "seq-nordstern", "pool": "insurance", "sender": "Nordstern Versicherung AG", "kinds": ["insurance"],
     "formats": ["pdf-text"] * 4 + ["scan-jpeg"], "user": "Nordstern Hausrat",
     "names": ["Nordstern Versicherung AG", "Nordstern Versicherungs-AG"], "lang": "de"},
]


def weighted(rng, pairs):
    total = sum(w for _, w in pairs)
    x = rng.uniform(0, total)
    for value, w in pairs:
        x -= w
        if x <= 0:
            return value
    return pairs[-1][0]


def random_date(rng):
    start = datetime.date(2022, 1, 10)
    return start + datetime.timedelta(days=rng.randrange(0, 1050))


def pdf_style(rng, lang):
    return {"font": rng.choice(["sans", "sans", "serif"]), "head": rng.choice(["left", "right", "center", "left"]),
            "info": rng.choice(["right", "right", "row"]), "inline": rng.random() < 0.4, "size": rng.choice([9, 10, 10, 11]),
            "chunks": rng.choice([1, 1, 1, 3]), "footer": rng.random() < 0.9, "lang": lang}


def stamp(date, rng, days=0):
    d = date + datetime.timedelta(days=days)
    return "%sT%02d:%02d:00" % (d.isoformat(), rng.randrange(7, 19), rng.randrange(60))


class Writer:
    def __init__(self, outdir, seed):
        self.outdir = outdir
        self.rng = random.Random(seed)
        self.entries = []
        self.count = 0

    def name(self, fmt):
        self.count += 1
        ext = {"pdf-text": "pdf", "pdf-image": "pdf", "pdf-hybrid": "pdf", "scan-png": "png", "scan-jpeg": "jpg",
               "docx": "docx", "eml": "eml", "html": "html", "txt": "txt", "xml-cii": "xml", "xml-ubl": "xml"}[fmt]
        stem = {"scan-png": "scan", "scan-jpeg": "IMG", "pdf-image": "scan", "eml": "mail"}.get(fmt, "doc")
        return "%s_%04d.%s" % (stem, self.count, ext)

    def write(self, doc, expected, kind, fmt, lang, sender, date, sequence=None, einvoice=None, attachment=None):
        rng = self.rng
        name = self.name(fmt)
        path = os.path.join(self.outdir, name)
        style = pdf_style(rng, lang)
        if fmt == "pdf-text":
            F.write_pdf(path, layout_pdf(doc, style), info={
                "Title": doc.meta_title or doc.title, "Creator": rng.choice(["Microsoft Word", "LibreOffice Writer",
                                                                             "SAP NetWeaver", "JasperReports"]),
                "Producer": "Namorix evaluation", "CreationDate": stamp(date, rng, rng.choice([0, 0, 1]))})
        elif fmt == "pdf-hybrid":
            att_name, xml, relation = attachment
            F.write_pdf(path, layout_pdf(doc, style), info={"Title": doc.title, "Producer": "Namorix evaluation",
                                                             "CreationDate": stamp(date, rng)},
                        attachments=[(att_name, xml, "Rechnungsdaten", relation)],
                        xmp=F.facturx_xmp(att_name) if att_name == "factur-x.xml" else None)
        elif fmt in ("scan-png", "scan-jpeg", "pdf-image"):
            self.scan(doc, style, fmt, path, date)
        elif fmt == "docx":
            in_header = sequence is None and rng.random() < 0.4
            body, header, foot = render_docx_parts(doc, in_header)
            if sequence is not None and foot:
                body += foot
                foot = None
            F.write_docx(path, body, header, foot, core={
                "title": doc.meta_title or doc.title, "creator": doc.meta_author or rng.choice(
                    ["Sekretariat", "Administrator", "Büro", "User"]),
                "lastModifiedBy": doc.meta_author or "Sekretariat",
                "created": stamp(date, rng, -rng.randrange(200, 900)), "modified": stamp(date, rng)})
        elif fmt == "txt":
            with open(path, "w", encoding="utf-8") as f:
                f.write(render_text(doc))
        elif fmt == "html":
            with open(path, "w", encoding="utf-8") as f:
                f.write(render_html(doc, style))
        elif fmt == "eml":
            self.mail(doc, sender, date, lang, path)
        elif fmt in ("xml-cii", "xml-ubl"):
            with open(path, "wb") as f:
                f.write(attachment[1])
        # When the file arrived: some days after its date (downloaded, scanned, saved).
        arrived = datetime.datetime.combine(date + datetime.timedelta(days=rng.randrange(1, 25)), datetime.time(12))
        os.utime(path, (arrived.timestamp(), arrived.timestamp()))
        entry = {"file": name, "kind": kind, "format": fmt, "group": GROUPS[fmt], "language": lang,
                 "expected": {k: v for k, v in expected.items() if k != "note"}}
        if sequence:
            entry["sequence"] = sequence
        if einvoice:
            entry["einvoice"] = einvoice
        self.entries.append(entry)

    def scan(self, doc, style, fmt, path, date):
        rng = self.rng
        with tempfile.TemporaryDirectory() as tmp:
            pdf = os.path.join(tmp, "page.pdf")
            F.write_pdf(pdf, layout_pdf(doc, style))
            dpi = 200 if not doc.mono else 250
            w, h, px = F.rasterize(pdf, dpi)
        px = F.degrade(w, h, px, rng, skew=rng.choice([0, 0, 0.003, -0.004, 0.006]), speckles=rng.choice([0.0005,
                                                                                                          0.0015]))
        if fmt == "scan-png":
            F.write_gray_png(path, w, h, px, dpi)
            return
        with tempfile.TemporaryDirectory() as tmp:
            jpg = os.path.join(tmp, "scan.jpg")
            data = F.gray_to_jpeg(jpg if fmt == "pdf-image" else path, w, h, px, dpi, rng.choice([60, 75, 85]))
        if fmt == "pdf-image":
            F.write_image_pdf(path, data, info={"Producer": rng.choice(["Canon iR-ADV C5535 PDF", "Brother ADS-2700W",
                                                                       "HP Scan", "Genius Scan for iOS"]),
                                                "CreationDate": stamp(date, rng, rng.randrange(1, 40))})

    def mail(self, doc, sender, date, lang, path):
        rng = self.rng
        msg = EmailMessage(policy=email.policy.SMTP)
        local = rng.choice(["rechnung", "service", "noreply", "info", "kundenservice"] if lang == "de"
                           else ["billing", "no-reply", "accounts", "hello"])
        msg["From"] = email.utils.formataddr((sender.short[0], "%s@%s" % (local, sender.domain)))
        msg["To"] = email.utils.formataddr((doc.recipient[-3] if len(doc.recipient) >= 3 else "Julia Becker",
                                            "j.becker@example.org"))
        msg["Subject"] = doc.title or doc.meta_title
        when = datetime.datetime.combine(date, datetime.time(rng.randrange(6, 22), rng.randrange(60)),
                                         datetime.timezone(datetime.timedelta(hours=1)))
        msg["Date"] = email.utils.format_datetime(when)
        msg["Message-ID"] = "<%s@%s>" % (hashlib.sha1(os.path.basename(path).encode()).hexdigest()[:16], sender.domain)
        msg["MIME-Version"] = "1.0"
        body = copy.copy(doc)
        body.recipient, body.return_line = [], ""
        text = render_text(body, with_head=False)
        sig = "\n-- \n" + "\n".join(t for t, _ in doc.letterhead)
        msg.set_content(text + sig)
        if rng.random() < 0.4:
            msg.add_alternative(render_html(body, {"lang": lang, "nav": False}), subtype="html")
            msg.set_boundary("=_evalset_%s" % hashlib.sha1(os.path.basename(path).encode()).hexdigest()[:12])
        with open(path, "wb") as f:
            f.write(msg.as_bytes())


def scan_format(rng, kind):
    if kind == "receipt":
        return weighted(rng, [("scan-jpeg", 6), ("scan-png", 2), ("pdf-image", 2)])
    return weighted(rng, [("scan-png", 35), ("scan-jpeg", 35), ("pdf-image", 30)])


def build(kind, rng, lang, sender, recipient, date, fmt):
    c = Ctx(rng, lang, sender, recipient, date, cur="GBP" if lang == "en" and sender.vat.startswith("GB") else "EUR")
    if kind == "receipt" and fmt in ("html", "eml"):
        return online_receipt(c)
    if kind == "dunning" and sender.full.startswith("Forderungsmanagement"):
        creditor = rng.choice(SENDERS["invoice-shop"][:5])
        return dunning(c, creditor)
    return KINDS[kind](c)


def dunning_pool(lang):
    pool = SENDERS["invoice-utility"] + SENDERS["invoice-shop"] + SENDERS["invoice-craftsman"]
    if lang == "de":
        pool = pool + SENDERS["collection"] * 3
    return [p for p in pool if p.lang == lang]


def singles(w):
    rng = w.rng
    for kind in KINDS:
        for i in range(PER_KIND):
            pool = dunning_pool("de") if kind == "dunning" else SENDERS["receipt" if kind == "receipt" else kind]
            has_en = any(p.lang == "en" for p in (SENDERS["invoice-shop"] if kind == "receipt" else pool))
            lang = "en" if has_en and i % 3 == 2 else "de"
            fmt = weighted(rng, FORMATS[kind])
            if fmt == "scan":
                fmt = scan_format(rng, kind)
            if kind == "dunning":
                pool = dunning_pool(lang)
            if kind == "receipt" and fmt in ("html", "eml"):
                pool = SENDERS["invoice-shop"]
            candidates = [p for p in pool if p.lang == lang] or pool
            sender = rng.choice(candidates)
            recipient = rng.choice(RECIPIENTS_DE if lang == "de" else RECIPIENTS_EN)
            date = random_date(rng)
            doc, expected = build(kind, rng, lang, sender, recipient, date, fmt)
            w.write(doc, expected, kind, fmt, lang, sender, date)


def sequences(w):
    rng = w.rng
    for seq in SEQUENCES:
        base = next(p for p in SENDERS[seq["pool"]] if p.full == seq["sender"])
        date = random_date(rng)
        for index, fmt in enumerate(seq["formats"]):
            kind = seq["kinds"][index % len(seq["kinds"])]
            sender = copy.copy(base)
            sender.full = seq["names"][index % len(seq["names"])] if index else seq["names"][0]
            recipient = RECIPIENTS_DE[0] if seq["lang"] == "de" else RECIPIENTS_EN[0]
            doc, expected = build(kind, rng, seq["lang"], sender, recipient, date, fmt)
            expected["absender"] = accepted(base.short, sender.full)
            # A variant spelling ("Krüger & Partner Hausverwaltung") is what this document writes: a reader keeps it.
            written = sender.full
            if not any(written.endswith(sep + form) for form in LEGAL_FORMS for sep in " -") and \
                    written.lower() not in (n.lower() for n in expected["absender"]):
                expected["absender"].append(written)
            w.write(doc, expected, kind, fmt, seq["lang"], sender, date,
                    sequence={"id": seq["id"], "index": index, "userSpelling": seq["user"]})
            date = date + datetime.timedelta(days=rng.randrange(25, 40))


# --- e-invoices --------------------------------------------------------------------------------

def invoice_model(rng, seller, buyer, lang):
    date = random_date(rng)
    lines = []
    catalogue = [("Wartung Server Q%d" % rng.randrange(1, 5), 30000, 120000), ("Druck Flyer A5, 5000 Stück", 20000, 60000),
                 ("Rechtsberatung nach RVG", 40000, 250000), ("Übernachtung Einzelzimmer", 8900, 15900),
                 ("Bürostuhl ergonomisch", 29900, 79900), ("Elektroinstallation Büro", 50000, 300000),
                 ("Cloud hosting, monthly", 9900, 49900), ("Support hours", 8000, 15000)]
    net = 0
    for i, (name, low, high) in enumerate(rng.sample(catalogue, rng.randrange(1, 4)), start=1):
        qty = rng.randrange(1, 4)
        price = rng.randrange(low, high)
        lines.append({"id": str(i), "name": name, "qty": qty, "price": price, "total": qty * price})
        net += qty * price
    tax = (net * 19 + 50) // 100
    grand = net + tax
    prepaid = rng.choice([0, 0, 0, (grand // 4) // 100 * 100])
    return {"number": "RE-%d-%04d" % (date.year, rng.randrange(10000)), "date": date,
            "delivery": date - datetime.timedelta(days=rng.randrange(2, 20)),
            "period": (date.replace(day=1) - datetime.timedelta(days=31)).replace(day=1),
            "due": date + datetime.timedelta(days=rng.choice([14, 30])), "seller": seller, "buyer": buyer,
            "lines": lines, "net": net, "tax": tax, "grand": grand, "prepaid": prepaid, "payable": grand - prepaid,
            "buyer_ref": "04011000-%05d-%02d" % (rng.randrange(100000), rng.randrange(100)), "lang": lang}


def _amt(cents):
    return cents_text(cents)


def cii_xml(m):
    from xml.sax.saxutils import escape as e
    s, b = m["seller"], m["buyer"]
    d = lambda x: x.strftime("%Y%m%d")  # noqa: E731
    lines = "".join(
        "<ram:IncludedSupplyChainTradeLineItem><ram:AssociatedDocumentLineDocument><ram:LineID>%s</ram:LineID>"
        "</ram:AssociatedDocumentLineDocument><ram:SpecifiedTradeProduct><ram:Name>%s</ram:Name>"
        "</ram:SpecifiedTradeProduct><ram:SpecifiedLineTradeAgreement><ram:NetPriceProductTradePrice>"
        "<ram:ChargeAmount>%s</ram:ChargeAmount></ram:NetPriceProductTradePrice></ram:SpecifiedLineTradeAgreement>"
        "<ram:SpecifiedLineTradeDelivery><ram:BilledQuantity unitCode=\"C62\">%d</ram:BilledQuantity>"
        "</ram:SpecifiedLineTradeDelivery><ram:SpecifiedLineTradeSettlement><ram:ApplicableTradeTax>"
        "<ram:TypeCode>VAT</ram:TypeCode><ram:CategoryCode>S</ram:CategoryCode><ram:RateApplicablePercent>19"
        "</ram:RateApplicablePercent></ram:ApplicableTradeTax><ram:SpecifiedTradeSettlementLineMonetarySummation>"
        "<ram:LineTotalAmount>%s</ram:LineTotalAmount></ram:SpecifiedTradeSettlementLineMonetarySummation>"
        "</ram:SpecifiedLineTradeSettlement></ram:IncludedSupplyChainTradeLineItem>\n"
        % (l["id"], e(l["name"]), _amt(l["price"]), l["qty"], _amt(l["total"])) for l in m["lines"])
    prepaid = "<ram:TotalPrepaidAmount>%s</ram:TotalPrepaidAmount>" % _amt(m["prepaid"]) if m["prepaid"] else ""
    return ("""<?xml version="1.0" encoding="UTF-8"?>
<rsm:CrossIndustryInvoice xmlns:rsm="urn:un:unece:uncefact:data:standard:CrossIndustryInvoice:100" \
xmlns:ram="urn:un:unece:uncefact:data:standard:ReusableAggregateBusinessInformationEntity:100" \
xmlns:qdt="urn:un:unece:uncefact:data:standard:QualifiedDataType:100" \
xmlns:udt="urn:un:unece:uncefact:data:standard:UnqualifiedDataType:100">
<rsm:ExchangedDocumentContext><ram:GuidelineSpecifiedDocumentContextParameter>\
<ram:ID>urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0</ram:ID>\
</ram:GuidelineSpecifiedDocumentContextParameter></rsm:ExchangedDocumentContext>
<rsm:ExchangedDocument><ram:ID>{number}</ram:ID><ram:TypeCode>380</ram:TypeCode><ram:IssueDateTime>\
<udt:DateTimeString format="102">{date}</udt:DateTimeString></ram:IssueDateTime>\
<ram:IncludedNote><ram:Content>Es gelten unsere AGB vom 01.01.2023.</ram:Content></ram:IncludedNote>\
</rsm:ExchangedDocument>
<rsm:SupplyChainTradeTransaction>
{lines}<ram:ApplicableHeaderTradeAgreement><ram:BuyerReference>{buyer_ref}</ram:BuyerReference>\
<ram:SellerTradeParty><ram:Name>{seller}</ram:Name><ram:DefinedTradeContact><ram:PersonName>{person}</ram:PersonName>\
<ram:TelephoneUniversalCommunication><ram:CompleteNumber>{phone}</ram:CompleteNumber>\
</ram:TelephoneUniversalCommunication><ram:EmailURIUniversalCommunication><ram:URIID>rechnung@{domain}</ram:URIID>\
</ram:EmailURIUniversalCommunication></ram:DefinedTradeContact><ram:PostalTradeAddress><ram:PostcodeCode>{zip}\
</ram:PostcodeCode><ram:LineOne>{street}</ram:LineOne><ram:CityName>{city}</ram:CityName><ram:CountryID>DE\
</ram:CountryID></ram:PostalTradeAddress><ram:URIUniversalCommunication><ram:URIID schemeID="EM">rechnung@{domain}\
</ram:URIID></ram:URIUniversalCommunication><ram:SpecifiedTaxRegistration><ram:ID schemeID="VA">{vat}</ram:ID>\
</ram:SpecifiedTaxRegistration></ram:SellerTradeParty>\
<ram:BuyerTradeParty><ram:Name>{buyer}</ram:Name><ram:PostalTradeAddress><ram:LineOne>{bstreet}</ram:LineOne>\
<ram:CityName>{bcity}</ram:CityName><ram:CountryID>DE</ram:CountryID></ram:PostalTradeAddress></ram:BuyerTradeParty>\
</ram:ApplicableHeaderTradeAgreement>
<ram:ApplicableHeaderTradeDelivery><ram:ActualDeliverySupplyChainEvent><ram:OccurrenceDateTime>\
<udt:DateTimeString format="102">{delivery}</udt:DateTimeString></ram:OccurrenceDateTime>\
</ram:ActualDeliverySupplyChainEvent></ram:ApplicableHeaderTradeDelivery>
<ram:ApplicableHeaderTradeSettlement><ram:PaymentReference>{number}</ram:PaymentReference>\
<ram:InvoiceCurrencyCode>EUR</ram:InvoiceCurrencyCode><ram:SpecifiedTradeSettlementPaymentMeans>\
<ram:TypeCode>58</ram:TypeCode><ram:PayeePartyCreditorFinancialAccount><ram:IBANID>{iban}</ram:IBANID>\
</ram:PayeePartyCreditorFinancialAccount></ram:SpecifiedTradeSettlementPaymentMeans>\
<ram:ApplicableTradeTax><ram:CalculatedAmount>{tax}</ram:CalculatedAmount><ram:TypeCode>VAT</ram:TypeCode>\
<ram:BasisAmount>{net}</ram:BasisAmount><ram:CategoryCode>S</ram:CategoryCode><ram:RateApplicablePercent>19\
</ram:RateApplicablePercent></ram:ApplicableTradeTax><ram:BillingSpecifiedPeriod><ram:StartDateTime>\
<udt:DateTimeString format="102">{pstart}</udt:DateTimeString></ram:StartDateTime><ram:EndDateTime>\
<udt:DateTimeString format="102">{pend}</udt:DateTimeString></ram:EndDateTime></ram:BillingSpecifiedPeriod>\
<ram:SpecifiedTradePaymentTerms><ram:Description>Zahlbar bis {due_text} ohne Abzug</ram:Description>\
<ram:DueDateDateTime><udt:DateTimeString format="102">{due}</udt:DateTimeString></ram:DueDateDateTime>\
</ram:SpecifiedTradePaymentTerms><ram:SpecifiedTradeSettlementHeaderMonetarySummation>\
<ram:LineTotalAmount>{net}</ram:LineTotalAmount><ram:TaxBasisTotalAmount>{net}</ram:TaxBasisTotalAmount>\
<ram:TaxTotalAmount currencyID="EUR">{tax}</ram:TaxTotalAmount><ram:GrandTotalAmount>{grand}</ram:GrandTotalAmount>\
{prepaid}<ram:DuePayableAmount>{payable}</ram:DuePayableAmount></ram:SpecifiedTradeSettlementHeaderMonetarySummation>\
</ram:ApplicableHeaderTradeSettlement>
</rsm:SupplyChainTradeTransaction>
</rsm:CrossIndustryInvoice>
""".format(number=m["number"], date=d(m["date"]), lines=lines, buyer_ref=m["buyer_ref"], seller=e(s.full),
           person=e(s.person), phone=s.phone, domain=s.domain, zip=s.city.split(" ")[0], street=e(s.street),
           city=e(s.city.split(" ", 1)[-1]), vat=s.vat, buyer=e(b.full), bstreet=e(b.street), bcity=e(b.city),
           delivery=d(m["delivery"]), iban=s.iban, tax=_amt(m["tax"]), net=_amt(m["net"]), pstart=d(m["period"]),
           pend=d(m["period"] + datetime.timedelta(days=27)), due_text=m["due"].strftime("%d.%m.%Y"), due=d(m["due"]),
           grand=_amt(m["grand"]), prepaid=prepaid, payable=_amt(m["payable"]))).encode("utf-8")


def ubl_xml(m, trade_name):
    from xml.sax.saxutils import escape as e
    s, b = m["seller"], m["buyer"]
    lines = "".join(
        "<cac:InvoiceLine><cbc:ID>%s</cbc:ID><cbc:InvoicedQuantity unitCode=\"C62\">%d</cbc:InvoicedQuantity>"
        "<cbc:LineExtensionAmount currencyID=\"EUR\">%s</cbc:LineExtensionAmount><cac:Item><cbc:Name>%s</cbc:Name>"
        "<cac:ClassifiedTaxCategory><cbc:ID>S</cbc:ID><cbc:Percent>19</cbc:Percent><cac:TaxScheme><cbc:ID>VAT"
        "</cbc:ID></cac:TaxScheme></cac:ClassifiedTaxCategory></cac:Item><cac:Price><cbc:PriceAmount currencyID="
        "\"EUR\">%s</cbc:PriceAmount></cac:Price></cac:InvoiceLine>\n"
        % (l["id"], l["qty"], _amt(l["total"]), e(l["name"]), _amt(l["price"])) for l in m["lines"])
    prepaid = '<cbc:PrepaidAmount currencyID="EUR">%s</cbc:PrepaidAmount>' % _amt(m["prepaid"]) if m["prepaid"] else ""
    return ("""<?xml version="1.0" encoding="UTF-8"?>
<Invoice xmlns="urn:oasis:names:specification:ubl:schema:xsd:Invoice-2" \
xmlns:cac="urn:oasis:names:specification:ubl:schema:xsd:CommonAggregateComponents-2" \
xmlns:cbc="urn:oasis:names:specification:ubl:schema:xsd:CommonBasicComponents-2">
<cbc:CustomizationID>urn:cen.eu:en16931:2017#compliant#urn:xeinkauf.de:kosit:xrechnung_3.0</cbc:CustomizationID>
<cbc:ProfileID>urn:fdc:peppol.eu:2017:poacc:billing:01:1.0</cbc:ProfileID>
<cbc:ID>{number}</cbc:ID>
<cbc:IssueDate>{date}</cbc:IssueDate>
<cbc:DueDate>{due}</cbc:DueDate>
<cbc:InvoiceTypeCode>380</cbc:InvoiceTypeCode>
<cbc:Note>Leistungszeitraum siehe Rechnungsperiode.</cbc:Note>
<cbc:DocumentCurrencyCode>EUR</cbc:DocumentCurrencyCode>
<cbc:BuyerReference>{buyer_ref}</cbc:BuyerReference>
<cac:InvoicePeriod><cbc:StartDate>{pstart}</cbc:StartDate><cbc:EndDate>{pend}</cbc:EndDate></cac:InvoicePeriod>
<cac:AccountingSupplierParty><cac:Party><cbc:EndpointID schemeID="EM">rechnung@{domain}</cbc:EndpointID>\
<cac:PartyName><cbc:Name>{trade}</cbc:Name></cac:PartyName><cac:PostalAddress><cbc:StreetName>{street}</cbc:StreetName>\
<cbc:CityName>{city}</cbc:CityName><cbc:PostalZone>{zip}</cbc:PostalZone><cac:Country><cbc:IdentificationCode>DE\
</cbc:IdentificationCode></cac:Country></cac:PostalAddress><cac:PartyTaxScheme><cbc:CompanyID>{vat}</cbc:CompanyID>\
<cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:PartyTaxScheme><cac:PartyLegalEntity>\
<cbc:RegistrationName>{seller}</cbc:RegistrationName></cac:PartyLegalEntity><cac:Contact><cbc:Name>{person}</cbc:Name>\
<cbc:Telephone>{phone}</cbc:Telephone><cbc:ElectronicMail>rechnung@{domain}</cbc:ElectronicMail></cac:Contact>\
</cac:Party></cac:AccountingSupplierParty>
<cac:AccountingCustomerParty><cac:Party><cbc:EndpointID schemeID="EM">einkauf@example.org</cbc:EndpointID>\
<cac:PostalAddress><cbc:StreetName>{bstreet}</cbc:StreetName><cbc:CityName>{bcity}</cbc:CityName><cac:Country>\
<cbc:IdentificationCode>DE</cbc:IdentificationCode></cac:Country></cac:PostalAddress><cac:PartyLegalEntity>\
<cbc:RegistrationName>{buyer}</cbc:RegistrationName></cac:PartyLegalEntity></cac:Party></cac:AccountingCustomerParty>
<cac:Delivery><cbc:ActualDeliveryDate>{delivery}</cbc:ActualDeliveryDate></cac:Delivery>
<cac:PaymentMeans><cbc:PaymentMeansCode>58</cbc:PaymentMeansCode><cac:PayeeFinancialAccount><cbc:ID>{iban}</cbc:ID>\
</cac:PayeeFinancialAccount></cac:PaymentMeans>
<cac:PaymentTerms><cbc:Note>Zahlbar innerhalb von 14 Tagen ohne Abzug.</cbc:Note></cac:PaymentTerms>
<cac:TaxTotal><cbc:TaxAmount currencyID="EUR">{tax}</cbc:TaxAmount><cac:TaxSubtotal><cbc:TaxableAmount \
currencyID="EUR">{net}</cbc:TaxableAmount><cbc:TaxAmount currencyID="EUR">{tax}</cbc:TaxAmount><cac:TaxCategory>\
<cbc:ID>S</cbc:ID><cbc:Percent>19</cbc:Percent><cac:TaxScheme><cbc:ID>VAT</cbc:ID></cac:TaxScheme></cac:TaxCategory>\
</cac:TaxSubtotal></cac:TaxTotal>
<cac:LegalMonetaryTotal><cbc:LineExtensionAmount currencyID="EUR">{net}</cbc:LineExtensionAmount>\
<cbc:TaxExclusiveAmount currencyID="EUR">{net}</cbc:TaxExclusiveAmount><cbc:TaxInclusiveAmount currencyID="EUR">\
{grand}</cbc:TaxInclusiveAmount>{prepaid}<cbc:PayableAmount currencyID="EUR">{payable}</cbc:PayableAmount>\
</cac:LegalMonetaryTotal>
{lines}</Invoice>
""".format(number=m["number"], date=m["date"].isoformat(), due=m["due"].isoformat(), buyer_ref=m["buyer_ref"],
           pstart=m["period"].isoformat(), pend=(m["period"] + datetime.timedelta(days=27)).isoformat(),
           domain=s.domain, trade=e(trade_name), street=e(s.street), city=e(s.city.split(" ", 1)[-1]),
           zip=s.city.split(" ")[0], vat=s.vat, seller=e(s.full), person=e(s.person), phone=s.phone,
           bstreet=e(b.street), bcity=e(b.city), buyer=e(b.full), delivery=m["delivery"].isoformat(), iban=s.iban,
           tax=_amt(m["tax"]), net=_amt(m["net"]), grand=_amt(m["grand"]), prepaid=prepaid, payable=_amt(m["payable"]),
           lines=lines)).encode("utf-8")


def invoice_doc(m, rng):
    """The visible page of a hybrid invoice."""
    s = m["seller"]
    c = Ctx(rng, "de", s, m["buyer"], m["date"])
    rows = [[l["id"], l["name"], str(l["qty"]), c.n(l["price"]), c.n(l["total"])] for l in m["lines"]]
    totals = [("Summe netto", c.a(m["net"]), False), ("USt 19 %", c.a(m["tax"]), False),
              ("Rechnungsbetrag", c.a(m["grand"]), not m["prepaid"])]
    if m["prepaid"]:
        totals += [("abzgl. Anzahlung", c.a(-m["prepaid"]), False), ("Zahlbetrag", c.a(m["payable"]), True)]
    doc = Doc(letterhead=letterhead(c), return_line="%s · %s · %s" % (s.full, s.street, s.city),
              recipient=[m["buyer"].full, m["buyer"].street, m["buyer"].city],
              info=[("Rechnungsnummer", m["number"]), ("Rechnungsdatum", c.d()), ("Lieferdatum", c.d(m["delivery"])),
                    ("Leitweg-ID", m["buyer_ref"])],
              title="Rechnung %s" % m["number"], paras=["Sehr geehrte Damen und Herren,",
                                                       "wir berechnen Ihnen folgende Leistungen:"],
              table={"header": ["Pos.", "Bezeichnung", "Menge", "Preis", "Gesamt"], "rows": rows, "align": "llrrr"},
              totals=totals, after=["Zahlbar bis %s ohne Abzug." % c.d(m["due"])], closing=closing(c),
              footer=footer(c))
    return doc


def einvoices(w):
    rng = w.rng
    buyers = [P for P in RECIPIENTS_DE]
    from evalparties import P as party
    buyers += [party("Leipziger Werkstätten gGmbH", ["Leipziger Werkstätten"], "Torgauer Str. 80", "04318 Leipzig"),
               party("Stadtverwaltung Naumburg", ["Stadt Naumburg"], "Markt 1", "06618 Naumburg")]
    plan = ["xml-cii"] * 8 + ["xml-ubl"] * 8 + ["pdf-hybrid"] * 8
    for i, fmt in enumerate(plan):
        seller = SENDERS["einvoice"][i % len(SENDERS["einvoice"])]
        buyer = rng.choice(buyers)
        m = invoice_model(rng, seller, buyer, "de")
        trade = seller.short[0]
        syntax = "ubl" if fmt == "xml-ubl" or (fmt == "pdf-hybrid" and i % 3 == 0) else "cii"
        xml = ubl_xml(m, trade) if syntax == "ubl" else cii_xml(m)
        att = ("xrechnung.xml" if syntax == "ubl" or i % 2 else "factur-x.xml", xml,
               "Alternative" if syntax == "cii" else "Data")
        doc = invoice_doc(m, rng) if fmt == "pdf-hybrid" else None
        expected = {"datum": m["date"].isoformat(), "betrag": [cents_text(m["payable"])], "absender": list(seller.short),
                    "kategorie": ["rechnung"]}
        info = {"syntax": syntax, "number": m["number"], "issueDate": m["date"].isoformat(),
                "sellerName": [seller.full] + ([trade] if syntax == "ubl" else []), "totalCents": m["payable"]}
        w.write(doc, expected, "einvoice", fmt, "de", seller, m["date"], einvoice=info, attachment=att)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("outdir")
    parser.add_argument("--seed", type=int, default=20240315)
    args = parser.parse_args()
    repo = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    out = os.path.abspath(args.outdir)
    if out == repo or out.startswith(repo + os.sep):
        sys.exit("generate_evalset: write outside the repository, not into %s" % out)
    os.makedirs(out, exist_ok=True)
    if any(n != "manifest.json" and not n.startswith(".") for n in os.listdir(out)):
        sys.exit("generate_evalset: %s is not empty" % out)
    w = Writer(out, args.seed)
    singles(w)
    sequences(w)
    einvoices(w)
    with open(os.path.join(out, "manifest.json"), "w", encoding="utf-8") as f:
        json.dump({"version": 1, "seed": args.seed, "categories": CATEGORIES, "files": w.entries}, f,
                  ensure_ascii=False, indent=1)
    print("generate_evalset: %d files in %s" % (len(w.entries), out))


if __name__ == "__main__":
    main()
