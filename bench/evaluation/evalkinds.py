"""The kinds of documents of the evaluation set: each builder writes one document's content in
German or English, with the distractors such documents really carry (other dates, other
amounts, the recipient, a bank in the footer), and returns it with the fields a person would
name it by.

Conventions of the expected fields:
  datum      the document's own date (invoice, letter, statement, assessment date; the meeting's
             date for minutes; the date printed on a receipt), never a delivery, due, service,
             "customer since" or footer date;
  betrag     the amount the document asks to pay or confirms paid (an invoice's or receipt's
             total, a dunning letter's whole claim, an amount still due after advances); where a
             document states an amount without being a bill (an offer, a payslip's payout, a tax
             assessment's balance) both that amount and none are accepted; none for contracts,
             letters, statements, delivery notes and minutes;
  absender   the issuer's short name, without legal form (several accepted spellings);
  kategorie  one of the default categories, several where the kind honestly fits more than one.
"""

import datetime

MONTHS_DE = ["Januar", "Februar", "März", "April", "Mai", "Juni", "Juli", "August", "September", "Oktober",
             "November", "Dezember"]
MONTHS_EN = ["January", "February", "March", "April", "May", "June", "July", "August", "September", "October",
             "November", "December"]
WEEKDAYS_DE = ["Montag", "Dienstag", "Mittwoch", "Donnerstag", "Freitag", "Samstag", "Sonntag"]

DATE_STYLES = {"de": ["dmy", "dmy", "dmy", "dmy_short", "long", "long", "iso", "dmy2"],
               "en": ["us_long", "uk_long", "iso", "uk_slash", "us_abbr", "dash"]}
AMOUNT_STYLES = {"de": ["de_after", "de_after", "de_eur_before", "de_sym_before", "dot_eur_after", "nogroup_eur"],
                 "en": ["en_sym", "en_sym", "en_code_before", "en_code_after"]}


def fmt_date(d, style):
    if style == "dmy":
        return d.strftime("%d.%m.%Y")
    if style == "dmy_short":
        return "%d.%d.%02d" % (d.day, d.month, d.year % 100)
    if style == "dmy2":
        return d.strftime("%d.%m.%y")
    if style == "long":
        return "%d. %s %d" % (d.day, MONTHS_DE[d.month - 1], d.year)
    if style == "long_weekday":
        return "%s, %d. %s %d" % (WEEKDAYS_DE[d.weekday()], d.day, MONTHS_DE[d.month - 1], d.year)
    if style == "iso":
        return d.isoformat()
    if style == "us_long":
        return "%s %d, %d" % (MONTHS_EN[d.month - 1], d.day, d.year)
    if style == "uk_long":
        return "%d %s %d" % (d.day, MONTHS_EN[d.month - 1], d.year)
    if style == "uk_slash":
        return d.strftime("%d/%m/%Y")
    if style == "us_abbr":
        return "%s %d, %d" % (MONTHS_EN[d.month - 1][:3], d.day, d.year)
    if style == "dash":
        return "%02d-%s-%d" % (d.day, MONTHS_EN[d.month - 1][:3], d.year)
    raise ValueError(style)


def _group(units, sep):
    s = str(units)
    out = []
    while len(s) > 3:
        out.insert(0, s[-3:])
        s = s[:-3]
    out.insert(0, s)
    return sep.join(out)


def fmt_number(cents, lang, group=True):
    sign = "-" if cents < 0 else ""
    cents = abs(cents)
    units, rest = divmod(cents, 100)
    if lang == "de":
        return "%s%s,%02d" % (sign, _group(units, ".") if group else units, rest)
    return "%s%s.%02d" % (sign, _group(units, ",") if group else units, rest)


def fmt_amount(cents, style, cur="EUR"):
    sym = {"EUR": "€", "GBP": "£", "USD": "$"}[cur]
    if style == "de_after":
        return fmt_number(cents, "de") + " " + sym
    if style == "de_eur_before":
        return cur + " " + fmt_number(cents, "de")
    if style == "de_sym_before":
        return sym + " " + fmt_number(cents, "de")
    if style == "dot_eur_after":
        return fmt_number(cents, "en", group=False) + " " + cur
    if style == "nogroup_eur":
        return fmt_number(cents, "de", group=False) + " " + cur
    if style == "en_sym":
        return ("-" if cents < 0 else "") + sym + fmt_number(abs(cents), "en")
    if style == "en_code_before":
        return cur + " " + fmt_number(cents, "en")
    if style == "en_code_after":
        return fmt_number(cents, "en") + " " + cur
    raise ValueError(style)


def cents_text(cents):
    return None if cents is None else "%d.%02d" % divmod(cents, 100)


class Ctx:
    """What one document's builder needs: its random source, language, parties and date, and the
    formats it writes dates and amounts in."""

    def __init__(self, rng, lang, sender, recipient, date, cur="EUR"):
        self.rng, self.lang, self.s, self.r, self.date, self.cur = rng, lang, sender, recipient, date, cur
        self.dstyle = rng.choice(DATE_STYLES[lang])
        self.astyle = rng.choice(AMOUNT_STYLES[lang])

    def t(self, de, en):
        return de if self.lang == "de" else en

    def pick(self, de, en):
        return self.rng.choice(de if self.lang == "de" else en)

    def d(self, date=None, style=None):
        return fmt_date(date or self.date, style or self.dstyle)

    def a(self, cents):
        return fmt_amount(cents, self.astyle, self.cur)

    def n(self, cents):
        return fmt_number(cents, "de" if self.astyle not in ("dot_eur_after",) and self.lang == "de" else "en")

    def days(self, n):
        return self.date + datetime.timedelta(days=n)

    def num(self, prefix, digits=6):
        return prefix + "".join(str(self.rng.randrange(10)) for _ in range(digits))


# --- shared pieces -----------------------------------------------------------------------------

def letterhead(c, brand_only=None):
    s = c.s
    if brand_only is None:
        brand_only = c.rng.random() < 0.35
    big = s.short[0] if brand_only else s.full
    lines = [(big, "big")]
    if c.rng.random() < 0.7:
        lines.append(("%s · %s" % (s.street, s.city), "small"))
    if c.rng.random() < 0.5:
        lines.append(("Tel. %s · %s" % (s.phone, "www." + s.domain) if c.lang == "de"
                      else "Phone %s · www.%s" % (s.phone, s.domain), "small"))
    return lines


def return_line(c):
    if c.rng.random() < 0.2:
        return ""
    return "%s · %s · %s" % (c.s.full, c.s.street, c.s.city)


def recipient_block(c):
    r = c.r
    salutation = c.t("Frau" if r.full.startswith("Julia") else "Herrn", "Ms" if r.full.startswith("Sarah") else "Mr")
    return [salutation, r.full, r.street, r.city] if c.rng.random() < 0.5 else [
        "%s %s" % (salutation, r.full), r.street, r.city]


def footer(c, bank=None, with_vat=True):
    s = c.s
    bank = bank or s.bank or c.rng.choice(["Sparkasse Leipzig", "Commerzbank AG", "Deutsche Bank AG",
                                           "Volksbank Mittelhessen eG", "Postbank", "HypoVereinsbank"]
                                          if c.lang == "de" else ["Barclays Bank UK PLC", "Lloyds Bank plc",
                                                                  "HSBC UK Bank plc"])
    iban = s.iban if c.rng.random() < 0.5 else " ".join(s.iban[i:i + 4] for i in range(0, len(s.iban), 4))
    cols = [[s.full, s.street, s.city],
            [c.t("Telefon ", "Phone ") + s.phone, c.t("E-Mail: ", "Email: ") + "info@" + s.domain, "www." + s.domain],
            [c.t("Bankverbindung: ", "Bank: ") + bank, "IBAN " + iban, "BIC " + s.bic]]
    reg = []
    city = s.city.split(" ", 1)[-1]
    if s.register:
        reg.append(c.t("Sitz: %s, Amtsgericht %s %s" % (city, city, s.register),
                       "Registered in %s, %s" % (city, s.register)))
    if with_vat:
        vat = s.vat if c.rng.random() < 0.6 else s.vat[:2] + " " + " ".join(
            s.vat[2:][i:i + 3] for i in range(0, len(s.vat) - 2, 3))
        reg.append(c.t("USt-IdNr.: ", "VAT No. ") + vat)
    if c.rng.random() < 0.4:
        reg.append(c.t("Steuernummer: ", "Tax ref. ") + s.tax_no)
    if any(f in s.full for f in ("GmbH", "AG", "Ltd", "plc", "UG")):
        reg.append(c.t("Geschäftsführer: ", "Directors: ") + s.person)
    if reg:
        cols.append(reg)
    if c.rng.random() < 0.25:
        cols[0].append(c.t("Stand %02d/%d" % (c.rng.randrange(1, 13), c.date.year - 1),
                           "Rev. %02d/%d" % (c.rng.randrange(1, 13), c.date.year - 1)))
    return cols


def closing(c, company=True):
    lines = [c.pick(["Mit freundlichen Grüßen", "Freundliche Grüße", "Viele Grüße"],
                    ["Kind regards", "Yours sincerely", "Best regards"])]
    if company:
        lines.append(c.s.full if c.rng.random() < 0.6 else c.s.short[0])
    lines.append(c.s.person)
    return lines


def items(c, catalogue, count, vat_rate=19):
    """Line items: (description, quantity, unit price cents) → rows, net, tax, gross."""
    chosen = c.rng.sample(catalogue, min(count, len(catalogue)))
    rows, net = [], 0
    for i, (desc, low, high) in enumerate(chosen, start=1):
        qty = c.rng.choice([1, 1, 1, 2, 3, 4]) if high < 20000 else 1
        unit = c.rng.randrange(low, high) // 5 * 5 + c.rng.choice([0, 90, 95, 99, 50])
        total = qty * unit
        net += total
        rows.append([str(i), desc, str(qty), c.n(unit), c.n(total)])
    tax = (net * vat_rate + 50) // 100
    return rows, net, tax, net + tax


def pay_sentence(c, amount, due):
    r = c.rng.random()
    if r < 0.35:
        return c.t("Den Rechnungsbetrag von %s buchen wir am %s von Ihrem Konto %s ab (SEPA-Lastschrift, "
                   "Mandatsreferenz %s)." % (c.a(amount), c.d(due), c.r.iban[:4] + " **** " + c.r.iban[-4:],
                                              c.num("MR", 8)),
                   "We will collect %s by direct debit from your account ending %s on %s." % (
                       c.a(amount), c.r.iban[-4:], c.d(due)))
    if r < 0.7:
        return c.t("Bitte überweisen Sie den Betrag bis zum %s unter Angabe der Rechnungsnummer auf unser Konto "
                   "IBAN %s." % (c.d(due), c.s.iban),
                   "Please pay by %s quoting the invoice number to IBAN %s." % (c.d(due), c.s.iban))
    return c.t("Zahlbar innerhalb von 14 Tagen ohne Abzug, spätestens bis %s." % c.d(due),
               "Payment due within 14 days, by %s at the latest." % c.d(due))


def result(doc, c, betrag, kategorie, note=""):
    """`betrag`: list of accepted cents values (None for none)."""
    return doc, {
        "datum": c.date.isoformat(),
        "betrag": [cents_text(b) for b in betrag],
        "absender": list(c.s.short),
        "kategorie": kategorie,
        "note": note,
    }


# --- the kinds -----------------------------------------------------------------------------

def invoice_utility(c):
    s = c.s
    telecom = any(w in s.full for w in ("Telekom", "NetCom", "Fibrelink"))
    number = c.num(c.t("RE", "INV-"), 9)
    period_end = c.days(-c.rng.randrange(3, 12))
    info = [(c.t("Kundennummer", "Customer no."), c.num("", 8)),
            (c.t("Rechnungsnummer", "Invoice no."), number),
            (c.pick(["Rechnungsdatum", "Datum", "Belegdatum"], ["Invoice date", "Date", "Tax point"]), c.d())]
    if c.rng.random() < 0.5:
        info.append((c.t("Kunde seit", "Customer since"), c.d(c.date.replace(year=c.date.year - c.rng.randrange(2, 14),
                                                                          day=1), "dmy")))
    paras, totals, after = [], [], []
    if telecom:
        start = period_end.replace(day=1)
        title = c.pick(["Ihre Rechnung für %s %d" % (["Januar", "Februar", "März", "April", "Mai", "Juni", "Juli",
                                                      "August", "September", "Oktober", "November", "Dezember"][
                                                         start.month - 1], start.year), "Rechnung", "Ihre Rechnung"],
                       ["Your bill", "Invoice", "Your monthly statement"])
        rows, net, tax, gross = items(c, [(c.t("Grundpreis Internet 250", "Broadband 250 monthly charge"), 2500, 4500),
                                          (c.t("Telefon-Flatrate", "Phone line rental"), 500, 1200),
                                          (c.t("Router-Miete", "Router rental"), 300, 600),
                                          (c.t("Verbindungen Ausland", "International calls"), 100, 900)], 3)
        paras.append(c.t("Leistungszeitraum: %s bis %s" % (c.d(start), c.d(period_end)),
                         "Service period: %s to %s" % (c.d(start), c.d(period_end))))
        totals = [(c.t("Summe netto", "Subtotal"), c.a(net), False), (c.t("zzgl. 19 % USt", "VAT 19%"), c.a(tax), False),
                  (c.pick(["Rechnungsbetrag", "Gesamtbetrag", "Zu zahlender Betrag"], ["Total due", "Amount due"]),
                   c.a(gross), True)]
        due = c.days(c.rng.randrange(7, 15))
        after.append(pay_sentence(c, gross, due))
        amount = gross
        header = [c.t("Pos.", "No."), c.t("Leistung", "Description"), c.t("Anz.", "Qty"),
                  c.t("Einzelpreis", "Unit"), c.t("Betrag", "Amount")]
    else:
        start = period_end.replace(year=period_end.year - 1) + datetime.timedelta(days=1)
        title = c.pick(["Jahresabrechnung %d" % period_end.year, "Verbrauchsabrechnung Strom",
                        "Rechnung Erdgas %d" % period_end.year, "Abrechnung Trinkwasser"],
                       ["Annual energy statement and bill", "Your energy bill", "Water services bill"])
        kwh = c.rng.randrange(1800, 4200)
        work = kwh * c.rng.randrange(28, 41)
        base = 12 * c.rng.randrange(900, 1600)
        net = work + base
        tax = (net * 19 + 50) // 100
        gross = net + tax
        advances = 12 * ((gross // 12 - c.rng.randrange(400, 1500)) // 100 * 100)
        due_amount = gross - advances
        rows = [["1", c.t("Arbeitspreis %d kWh x %s ct" % (kwh, c.n(work * 100 // kwh // 100 * 100)[:-3]),
                          "Energy %d kWh" % kwh), "1", c.n(work), c.n(work)],
                ["2", c.t("Grundpreis 365 Tage", "Standing charge 365 days"), "1", c.n(base), c.n(base)]]
        header = ["Pos.", c.t("Position", "Item"), c.t("Menge", "Qty"), c.t("Preis", "Price"), c.t("Betrag", "Amount")]
        paras.append(c.t("Abrechnungszeitraum %s – %s, Zählernummer %s, Zählerstand am %s: %d kWh" % (
            c.d(start), c.d(period_end), c.num("1ESY", 8), c.d(period_end), c.rng.randrange(20000, 60000)),
            "Billing period %s – %s, meter %s, reading on %s: %d kWh" % (
                c.d(start), c.d(period_end), c.num("M", 8), c.d(period_end), c.rng.randrange(20000, 60000))))
        totals = [(c.t("Nettobetrag", "Net"), c.a(net), False), (c.t("Umsatzsteuer 19 %", "VAT 19%"), c.a(tax), False),
                  (c.t("Bruttobetrag", "Total charges"), c.a(gross), False),
                  (c.t("abzüglich geleisteter Abschläge", "less payments on account"), c.a(-advances), False),
                  (c.pick(["Nachzahlung", "Zu zahlender Betrag", "Restbetrag"], ["Balance to pay", "Amount due"]),
                   c.a(due_amount), True)]
        due = c.days(14)
        after.append(c.t("Bitte zahlen Sie die Nachzahlung bis zum %s." % c.d(due),
                         "Please pay the balance by %s." % c.d(due)))
        after.append(c.t("Ihr neuer monatlicher Abschlag ab %s beträgt %s." % (
            c.d(c.days(30).replace(day=1)), c.a(c.rng.randrange(40, 140) * 100)),
            "From %s your monthly payment will be %s." % (c.d(c.days(30).replace(day=1)),
                                                          c.a(c.rng.randrange(40, 140) * 100))))
        amount = due_amount
    doc_paras = [c.t("Sehr geehrte Kundin, sehr geehrter Kunde,", "Dear customer,")] + paras
    from evalrender import Doc
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=title, paras=doc_paras, table={"header": header, "rows": rows, "align": "llrrr"}, totals=totals,
              after=after, closing=closing(c), footer=footer(c), meta_title=title)
    return result(doc, c, [amount], ["rechnung"])


def invoice_shop(c):
    from evalrender import Doc
    s = c.s
    order_date = c.days(-c.rng.randrange(1, 6))
    delivery = c.days(-c.rng.randrange(0, 2))
    catalogue = [(c.t("USB-C Ladegerät 65 W", "USB-C charger 65W"), 1999, 4999),
                 (c.t("Kabelloses Headset", "Wireless headset"), 4999, 12999),
                 (c.t("Roman \"Die Mittagsfrau\"", "Paperback novel"), 1000, 2400),
                 (c.t("Gartenschlauch 20 m", "Garden hose 20 m"), 1999, 3999),
                 (c.t("Schreibtischlampe LED", "LED desk lamp"), 2499, 5999),
                 (c.t("Fahrradschloss", "Bike lock"), 1499, 4999),
                 (c.t("Notizbuch A5 liniert", "A5 notebook, ruled"), 399, 1299),
                 (c.t("Regal Buche 80 cm", "Beech shelf 80 cm"), 7999, 19999)]
    rows, net, tax, gross = items(c, catalogue, c.rng.randrange(1, 4))
    shipping = c.rng.choice([0, 0, 495, 399])
    discount = c.rng.choice([0, 0, 500, 1000]) if gross > 4000 else 0
    total = gross + shipping - discount
    info = [(c.t("Bestellnummer", "Order no."), c.num("", 3) + "-" + c.num("", 7)),
            (c.t("Bestelldatum", "Order date"), c.d(order_date)),
            (c.pick(["Rechnungsdatum", "Rechnungs-/Lieferdatum"], ["Invoice date", "Date of invoice"]), c.d()),
            (c.t("Lieferdatum", "Delivery date"), c.d(delivery))]
    c.rng.shuffle(info)
    totals = [(c.t("Zwischensumme (netto)", "Subtotal (net)"), c.a(net), False),
              (c.t("MwSt. 19 %", "VAT 19%"), c.a(tax), False)]
    if shipping:
        totals.append((c.t("Versandkosten", "Shipping"), c.a(shipping), False))
    if discount:
        totals.append((c.t("Gutschein", "Voucher"), c.a(-discount), False))
    totals.append((c.pick(["Gesamtbetrag", "Rechnungsbetrag", "Summe"], ["Total", "Grand total", "Order total"]),
                   c.a(total), True))
    title = c.pick(["Rechnung", "Rechnung Nr. " + c.num("", 7), "Ihre Rechnung zur Bestellung"],
                   ["Invoice", "Tax invoice", "Invoice for your order"])
    after = [c.pick(["Der Betrag wurde per PayPal beglichen.", "Bezahlt per Kreditkarte am %s." % c.d(order_date),
                     pay_sentence(c, total, c.days(14))],
                    ["Paid by card on %s." % c.d(order_date), "Payment received via PayPal. Thank you!"]),
             c.t("Es gelten unsere AGB (Stand 01.01.2023). Widerrufsbelehrung unter www.%s/widerruf." % s.domain,
                 "Our terms of sale (updated 1 January 2023) apply. Returns: www.%s/returns" % s.domain)]
    header = ["#", c.t("Artikel", "Item"), c.t("Menge", "Qty"), c.t("Einzelpreis", "Price"), c.t("Gesamt", "Total")]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=title, paras=[c.t("Vielen Dank für Ihren Einkauf!", "Thank you for your order!")],
              table={"header": header, "rows": rows, "align": "llrrr"}, totals=totals, after=after,
              closing=[], footer=footer(c), meta_title=title)
    return result(doc, c, [total], ["rechnung"])


def invoice_craftsman(c):
    from evalrender import Doc
    work_start = c.days(-c.rng.randrange(5, 30))
    work_end = work_start + datetime.timedelta(days=c.rng.randrange(0, 4))
    hours = c.rng.randrange(2, 24)
    rate = c.rng.choice([4800, 5500, 6200, 6900])
    rows = [["1", c.t("Arbeitszeit Geselle", "Labour"), "%d h" % hours, c.n(rate), c.n(hours * rate)]]
    mats = c.rng.sample([(c.t("Kupferrohr 15 mm", "Copper pipe 15 mm"), 800, 4000),
                         (c.t("Wandfarbe weiß 10 l", "Paint, white 10 l"), 3900, 8900),
                         (c.t("Steckdose Unterputz", "Socket, flush"), 900, 2500),
                         (c.t("Dachziegel", "Roof tiles"), 15000, 60000),
                         (c.t("Thermostatventil", "Thermostatic valve"), 2500, 6000),
                         (c.t("Anfahrtspauschale", "Call-out charge"), 2500, 4500)], 3)
    net = hours * rate
    for i, (desc, low, high) in enumerate(mats, start=2):
        qty = c.rng.randrange(1, 6)
        unit = c.rng.randrange(low, high)
        net += qty * unit
        rows.append([str(i), desc, str(qty), c.n(unit), c.n(qty * unit)])
    tax = (net * 19 + 50) // 100
    gross = net + tax
    advance = c.rng.choice([0, 0, 0, (gross // 3) // 100 * 100])
    due = c.days(c.rng.choice([10, 14, 30]))
    info = [(c.t("Rechnung Nr.", "Invoice no."), c.num("", 4) + "/" + str(c.date.year)),
            (c.t("Kunden-Nr.", "Customer"), c.num("", 5)),
            (c.pick(["Datum", "Rechnungsdatum"], ["Date", "Invoice date"]), c.d())]
    paras = [c.t("für die Ausführung folgender Arbeiten in Ihrem Objekt %s stellen wir Ihnen in Rechnung:" % c.r.street,
                 "for work carried out at %s we charge as follows:" % c.r.street),
             c.t("Leistungszeitraum: %s – %s" % (c.d(work_start), c.d(work_end)),
                 "Work carried out: %s – %s" % (c.d(work_start), c.d(work_end)))]
    totals = [(c.t("Nettobetrag", "Net amount"), c.a(net), False), (c.t("19 % MwSt.", "VAT 19%"), c.a(tax), False),
              (c.t("Rechnungsbetrag brutto", "Invoice total"), c.a(gross), not advance)]
    amount = gross
    if advance:
        totals.append((c.t("abzgl. Abschlagszahlung vom %s" % c.d(work_start - datetime.timedelta(days=20)),
                           "less deposit paid on %s" % c.d(work_start - datetime.timedelta(days=20))),
                       c.a(-advance), False))
        totals.append((c.t("Noch zu zahlen", "Balance due"), c.a(gross - advance), True))
        amount = gross - advance
    skonto = (amount * 2 + 50) // 100
    after = [c.t("Zahlbar bis %s ohne Abzug. Bei Zahlung innerhalb von 7 Tagen gewähren wir 2 %% Skonto (%s), "
                 "Zahlbetrag dann %s." % (c.d(due), c.a(skonto), c.a(amount - skonto)),
                 "Payment due by %s. 2%% discount (%s) if paid within 7 days." % (c.d(due), c.a(skonto))),
             c.t("Gemäß § 35a EStG beträgt der Lohnanteil %s." % c.a(hours * rate + (hours * rate * 19 + 50) // 100),
                 "Labour content: %s." % c.a(hours * rate))]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=c.pick(["Rechnung", "Schlussrechnung", "Handwerkerrechnung"], ["Invoice", "Final invoice"]),
              paras=[c.t("Sehr geehrte Damen und Herren,", "Dear Sir or Madam,")] + paras,
              table={"header": ["Pos", c.t("Beschreibung", "Description"), c.t("Menge", "Qty"),
                                c.t("E-Preis", "Rate"), c.t("G-Preis", "Amount")], "rows": rows, "align": "llrrr"},
              totals=totals, after=after, closing=closing(c), footer=footer(c))
    return result(doc, c, [amount], ["rechnung"])


def dunning(c, creditor=None):
    """A reminder; `creditor` set means a collection agency writes for that creditor."""
    from evalrender import Doc
    inv_date = c.days(-c.rng.randrange(30, 75))
    principal = c.rng.randrange(2000, 90000)
    fee = c.rng.choice([250, 500, 500, 1000, 0])
    interest = c.rng.choice([0, 0, c.rng.randrange(50, 900)])
    level = c.rng.choice([1, 2, 3])
    total = principal + fee + interest
    inv_no = c.num("", 7)
    title = c.pick(["Zahlungserinnerung", "%d. Mahnung" % level, "Mahnung", "Letzte Mahnung vor Inkasso"],
                   ["Payment reminder", "Final notice", "Overdue invoice – second reminder"])
    paras = [c.t("Sehr geehrte Damen und Herren,", "Dear customer,"),
             c.t("sicher ist es Ihrer Aufmerksamkeit entgangen, dass unsere Rechnung Nr. %s vom %s über %s "
                 "noch nicht beglichen ist. Die Zahlungsfrist endete am %s." % (
                     inv_no, c.d(inv_date), c.a(principal), c.d(inv_date + datetime.timedelta(days=14))),
                 "our records show that invoice %s dated %s for %s is still unpaid. It was due on %s." % (
                     inv_no, c.d(inv_date), c.a(principal), c.d(inv_date + datetime.timedelta(days=14))))]
    if creditor:
        paras.insert(1, c.t("in der Angelegenheit %s (Gläubigerin) gegen Sie wurden wir mit dem Einzug der "
                             "folgenden Forderung beauftragt." % creditor.full,
                             "we have been instructed by %s to collect the following debt." % creditor.full))
    totals = [(c.t("Offene Rechnung", "Invoice amount"), c.a(principal), False)]
    if fee:
        totals.append((c.t("Mahngebühr", "Late fee"), c.a(fee), False))
    if interest:
        totals.append((c.t("Verzugszinsen", "Interest"), c.a(interest), False))
    totals.append((c.pick(["Gesamtforderung", "Zu zahlender Gesamtbetrag", "Offener Betrag"],
                          ["Total now due", "Amount outstanding"]), c.a(total), True))
    due = c.days(c.rng.choice([7, 10, 14]))
    after = [c.t("Bitte überweisen Sie den Gesamtbetrag bis spätestens %s auf das unten genannte Konto. Sollten Sie "
                 "die Zahlung bereits veranlasst haben, betrachten Sie dieses Schreiben als gegenstandslos." % c.d(due),
                 "Please pay the total by %s. If you have already paid, please disregard this letter." % c.d(due))]
    info = [(c.t("Kundennummer", "Account"), c.num("", 6)), (c.t("Datum", "Date"), c.d())]
    place = "" if c.rng.random() < 0.6 else "%s, %s" % (c.s.city.split(" ", 1)[-1], c.d())
    if place:
        info = info[:1]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              place_date=place, title=title, paras=paras, totals=totals, after=after, closing=closing(c),
              footer=footer(c))
    return result(doc, c, [total], ["rechnung", "brief"])


def contract(c):
    from evalrender import Doc
    s = c.s
    start = (c.days(c.rng.randrange(10, 60))).replace(day=1)
    monthly = c.rng.randrange(2000, 120000)
    city = s.city.split(" ", 1)[-1]
    if "Hausverwaltung" in s.full or "Lettings" in s.full:
        title = c.t("Mietvertrag über Wohnraum", "Assured Shorthold Tenancy Agreement")
        paras = [c.t("zwischen %s, vertreten durch %s (Vermieterin), und %s, %s, %s (Mieter)" % (
            s.full, s.person, c.r.full, c.r.street, c.r.city),
            "between %s (the Landlord) and %s of %s (the Tenant)" % (s.full, c.r.full, c.r.street)),
            c.t("§ 1 Mietsache: Wohnung im 2. OG links, 3 Zimmer, ca. 72 m².", "1. The property: Flat 2, 3 rooms."),
            c.t("§ 2 Mietzeit: Das Mietverhältnis beginnt am %s und läuft auf unbestimmte Zeit." % c.d(start),
                "2. The tenancy begins on %s for an initial term of 12 months." % c.d(start)),
            c.t("§ 3 Miete: Die monatliche Grundmiete beträgt %s, die Vorauszahlung auf die Betriebskosten %s." % (
                c.a(monthly), c.a(monthly // 4)), "3. Rent: %s per month, payable in advance." % c.a(monthly)),
            c.t("§ 4 Kaution: Der Mieter leistet eine Sicherheit von %s." % c.a(monthly * 3),
                "4. Deposit: %s, protected in a tenancy deposit scheme." % c.a(monthly * 3))]
    elif "Software" in s.full or "Nordlicht" in s.full:
        title = c.t("Arbeitsvertrag", "Contract of Employment")
        paras = [c.t("zwischen der %s (Arbeitgeberin) und %s, geboren am %s (Arbeitnehmerin)" % (
            s.full, c.r.full, c.d(datetime.date(1990, 5, 12))),
            "between %s (the Employer) and %s, born %s (the Employee)" % (s.full, c.r.full,
                                                                         c.d(datetime.date(1990, 5, 12)))),
            c.t("§ 1 Beginn: Das Arbeitsverhältnis beginnt am %s. Die ersten sechs Monate gelten als Probezeit." %
                c.d(start), "1. Start date: %s. The first six months are a probationary period." % c.d(start)),
            c.t("§ 2 Vergütung: Das Bruttomonatsgehalt beträgt %s." % c.a(monthly * 4),
                "2. Salary: a gross monthly salary of %s." % c.a(monthly * 4)),
            c.t("§ 3 Urlaub: 30 Arbeitstage im Kalenderjahr.", "3. Holiday: 30 working days per year.")]
    else:
        title = c.pick(["Mitgliedsvertrag", "Dienstleistungsvertrag", "Vertragsbestätigung Mobilfunk"],
                       ["Service Agreement", "Membership Agreement"])
        paras = [c.t("Vertragspartner: %s und %s" % (s.full, c.r.full), "Parties: %s and %s" % (s.full, c.r.full)),
                 c.t("Vertragsbeginn: %s, Mindestlaufzeit 24 Monate, danach monatlich kündbar." % c.d(start),
                     "Start of agreement: %s, minimum term 12 months." % c.d(start)),
                 c.t("Monatlicher Beitrag: %s, Aufnahmegebühr einmalig %s." % (c.a(monthly // 10), c.a(1999)),
                     "Monthly fee: %s; joining fee %s." % (c.a(monthly // 10), c.a(1999))),
                 c.t("Die Kündigungsfrist beträgt einen Monat zum Ende der Laufzeit.",
                     "Either party may terminate with one month's notice.")]
    place = c.t("%s, den %s" % (city, c.d()), "Signed at %s on %s" % (city, c.d()))
    after = [place, "____________________            ____________________",
             c.t("%s                    %s" % (s.short[0], c.r.full), "%s                    %s" % (s.short[0], c.r.full))]
    head = letterhead(c) if c.rng.random() < 0.7 else []
    doc = Doc(letterhead=head, title=title, paras=paras, after=after, footer=footer(c) if head else [],
              meta_title=title, meta_author=s.person)
    return result(doc, c, [None], ["vertrag"])


def bank_statement(c):
    from evalrender import Doc
    s = c.s
    first = c.date.replace(day=1)
    rows = []
    balance = c.rng.randrange(50000, 900000)
    opening = balance
    partners = [("Stadtwerke Lindenau GmbH", -1), ("REWE Markt GmbH", -1), ("Gehalt Brückner Logistik", 1),
                ("Miete Krüger & Partner", -1), ("Amazon Payments", -1), ("Telekom Deutschland GmbH", -1),
                ("Bargeldauszahlung", -1), ("Erstattung Finanzamt", 1)] if c.lang == "de" else [
        ("Brightwater Energy", -1), ("Tesco Stores", -1), ("Salary Crestline Consulting", 1), ("Rent Oakridge", -1),
        ("Cash withdrawal", -1), ("Refund HMRC", 1)]
    day = first
    for _ in range(c.rng.randrange(6, 12)):
        day = min(c.date, day + datetime.timedelta(days=c.rng.randrange(1, 4)))
        who, sign = c.rng.choice(partners)
        amt = sign * c.rng.randrange(500, 250000 if sign > 0 else 60000)
        balance += amt
        rows.append([c.d(day, "dmy" if c.lang == "de" else "uk_slash")[:6 if c.lang == "de" else 5], who,
                     ("+" if amt > 0 else "") + c.n(amt)])
    no = "%d/%d" % (c.date.month, c.date.year)
    info = [(c.t("Kontoauszug", "Statement"), no), ("IBAN", c.r.iban), (c.t("Kontoinhaber", "Account holder"), c.r.full),
            (c.pick(["Erstellt am", "Auszugsdatum", "Datum"], ["Statement date", "Date"]), c.d())]
    totals = [(c.t("Alter Kontostand vom %s" % c.d(first - datetime.timedelta(days=1)),
                   "Opening balance %s" % c.d(first - datetime.timedelta(days=1))), c.a(opening), False),
              (c.t("Neuer Kontostand vom %s" % c.d(), "Closing balance %s" % c.d()), c.a(balance), True)]
    after = [c.t("Bitte prüfen Sie Ihren Kontoauszug. Einwendungen müssen innerhalb von sechs Wochen erhoben werden. "
                 "Dispositionskredit: %s, Sollzins 11,25 %% p.a." % c.a(200000),
                 "Please check this statement. Overdraft limit %s, 21.9%% EAR." % c.a(200000))]
    doc = Doc(letterhead=letterhead(c, brand_only=True), recipient=recipient_block(c), info=info,
              title=c.t("Kontoauszug Girokonto", "Current account statement"),
              table={"header": [c.t("Buchung", "Date"), c.t("Vorgang", "Details"), c.t("Betrag EUR", "Amount")],
                     "rows": rows, "align": "llr"}, totals=totals, after=after,
              footer=footer(c, bank=s.full))
    return result(doc, c, [None], ["beleg", "sonstiges"])


def payslip(c):
    from evalrender import Doc
    month = (c.date.replace(day=1))
    gross = c.rng.randrange(250000, 620000)
    tax = gross * c.rng.randrange(12, 22) // 100
    social = gross * 20 // 100
    net = gross - tax - social
    month_name = (c.t("%s %d", "%s %d")) % ((MONTHS_DE if c.lang == "de" else MONTHS_EN)[month.month - 1], month.year)
    info = [(c.t("Personalnummer", "Employee no."), c.num("", 5)),
            (c.t("Eintritt", "Start date"), c.d(c.date.replace(year=c.date.year - c.rng.randrange(1, 9), day=1))),
            (c.t("Geburtsdatum", "Date of birth"), c.d(datetime.date(1987, 7, 3))),
            (c.t("Steuerklasse", "Tax code"), c.t("I / 0", "1257L")),
            (c.pick(["Abrechnungsdatum", "Erstellt am", "Datum"], ["Payment date", "Date"]), c.d())]
    rows = [[c.t("Gehalt", "Basic salary"), c.n(gross)],
            [c.t("Lohnsteuer", "Income tax"), c.n(-tax)],
            [c.t("Sozialversicherung AN-Anteil", "National Insurance"), c.n(-social)]]
    totals = [(c.t("Gesamtbrutto", "Gross pay"), c.a(gross), False),
              (c.t("Nettoverdienst", "Net pay"), c.a(net), False),
              (c.pick(["Auszahlungsbetrag", "Überweisung"], ["Take-home pay", "Amount paid"]), c.a(net), True)]
    after = [c.t("Überweisung auf IBAN %s am %s." % (c.r.iban, c.d(c.days(2))),
                 "Paid to account ending %s on %s." % (c.r.iban[-4:], c.d(c.days(2)))),
             c.t("Resturlaub: 12 Tage. Jahressumme brutto: %s" % c.a(gross * month.month),
                 "Year to date gross: %s" % c.a(gross * month.month))]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=c.t("Entgeltabrechnung %s" % month_name, "Payslip %s" % month_name),
              table={"header": [c.t("Bezeichnung", "Item"), c.t("Betrag", "Amount")], "rows": rows, "align": "lr"},
              totals=totals, after=after, footer=footer(c, with_vat=False))
    return result(doc, c, [net, None], ["beleg", "sonstiges"])


def tax_assessment(c):
    from evalrender import Doc
    year = c.date.year - 1
    filed = c.days(-c.rng.randrange(40, 120))
    tax = c.rng.randrange(300000, 1800000) // 100 * 100
    withheld = tax + c.rng.choice([-1, 1]) * c.rng.randrange(10000, 150000) // 100 * 100
    balance = tax - withheld
    due = c.days(30)
    if c.lang == "de":
        info = [("Steuernummer", c.r.tax_no), ("Datum", c.d()), ("Telefon", c.s.phone)]
        title = "Bescheid für %d über Einkommensteuer und Solidaritätszuschlag" % year
        paras = ["Ihre Steuererklärung vom %s ist am %s eingegangen. Die Steuer wird festgesetzt auf:" % (
            c.d(filed - datetime.timedelta(days=2)), c.d(filed))]
        totals = [("Festgesetzt werden: Einkommensteuer", c.a(tax), False),
                  ("abzüglich Steuerabzug vom Lohn", c.a(withheld), False),
                  ("Nachzahlung" if balance > 0 else "Erstattung", c.a(abs(balance)), True)]
        after = ["Der Betrag ist bis zum %s zu entrichten." % c.d(due) if balance > 0 else
                 "Der Erstattungsbetrag wird auf Ihr Konto %s überwiesen." % c.r.iban,
                 "Rechtsbehelfsbelehrung: Der Bescheid kann mit dem Einspruch angefochten werden. Die Frist beträgt "
                 "einen Monat nach Bekanntgabe."]
    else:
        info = [("UTR", c.num("", 10)), ("Issue date", c.d())]
        title = "Tax calculation for the year ended 5 April %d" % year
        paras = ["We received your return on %s. Your tax calculation:" % c.d(filed)]
        totals = [("Income Tax due", c.a(tax), False), ("Tax deducted", c.a(withheld), False),
                  ("Amount you owe" if balance > 0 else "Repayment due to you", c.a(abs(balance)), True)]
        after = ["Please pay by %s." % c.d(due) if balance > 0 else "We will repay this to your bank account."]
    doc = Doc(letterhead=[(c.s.full, "big"), ("%s · %s" % (c.s.street, c.s.city), "small")],
              return_line=return_line(c), recipient=recipient_block(c), info=info, title=title, paras=paras,
              totals=totals, after=after, footer=[[c.s.full, c.s.street], ["Bankverbindung Bundesbank" if c.lang == "de"
                                                                          else "Bank of England",
                                                                          "IBAN " + c.s.iban]])
    return result(doc, c, [None, abs(balance)], ["brief", "sonstiges"])


def insurance(c):
    from evalrender import Doc
    policy = c.num(c.t("VS-", "POL"), 9)
    begin = c.date.replace(year=c.date.year - c.rng.randrange(1, 10), month=1, day=1)
    info = [(c.t("Versicherungsnummer", "Policy number"), policy),
            (c.t("Versicherungsbeginn", "Start of cover"), c.d(begin)),
            (c.t("Datum", "Date"), c.d())]
    if c.rng.random() < 0.5:
        premium = c.rng.randrange(5000, 90000)
        due = c.date.replace(day=1) + datetime.timedelta(days=32)
        due = due.replace(day=1)
        title = c.t("Beitragsrechnung %d" % due.year, "Premium invoice %d" % due.year)
        paras = [c.t("Ihre Hausratversicherung: Der Jahresbeitrag für den Zeitraum %s bis %s ist zur Hauptfälligkeit "
                     "am %s fällig." % (c.d(due), c.d(due.replace(year=due.year + 1) - datetime.timedelta(days=1)),
                                       c.d(due)),
                     "Your home contents cover: the annual premium for %s to %s is due on %s." % (
                         c.d(due), c.d(due.replace(year=due.year + 1) - datetime.timedelta(days=1)), c.d(due)))]
        net = premium * 100 // 119
        totals = [(c.t("Nettobeitrag", "Premium"), c.a(net), False),
                  (c.t("Versicherungsteuer 19 %", "Insurance premium tax"), c.a(premium - net), False),
                  (c.t("Zu zahlender Beitrag", "Total payable"), c.a(premium), True)]
        after = [c.t("Wir buchen den Beitrag zum Fälligkeitstermin von Ihrem Konto %s ab." % c.r.iban,
                     "We will collect this by direct debit from your account.")]
        betrag, kat = [premium], ["rechnung"]
    else:
        damage = c.days(-c.rng.randrange(10, 60))
        paid = c.rng.randrange(10000, 300000)
        title = c.t("Ihre Schadenmeldung vom %s" % c.d(damage + datetime.timedelta(days=2)),
                    "Your claim of %s" % c.d(damage + datetime.timedelta(days=2)))
        paras = [c.t("Sehr geehrte Frau Becker," if c.r.full.startswith("Julia") else "Sehr geehrter Herr Schneider,",
                     "Dear %s," % c.r.full),
                 c.t("wir haben Ihren Leitungswasserschaden vom %s geprüft. Nach Abzug der Selbstbeteiligung von %s "
                     "erstatten wir Ihnen %s." % (c.d(damage), c.a(15000), c.a(paid)),
                     "we have assessed the water damage of %s. After the excess of %s we will pay you %s." % (
                         c.d(damage), c.a(15000), c.a(paid))),
                 c.t("Der Betrag wird in den nächsten Tagen auf Ihr Konto %s überwiesen." % c.r.iban,
                     "The amount will be paid into your account within five working days.")]
        totals, after = [], []
        betrag, kat = [None, paid], ["brief"]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=title, paras=paras, totals=totals, after=after, closing=closing(c), footer=footer(c))
    return result(doc, c, betrag, kat)


def doctor_bill(c):
    from evalrender import Doc
    first = c.days(-c.rng.randrange(10, 40))
    last = first + datetime.timedelta(days=c.rng.randrange(0, 14))
    rows = []
    total = 0
    codes = [("1", c.t("Beratung", "Consultation"), 466), ("5", c.t("Symptombezogene Untersuchung", "Examination"), 466),
             ("250", c.t("Blutentnahme", "Blood sample"), 233), ("3550", c.t("Blutbild", "Full blood count"), 350),
             ("410", c.t("Ultraschall", "Ultrasound"), 1166), ("75", c.t("Befundbericht", "Report"), 758)]
    for day in (first, last):
        for code, desc, base in c.rng.sample(codes, 2):
            factor = c.rng.choice([(230, "2,3"), (180, "1,8"), (115, "1,15")])
            amount = base * factor[0] // 100
            total += amount
            rows.append([c.d(day, "dmy" if c.lang == "de" else "uk_slash"), code, desc, factor[1], c.n(amount)])
    info = [(c.t("Rechnungsnummer", "Invoice no."), c.num("", 6)), (c.t("Patient", "Patient"), c.r.full),
            (c.t("geb. am", "Date of birth"), c.d(datetime.date(1985, 3, 14))),
            (c.t("Rechnungsdatum", "Invoice date"), c.d())]
    paras = [c.t("Privatärztliche Liquidation nach GOÄ für die Behandlung vom %s bis %s" % (c.d(first), c.d(last)),
                 "Private treatment %s to %s" % (c.d(first), c.d(last))),
             c.t("Diagnose: Verdacht auf Gastritis (K29.7)", "Diagnosis: suspected gastritis")]
    totals = [(c.t("Rechnungsbetrag", "Amount due"), c.a(total), True)]
    after = [c.t("Bitte überweisen Sie den Betrag innerhalb von 30 Tagen, spätestens bis %s, auf das Konto %s." % (
        c.d(c.days(30)), c.s.iban), "Please pay within 30 days (by %s)." % c.d(c.days(30)))]
    doc = Doc(letterhead=[(c.s.person if c.rng.random() < 0.5 else c.s.full, "big"),
                          (c.t("Fachärztin für Allgemeinmedizin", "General practitioner"), "normal"),
                          ("%s · %s" % (c.s.street, c.s.city), "small")],
              return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=c.t("Rechnung", "Invoice"), paras=paras,
              table={"header": [c.t("Datum", "Date"), c.t("GOÄ-Nr.", "Code"), c.t("Leistung", "Service"),
                                c.t("Faktor", "Factor"), c.t("Betrag", "Amount")], "rows": rows, "align": "lllrr"},
              totals=totals, after=after, closing=closing(c, company=False), footer=footer(c, with_vat=False))
    return result(doc, c, [total], ["rechnung"])


def offer(c):
    from evalrender import Doc
    catalogue = [(c.t("Konzeption und Design", "Concept and design"), 80000, 300000),
                 (c.t("Umsetzung Webseite", "Website build"), 150000, 500000),
                 (c.t("Umzug 3-Zimmer-Wohnung, 3 Mann, LKW 7,5 t", "Removal, 3 movers, 7.5 t van"), 60000, 180000),
                 (c.t("Montage Unterverteilung", "Fit consumer unit"), 40000, 120000),
                 (c.t("Rasen neu anlegen, 120 m²", "Re-turf lawn, 120 m²"), 90000, 250000),
                 (c.t("Wartungsvertrag 12 Monate", "Maintenance, 12 months"), 20000, 60000)]
    rows, net, tax, gross = items(c, catalogue, c.rng.randrange(2, 4))
    valid = c.days(c.rng.choice([14, 30, 60]))
    info = [(c.t("Angebotsnummer", "Quote no."), c.num("A-%d-" % c.date.year, 3)),
            (c.pick(["Angebotsdatum", "Datum"], ["Quote date", "Date"]), c.d()),
            (c.t("Gültig bis", "Valid until"), c.d(valid))]
    paras = [c.t("Sehr geehrte Frau Becker," if c.r.full.startswith("Julia") else "Sehr geehrter Herr Schneider,",
                 "Dear %s," % c.r.full),
             c.t("vielen Dank für Ihre Anfrage vom %s. Gerne bieten wir Ihnen an:" % c.d(c.days(-7)),
                 "thank you for your enquiry of %s. We are pleased to quote as follows:" % c.d(c.days(-7)))]
    totals = [(c.t("Summe netto", "Net"), c.a(net), False), (c.t("zzgl. 19 % MwSt.", "VAT 19%"), c.a(tax), False),
              (c.t("Angebotssumme brutto", "Total"), c.a(gross), True)]
    after = [c.t("Ausführung voraussichtlich ab %s. Bei Auftragserteilung bitten wir um eine Anzahlung von 30 %% (%s)." % (
        c.d(c.days(45)), c.a(gross * 30 // 100)),
        "Work could start from %s. A 30%% deposit (%s) is due on acceptance." % (c.d(c.days(45)), c.a(gross * 30 // 100)))]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=c.pick(["Angebot", "Kostenvoranschlag", "Unser Angebot Nr. %s" % info[0][1]],
                           ["Quotation", "Quote", "Estimate"]), paras=paras,
              table={"header": ["Pos.", c.t("Leistung", "Description"), c.t("Menge", "Qty"),
                                c.t("Einzelpreis", "Unit"), c.t("Gesamt", "Total")], "rows": rows, "align": "llrrr"},
              totals=totals, after=after, closing=closing(c), footer=footer(c), meta_title="Angebot")
    return result(doc, c, [gross, None], ["angebot"])


def delivery_note(c):
    from evalrender import Doc
    order = c.days(-c.rng.randrange(2, 10))
    rows = []
    for i, name in enumerate(c.rng.sample([c.t("Zement CEM II 25 kg", "Printer paper A4, 500 sheets"),
                                           c.t("Kopierpapier A4, 500 Blatt", "Toner cartridge black"),
                                           c.t("Toner schwarz", "Desk organiser"),
                                           c.t("Pflastersteine grau", "USB stick 64 GB"),
                                           c.t("Monitor 27 Zoll", "27-inch monitor")], 3), start=1):
        rows.append([str(i), c.num("", 6), name, str(c.rng.randrange(1, 40))])
    info = [(c.t("Lieferschein-Nr.", "Delivery note no."), c.num("LS", 7)),
            (c.t("Ihre Bestellung vom", "Your order of"), c.d(order)),
            (c.pick(["Lieferdatum", "Datum"], ["Delivery date", "Date"]), c.d())]
    paras = [c.t("Wir liefern Ihnen gemäß Ihrer Bestellung Nr. %s:" % c.num("", 6),
                 "Please find enclosed the goods for your order %s:" % c.num("", 6))]
    after = [c.t("Ware in einwandfreiem Zustand erhalten. Die Rechnung (Warenwert %s) folgt gesondert." % c.a(
        c.rng.randrange(5000, 90000)), "Goods received in good condition. Invoice to follow separately."),
             c.t("Datum, Unterschrift Empfänger: ____________", "Signature: ____________")]
    doc = Doc(letterhead=letterhead(c), return_line=return_line(c), recipient=recipient_block(c), info=info,
              title=c.t("Lieferschein", "Delivery note"), paras=paras,
              table={"header": ["Pos.", c.t("Art.-Nr.", "SKU"), c.t("Bezeichnung", "Item"), c.t("Menge", "Qty")],
                     "rows": rows, "align": "lllr"}, after=after, footer=footer(c))
    return result(doc, c, [None], ["beleg", "sonstiges"])


def receipt(c):
    """A till receipt: monospaced lines."""
    from evalrender import Doc
    s = c.s
    lines = [s.short[0].upper() if c.rng.random() < 0.6 else s.short[0], s.full if s.full != s.short[0] else "",
             s.street, s.city, c.t("Tel. ", "Tel ") + s.phone, ""]
    rows = c.rng.sample([(c.t("Vollmilch 1,5%", "Milk 2 pints"), 119), (c.t("Bio Bananen", "Bananas"), 189),
                         (c.t("Roggenbrot", "Sourdough loaf"), 329), (c.t("Kaffee Bohnen 500g", "Coffee beans"), 899),
                         (c.t("Super E10 41,23 l", "Unleaded 41.23 l"), 7394), (c.t("Cappuccino", "Flat white"), 380),
                         (c.t("Schnitzel Wiener Art", "Club sandwich"), 1590), (c.t("Apfelschorle 0,4", "Lemonade"), 390),
                         (c.t("Zahnpasta", "Toothpaste"), 195), (c.t("Shampoo", "Shampoo"), 345)],
                        c.rng.randrange(2, 6))
    total = 0
    for name, price in rows:
        lines.append("%-24s %8s" % (name[:24], c.n(price)))
        total += price
    net = total * 100 // 119
    paid = ((total // 1000) + 1) * 1000 if c.rng.random() < 0.5 else total
    time = "%02d:%02d" % (c.rng.randrange(8, 21), c.rng.randrange(60))
    lines += ["-" * 33, "%-18s %14s" % (c.t("SUMME EUR", "TOTAL GBP" if c.cur == "GBP" else "TOTAL"), c.n(total))]
    if paid != total:
        lines += ["%-18s %14s" % (c.t("Gegeben BAR", "Cash"), c.n(paid)),
                  "%-18s %14s" % (c.t("Rückgeld", "Change"), c.n(paid - total))]
    else:
        lines += ["%-18s %14s" % (c.t("Kartenzahlung", "Card"), c.n(total))]
    lines += ["", c.t("MwSt  Netto   Steuer  Brutto", "VAT   Net     VAT     Gross"),
              "19%%  %s   %s   %s" % (c.n(net), c.n(total - net), c.n(total)), "",
              "%s %s  Bon %s  Kasse %d" % (c.d(style="dmy" if c.lang == "de" else "uk_slash"), time,
                                         c.num("", 4), c.rng.randrange(1, 6)),
              c.t("Vielen Dank für Ihren Einkauf!", "Thank you for shopping with us!"),
              c.t("USt-IdNr. ", "VAT reg ") + s.vat]
    doc = Doc(mono=[l for l in lines if l is not None], meta_title=s.short[0])
    return result(doc, c, [total], ["beleg", "rechnung"])


def online_receipt(c):
    """An order confirmation as a web page or e-mail."""
    doc, expected = invoice_shop(c)
    doc.title = c.pick(["Bestellbestätigung", "Ihre Bestellung bei %s" % c.s.short[0], "Zahlungsbeleg"],
                       ["Order confirmation", "Your receipt from %s" % c.s.short[0]])
    doc.recipient = []
    doc.return_line = ""
    expected["kategorie"] = ["beleg", "rechnung"]
    return doc, expected


def letter(c):
    from evalrender import Doc
    s = c.s
    ref = c.days(-c.rng.randrange(5, 40))
    city = s.city.split(" ", 1)[-1]
    topics_de = [
        ("Ankündigung Wartungsarbeiten an der Heizungsanlage",
         ["die Heizungsanlage in Ihrem Haus wird am %s zwischen 8 und 14 Uhr gewartet. In dieser Zeit steht kein "
          "Warmwasser zur Verfügung." % c.d(c.days(14)),
          "Die Kosten der Wartung (%s) werden über die Betriebskostenabrechnung %d umgelegt." % (
              c.a(c.rng.randrange(20000, 90000)), c.date.year)]),
        ("Einladung zum Elternabend",
         ["wir laden Sie herzlich zum Elternabend der Klasse 3b am %s um 19:00 Uhr ein." % c.d(c.days(10)),
          "Bitte bringen Sie den Beitrag für die Klassenfahrt (%s) mit." % c.a(8500)]),
        ("Ihr Schreiben vom %s" % c.d(ref),
         ["vielen Dank für Ihr Schreiben vom %s. Gerne bestätigen wir Ihnen die Kündigung Ihrer Mitgliedschaft "
          "zum %s." % (c.d(ref), c.d(c.days(60))), "Der letzte Beitrag wird am %s eingezogen." % c.d(c.days(20))]),
        ("Änderung Ihrer Anschrift",
         ["wir haben Ihre neue Anschrift zum %s in unseren Unterlagen vermerkt." % c.d(c.days(-3)),
          "Bei Fragen erreichen Sie uns montags bis freitags von 8 bis 16 Uhr unter %s." % s.phone]),
        ("Geburtstagsgrüße",
         ["herzlichen Glückwunsch nachträglich zu Deinem Geburtstag am %s! Wir hoffen, Du hattest einen schönen "
          "Tag." % c.d(c.days(-4)), "Bis bald und liebe Grüße aus %s" % city]),
    ]
    topics_en = [
        ("School trip to the Science Museum",
         ["Year 4 will visit the Science Museum on %s. Please return the consent form by %s." % (
             c.d(c.days(21)), c.d(c.days(7))), "The cost of %s covers coach travel." % c.a(1200)]),
        ("Your membership renewal",
         ["Thank you for your letter of %s. Your membership has been renewed until %s." % (c.d(ref), c.d(c.days(365))),
          "Court bookings open on %s." % c.d(c.days(5))]),
        ("Change of opening hours",
         ["From %s our office will be open Monday to Thursday, 9am to 4pm." % c.d(c.days(14)),
          "Please call %s with any questions." % s.phone]),
    ]
    subject, body = c.rng.choice(topics_de if c.lang == "de" else topics_en)
    greeting = c.t("Liebe Julia," if "Geburtstag" in subject else (
        "Sehr geehrte Frau Becker," if c.r.full.startswith("Julia") else "Sehr geehrter Herr Schneider,"),
        "Dear %s," % c.r.full.split()[0])
    private = s.full == s.short[0] and " " in s.full and not any(w in s.full for w in ("Schule", "School", "Club",
                                                                                        "Stadt"))
    place = c.t("%s, %s" % (city, c.d()) if c.rng.random() < 0.6 else "%s, den %s" % (city, c.d()),
                "%s, %s" % (city.split(" ")[-1], c.d()))
    doc = Doc(letterhead=[] if private else letterhead(c), return_line=return_line(c), recipient=recipient_block(c),
              place_date=place, title=subject, paras=[greeting] + body,
              closing=closing(c, company=not private) if not private else [c.t("Herzliche Grüße", "Love"), s.person],
              footer=[] if private else footer(c, with_vat=False))
    if private:
        doc.letterhead = [(s.full, "normal"), (s.street, "normal"), (s.city, "normal")]
    return result(doc, c, [None], ["brief"])


def minutes(c):
    from evalrender import Doc
    s = c.s
    meeting = c.date
    written = c.days(c.rng.randrange(2, 9))
    if c.lang == "de":
        kind = c.rng.choice(["Eigentümerversammlung", "Mitgliederversammlung", "Projektbesprechung"])
        title = "Protokoll der %s vom %s" % (kind, c.d(meeting))
        paras = ["Ort: %s, %s; Beginn 18:00 Uhr, Ende 20:15 Uhr" % (s.street, s.city),
                 "Anwesend: 14 von 22 Mitgliedern; Versammlungsleitung: %s; Protokoll: %s" % (s.person, "Anja Roth"),
                 "TOP 1: Genehmigung des Protokolls der letzten Sitzung vom %s – einstimmig angenommen." % c.d(
                     meeting.replace(year=meeting.year - 1)),
                 "TOP 2: Wirtschaftsplan %d mit Gesamtkosten von %s – angenommen mit 12 Ja-Stimmen." % (
                     meeting.year, c.a(c.rng.randrange(1000000, 6000000))),
                 "TOP 3: Die Sanierung des Treppenhauses wird bis %s ausgeschrieben; Rücklage derzeit %s." % (
                     c.d(c.days(90)), c.a(c.rng.randrange(500000, 3000000))),
                 "TOP 4: Verschiedenes. Nächster Termin: %s." % c.d(c.days(180))]
        after = ["%s, %s" % (s.city.split(" ", 1)[-1], c.d(written)), "gez. Anja Roth (Protokollführerin)"]
    else:
        title = "Minutes of the committee meeting held on %s" % c.d(meeting)
        paras = ["Present: R. Hale (chair), M. Patel, S. Jones, T. Okafor. Apologies: L. Green.",
                 "1. Minutes of the meeting of %s were approved." % c.d(meeting.replace(year=meeting.year - 1)),
                 "2. Treasurer's report: balance %s; subscriptions due by %s." % (
                     c.a(c.rng.randrange(100000, 900000)), c.d(c.days(30))),
                 "3. Court resurfacing quote of %s accepted." % c.a(c.rng.randrange(500000, 1500000)),
                 "4. Next meeting: %s." % c.d(c.days(60))]
        after = ["Circulated %s" % c.d(written)]
    doc = Doc(letterhead=[(s.full, "big")] if c.rng.random() < 0.7 else [], title=title, paras=paras, after=after,
              footer=[[s.full, s.street, s.city]], meta_title=title, meta_author="Anja Roth")
    # The minutes are dated by their meeting.
    return result(doc, c, [None], ["protokoll"])


KINDS = {
    "invoice-utility": invoice_utility,
    "invoice-shop": invoice_shop,
    "invoice-craftsman": invoice_craftsman,
    "dunning": dunning,
    "contract": contract,
    "bank-statement": bank_statement,
    "payslip": payslip,
    "tax-assessment": tax_assessment,
    "insurance": insurance,
    "doctor-bill": doctor_bill,
    "offer": offer,
    "delivery-note": delivery_note,
    "receipt": receipt,
    "letter": letter,
    "minutes": minutes,
}
