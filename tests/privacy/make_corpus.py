#!/usr/bin/env python3
"""Writes corpus.json: short German and English letters, invoices, statements, tax and medical
mail with planted identifiers (valid check digits) under "marks" and every date, amount and
reference number, postal code and company name under "keep"; made from the templates below and
the hand-written documents of handwritten.json. Deterministic; run once, commit."""
import json, random, re, sys
from datetime import date, timedelta

r = random.Random(2024)
MONTHS_DE = "Januar Februar März April Mai Juni Juli August September Oktober November Dezember".split()
MONTHS_EN = "January February March April May June July August September October November December".split()


def K(kind, text):
    return f"\x01{kind}\x02{text}\x03"


def digits(n):
    return "".join(r.choice("0123456789") for _ in range(n))


def grouped(s, sizes, sep=" "):
    out, i = [], 0
    for n in sizes:
        out.append(s[i:i + n]); i += n
    return sep.join(p for p in out if p)


def iban(country=None):
    country = country or r.choice(["DE"] * 6 + ["AT", "CH", "FR", "NL", "GB", "IT", "ES", "BE", "PL"])
    form = {"DE": "18n", "AT": "16n", "CH": "17n", "FR": "23n", "NL": "4a10n", "GB": "4a14n", "IT": "1a22n",
            "ES": "20n", "BE": "12n", "PL": "24n"}[country]
    bban = ""
    for n, t in re.findall(r"(\d+)([an])", form):
        bban += "".join(r.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ" if t == "a" else "0123456789") for _ in range(int(n)))
    num = int("".join(str(int(c, 36)) for c in bban + country + "00"))
    value = f"{country}{98 - num % 97:02d}{bban}"
    return K("iban", value if r.random() < 0.25 else grouped(value, [4] * 9, r.choice([" "] * 4 + ["\u00a0"])))


def ean():
    body = r.choice(["40", "42", "50", "87"]) + digits(10)
    return body + str(-sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(body)) % 10)


def luhn_complete(prefix, length):
    body = prefix + digits(length - len(prefix) - 1)
    total = sum(d if i % 2 else (2 * d - 9 if 2 * d > 9 else 2 * d) for i, d in enumerate(map(int, reversed(body))))
    return body + str(-total % 10)


def card():
    prefix, length = r.choice([("4", 16), ("4", 16), ("5" + r.choice("12345"), 16), ("3" + r.choice("47"), 15),
                               ("6011", 16), (str(r.randint(3528, 3589)), 16), ("2221", 16)])
    n = luhn_complete(prefix + digits(0), length)
    if length == 15:
        return K("card", grouped(n, [4, 6, 5], r.choice([" ", "-"])))
    return K("card", r.choice([n, grouped(n, [4] * 4), grouped(n, [4] * 4, "-")]))


def tax_id():
    while True:
        first = [r.randint(1, 9)] + [r.randint(0, 9) for _ in range(9)]
        counts = sorted((first.count(d) for d in set(first)), reverse=True)
        if counts[0] in (2, 3) and counts[1] == 1 and not any(first[i] == first[i + 1] == first[i + 2] for i in range(8)):
            break
    product = 10
    for d in first:
        s = (d + product) % 10 or 10
        product = s * 2 % 11
    value = "".join(map(str, first)) + str((11 - product) % 10)
    return K("taxId", r.choice([value, grouped(value, [2, 3, 3, 3])]))


def sv_number(born, surname):
    area, serial = f"{r.choice([12, 13, 15, 23, 24, 38, 39, 42, 53, 65, 66]):02d}", digits(2)
    letter = surname[0].upper().translate(str.maketrans("ÄÖÜ", "AOU"))
    base = f"{area}{born:%d%m%y}{ord(letter) - 64:02d}{serial}"
    check = sum(sum(divmod(int(d) * w, 10)) for d, w in zip(base, [2, 1, 2, 5, 7, 1, 2, 1, 2, 1, 2, 1])) % 10
    compact = f"{area}{born:%d%m%y}{letter}{serial}{check}"
    return K("socialInsurance", r.choice([compact, f"{area} {born:%d%m%y} {letter} {serial}{check}"]))


def phone(lang="de"):
    area, sub = r.choice(["30", "40", "89", "221", "69", "711", "351", "341", "511", "911"]), digits(r.randint(6, 8))
    mobile = r.choice(["151", "160", "170", "171", "176", "1520"])
    de = [f"+49 {area} {sub}", f"0{area} {sub}", f"0{area}/{sub}", f"(0{area}) {grouped(sub, [3, 2, 2, 2])}",
          f"0{area}-{sub}", f"+49 (0){area} {sub}", f"0049 {area} {sub}", f"0{mobile} {digits(7)}",
          f"+49 {mobile} {digits(7)}", f"0{area} / {grouped(sub, [2, 2, 2])}-0", f"+49-{mobile}-{digits(7)}",
          f"+43 1 {digits(7)}", f"+41 44 {grouped(digits(7), [3, 2, 2])}", f"+33 1 {grouped(digits(8), [2] * 4)}",
          f"0800 {digits(7)}", f"+49 {area} {sub[:-2]}-{sub[-2:]}"]
    en = [f"+1 ({r.randint(201, 989)}) {r.randint(200, 999)}-{digits(4)}", f"({r.randint(201, 989)}) 555-{digits(4)}",
          f"+44 20 {digits(4)} {digits(4)}", f"020 {digits(4)} {digits(4)}", f"+1 {r.randint(201, 989)}-555-{digits(4)}",
          f"+44 (0)20 {digits(4)} {digits(4)}", f"07700 {digits(6)}", f"{r.randint(201, 989)}.555.{digits(4)}",
          f"+1-{r.randint(201, 989)}-555-{digits(4)}"]
    return K("phone", r.choice(de if lang == "de" else en))


def when(lang, d=None):
    d = d or date(2019, 1, 1) + timedelta(days=r.randint(0, 2200))
    forms = ([f"{d:%d.%m.%Y}", f"{d.day}. {MONTHS_DE[d.month - 1]} {d.year}", f"{d:%Y-%m-%d}", f"{d:%d.%m.%y}"]
             if lang == "de" else [f"{MONTHS_EN[d.month - 1]} {d.day}, {d.year}", f"{d:%m/%d/%Y}",
                                   f"{d.day} {MONTHS_EN[d.month - 1]} {d.year}", f"{d:%Y-%m-%d}",
                                   f"{MONTHS_EN[d.month - 1][:3]} {d.day}, {d.year}"])
    return K("date", r.choice(forms))


def money(lang, low=5, high=2500):
    v = r.randint(low * 100, high * 100) / 100
    de = f"{v:,.2f}".replace(",", "_").replace(".", ",").replace("_", ".")
    en = f"{v:,.2f}"
    forms = ([f"{de} €", f"{de} EUR", f"EUR {de}", f"€ {de}"] if lang == "de" else
             [f"${en}", f"£{en}", f"USD {en}", f"{en} GBP", f"$ {en}"])
    return K("amount", r.choice(forms))


def ref(text):
    return K("reference", text)


PEOPLE_DE = [("Anna", "Schneider"), ("Jürgen", "Müller"), ("Max", "Mustermann"), ("Petra", "Weißgerber"),
             ("Lukas", "Özdemir"), ("Sabine", "Krüger"), ("Thomas", "Hoffmann"), ("Claudia", "Becker-Lang")]
PEOPLE_EN = [("Emily", "Carter"), ("James", "O'Neill"), ("Sarah", "Thompson"), ("Daniel", "Rivera"),
             ("Olivia", "Bennett"), ("Michael", "Lee")]
STREETS_DE = ["Lindenstraße", "Hauptstraße", "Goethestraße", "Birkenweg", "Kastanienallee", "Am Marktplatz"]
CITIES_DE = [("10115", "Berlin"), ("80331", "München"), ("50667", "Köln"), ("01067", "Dresden"),
             ("04109", "Leipzig"), ("60311", "Frankfurt am Main"), ("70173", "Stuttgart"), ("20095", "Hamburg")]
COMPANIES_DE = [("Stadtwerke München GmbH", "stadtwerke-muenchen.de", "Emmy-Noether-Straße 2", "80992", "München"),
                ("Telekom Deutschland GmbH", "telekom.de", "Landgrabenweg 151", "53227", "Bonn"),
                ("Vattenfall Europe Sales GmbH", "vattenfall.de", "Überseering 12", "22297", "Hamburg"),
                ("Allianz Versicherungs-AG", "allianz.de", "Königinstraße 28", "80802", "München"),
                ("Malerbetrieb Kühn & Söhne", "maler-kuehn.de", "Gewerbering 7", "04129", "Leipzig")]
COMPANIES_EN = [("Acme Software Ltd", "acme-software.co.uk", "1 Canada Square", "London", "E14 5AB"),
                ("Northwind Traders Inc.", "northwind.com", "500 Market Street", "San Francisco, CA", "94105"),
                ("Blue Harbor Hotels", "blueharbor.com", "88 Ocean Drive", "Miami Beach, FL", "33139")]


def persona(lang):
    if lang == "de":
        first, last = r.choice(PEOPLE_DE)
        street = f"{r.choice(STREETS_DE)} {r.randint(1, 120)}{r.choice(['', '', 'a'])}"
        plz, city = r.choice(CITIES_DE)
        line2 = f"{plz} {city}"
    else:
        first, last = r.choice(PEOPLE_EN)
        street = f"{r.randint(2, 990)} {r.choice(['Baker Street', 'Elm Road', 'Maple Avenue', 'Church Lane'])}"
        line2 = r.choice(["London NW1 6XE", "Manchester M1 2AB", "Portland, OR 97205", "Austin, TX 78701"])
    born = date(1950, 1, 1) + timedelta(days=r.randint(0, 18000))
    mail = f"{first}.{last}".lower().translate(str.maketrans({"ü": "ue", "ö": "oe", "ä": "ae", "ß": "ss", "'": ""}))
    return dict(first=first, last=last, name=f"{first} {last}", street=street, line2=line2, born=born,
                mail=mail + "@" + r.choice(["web.de", "gmx.de", "posteo.de", "gmail.com", "outlook.com"]),
                own=[f"{first} {last}", street, line2])


def address_block(p, upper=False):
    name, street, line2 = (s.upper() if upper else s for s in (p["name"], p["street"], p["line2"]))
    if upper and "STRASSE" in street.upper():
        street = street.upper().replace("STRASSE", "STR.").replace("STRAßE", "STR.")
    return f"{K('name', name)}\n{K('address', street)}\n{K('address', line2)}"


def company_de():
    name, domain, street, plz, city = r.choice(COMPANIES_DE)
    return name, domain, f"{K('company', name)} · {street} · {K('postcode', plz)} {city}"


def doc_invoice_de(p):
    name, domain, head = company_de()
    return f"""{head}
{address_block(p, r.random() < 0.3)}

Rechnung Nr. {ref(f"RE-{r.randint(2019, 2025)}-{digits(5)}")}
Kundennummer: {ref(digits(9))}   Datum: {when('de')}
Leistungszeitraum {when('de')} bis {when('de')}
Zählpunkt {ref("DE" + digits(11) + "0000000000" + digits(10))}   Vertragskonto {ref(f"0{digits(3)} {digits(4)} {digits(2)}")}

Sehr geehrte(r) {K('name', p['name'])},
für Ihre Leistungen berechnen wir netto {money('de')} zuzüglich Umsatzsteuer {money('de', 1, 300)}.
Gesamtbetrag: {money('de')}. Der Betrag wird am {when('de')} von Ihrem Konto {iban('DE')} abgebucht
(Mandatsreferenz {ref(f"M-{digits(4)}-{digits(5)}")}, Gläubiger-ID {ref(f"DE{digits(2)}ZZZ0{digits(10)}")}).
Fragen? Telefon {phone()} oder E-Mail {K('email', 'service@' + domain)}.
Unsere Bankverbindung: {iban()}
Mit freundlichen Grüßen
{name}"""


def doc_statement_de(p):
    rows = "\n".join(f"{when('de')}  {r.choice(['Lastschrift', 'Überweisung', 'Gutschrift', 'Kartenzahlung'])} "
                     f"{r.choice(['REWE Markt', 'Miete', 'Stadtwerke', 'Gehalt', 'Amazon EU'])}  {money('de')}"
                     + (f"  {iban()}" if r.random() < 0.4 else "") for _ in range(r.randint(3, 6)))
    return f"""{K('company', 'Sparkasse Leipzig')} · Kontoauszug Nr. {r.randint(1, 12)}
Kontoinhaber: {K('name', p['name'])}, {K('address', p['street'])}, {K('address', p['line2'])}
IBAN {iban('DE')}   Auszugsdatum {when('de')}
Alter Kontostand: {money('de')}
{rows}
Neuer Kontostand: {money('de')}
Ihre Kreditkarte {card()} wird am {when('de')} mit {money('de')} belastet.
Fragen zum Auszug: {phone()}"""


def doc_tax_de(p):
    return f"""{K('company', 'Finanzamt Dresden-Nord')}, Rabenerstraße 1, {K('postcode', '01069')} Dresden
{address_block(p)}
Steuernummer {ref(f"{r.randint(200, 230)}/{digits(3)}/{digits(5)}")}   Identifikationsnummer {tax_id()}
Aktenzeichen {ref(f"0{digits(3)}/{digits(2)}")}, Sprechzeiten Mo–Fr 8:00–15:30 Uhr
Bescheid für {K('date', r.randint(2019, 2024))} über Einkommensteuer vom {when('de')}
Festgesetzt werden {money('de', 100, 9000)}; bereits gezahlt {money('de', 100, 9000)}.
Erstattung: {money('de')}. Die Erstattung überweisen wir auf {iban('DE')}.
Dieser Bescheid gilt am {when('de')} als bekanntgegeben. Einspruch bis {when('de')}.
Rückfragen: Tel. {phone()}, Fax {phone()}, {K('email', 'poststelle@fa-dresden-nord.smf.sachsen.de')}"""


def doc_medical_de(p):
    doctor = r.choice(["Dr. med. Klaus Weber", "Dr. Ingrid Lorenz", "Praxis Dr. Aydin"])
    return f"""Von: {doctor} <{K('email', 'praxis@' + r.choice(['hausarzt-weber.de', 'praxis-lorenz.de']))}>
An: {K('email', p['mail'])}
Betreff: Befund vom {when('de')}

Guten Tag {K('name', p['name'])},
anbei Ihr Laborbefund. Geburtsdatum laut Karte: {when('de', p['born'])}. Versichertennummer
{ref(r.choice('ABCDEFGH') + digits(9))}, Rentenversicherungsnummer {sv_number(p['born'], p['last'])}.
Ihr nächster Termin ist am {when('de')} um 10:30 Uhr. Die Zuzahlung von {money('de', 5, 10)} zahlen Sie bitte
bis {when('de')} auf {iban()}. Bei Verhinderung rufen Sie bitte unter {phone()} an.
Ihre Handynummer {K('phone', f"01{r.choice(['51', '60', '76'])}{digits(8)}")} haben wir für Erinnerungen gespeichert.
Mit freundlichen Grüßen, {doctor}"""


def doc_payslip_de(p):
    name, _, head = company_de()
    return f"""{head}
Entgeltabrechnung {K('date', f"{r.choice(MONTHS_DE)} {r.randint(2020, 2025)}")} für {K('name', p['name'])}
{K('address', p['street'])}, {K('address', p['line2'])}
Personalnummer {ref(digits(6))}   Steuer-ID {tax_id()}   SV-Nummer {sv_number(p['born'], p['last'])}
Eintritt {when('de')}   Geburtsdatum {when('de', p['born'])}
Bruttoentgelt {money('de', 1800, 6000)}   Lohnsteuer {money('de', 100, 900)}
Solidaritätszuschlag {money('de', 0, 40)}   Krankenversicherung {money('de', 100, 400)}
Auszahlungsbetrag {money('de', 1200, 4000)} am {when('de')} auf {iban('DE')}
Personalabteilung: {phone()}, {K('email', 'personal@' + name.split()[0].lower() + '.de')}"""


def doc_order_de(p):
    shop = r.choice(["Bücherkiste Online", "Elektro Blitz", "Gartenwelt24"])
    return f"""{K('company', shop)} – Bestellbestätigung
Hallo {K('name', p['name'])}, danke für Ihre Bestellung {ref(f"{digits(3)}-{digits(7)}-{digits(7)}")} vom {when('de')}.
Lieferadresse: {K('address', p['street'])}, {K('address', p['line2'])}
Artikel: {r.choice(['Wasserkocher', 'Roman', 'Gartenschlauch'])} {money('de')}, Versand {money('de', 3, 6)}
Artikelnummer {ref(ean())}, Sendungsnummer {ref("00" + digits(18))}
Summe {money('de')} – bezahlt mit Kreditkarte {card()}.
Voraussichtliche Lieferung: {when('de')}. Rückfragen an {K('email', p['mail'])} oder {phone()}.
Kundenkonto {ref(digits(8))}"""


def doc_invoice_en(p):
    name, domain, street, city, zipc = r.choice(COMPANIES_EN)
    return f"""{K('company', name)}, {street}, {city} {K('postcode', zipc)}
Bill to: {K('name', p['name'])}, {K('address', p['street'])}, {K('address', p['line2'])}
Invoice No. {ref(f"INV-{r.randint(2019, 2025)}-{digits(4)}")}   Date: {when('en')}   Due: {when('en')}
Customer ID {ref(digits(7))}
Consulting services, {when('en')} to {when('en')}: {money('en')}
Subtotal {money('en')}  Tax {money('en', 1, 200)}  Total {money('en')}
Paid by card {card()} on {when('en')}.
Wire transfers: {iban('GB')}
Questions: {K('email', 'billing@' + domain)} or {phone('en')}. Your contact number on file: {phone('en')}."""


def doc_booking_en(p):
    return f"""Booking confirmation {ref(f"BH{digits(6)}")} - {K('company', 'Blue Harbor Hotels')}
Dear {K('name', p['name'])},
thank you for booking with us. Check-in {when('en')}, check-out {when('en')}.
Room rate {money('en')} per night, total {money('en')}, guaranteed with card {card()}.
Billing address: {K('address', p['street'])}, {K('address', p['line2'])}
We will send updates to {K('email', p['mail'])} and text {phone('en')}.
Front desk: {phone('en')}. Cancellation free until {when('en')}."""


def doc_medical_en(p):
    return f"""From: Riverside Family Clinic <{K('email', 'appointments@riverside-clinic.org')}>
To: {K('email', p['mail'])}
Subject: Appointment reminder

Hello {K('name', p['name'])},
this is a reminder of your appointment on {when('en')} at 9:15 am with Dr. Patel.
Date of birth on file: {when('en', p['born'])}. Outstanding balance: {money('en', 10, 300)}, due {when('en')}.
Pay online or call our billing line at {phone('en')}. To reschedule, call {phone('en')}.
Patient ID {ref(digits(8))}"""


def doc_pension_de(p):
    return f"""{K('company', 'Deutsche Rentenversicherung Bund')} · {K('postcode', '10704')} Berlin
{address_block(p, r.random() < 0.3)}
Ihre Versicherungsnummer: {sv_number(p['born'], p['last'])}
Renteninformation vom {when('de')}

Sehr geehrte(r) {K('name', p['name'])},
nach Ihren bisher gespeicherten Daten beträgt Ihre Regelaltersrente monatlich {money('de', 300, 2500)}.
Beiträge bis {when('de')}: {money('de', 10000, 90000)}. Geburtsdatum: {when('de', p['born'])}.
Ihre Steuer-Identifikationsnummer {tax_id()} haben wir gespeichert.
Bitte geben Sie bei Rückfragen stets die Versicherungsnummer {sv_number(p['born'], p['last'])} an.
Servicetelefon {phone()} (kostenfrei), Fax {phone()}, {K('email', 'drv@drv-bund.de')}"""


def doc_childbenefit_de(p):
    child_born = date(2008, 1, 1) + timedelta(days=r.randint(0, 5000))
    return f"""{K('company', 'Familienkasse Sachsen')}, {K('postcode', '09111')} Chemnitz
{address_block(p)}
Kindergeldnummer {ref(f"{digits(3)}FK{digits(6)}")}   Datum {when('de')}

Bescheid über Kindergeld
Sehr geehrte(r) {K('name', p['name'])},
für Ihr Kind, geboren am {when('de', child_born)}, Identifikationsnummer {tax_id()}, erhalten Sie ab
{when('de')} monatlich {money('de', 200, 260)}. Ihre eigene Identifikationsnummer: {tax_id()}.
Die Zahlung erfolgt auf das Konto {iban('DE')}; Nachzahlung für {when('de')} bis {when('de')}: {money('de')}.
Erreichbarkeit: {phone()} oder {K('email', 'familienkasse-sachsen@arbeitsagentur.de')}."""


TEMPLATES = [("de", doc_invoice_de, 6), ("de", doc_statement_de, 6), ("de", doc_tax_de, 6), ("de", doc_medical_de, 6),
             ("de", doc_payslip_de, 6), ("de", doc_order_de, 6), ("de", doc_pension_de, 6),
             ("de", doc_childbenefit_de, 6), ("en", doc_invoice_en, 8), ("en", doc_booking_en, 8),
             ("en", doc_medical_en, 8)]

def expand(text):
    """A hand-written document's "[[kind:text]]" marks; [[iban:GB]], [[card]], [[taxId]] and
    [[socialInsurance:born:surname]] get fresh valid numbers."""
    def one(m):
        kind, arg = m.group(1), m.group(2)
        made = {"iban": lambda: iban(arg), "card": card, "taxId": tax_id,
                "socialInsurance": lambda: sv_number(date.fromisoformat(arg.split(":")[0]), arg.split(":")[1])}
        return made[kind]() if kind in made else K(kind, arg)
    return re.sub(r"\[\[(\w+)(?::(.*?))?\]\]", one, text)


docs = []


def add(id, lang, own, raw):
    text, marks, keep = "", [], []
    for plain, kind, value in re.findall(r"([^\x01]*)(?:\x01(\w+)\x02([^\x03]*)\x03)?", raw):
        text += plain
        if kind:
            target = keep if kind in ("date", "amount", "reference", "postcode", "company") else marks
            target.append({"kind": kind, "at": len(text), "text": value})
            text += value
    assert 300 <= len(text) <= 2000, (id, len(text))
    assert not any(ord(c) > 0xFFFF for c in text)
    docs.append({"id": id, "lang": lang, "ownDetails": own, "text": text, "marks": marks, "keep": keep})


for lang, template, count in TEMPLATES:
    for i in range(count):
        p = persona(lang)
        add(f"{template.__name__[4:]}-{i + 1}", lang, p["own"], template(p))
for d in json.load(open(__file__.rsplit("/", 1)[0] + "/handwritten.json" if "/" in __file__ else "handwritten.json")):
    add(d["id"], d["lang"], d["ownDetails"], expand(d["text"]))

try:  # independent check digits, where Debian's python3-stdnum is installed
    from stdnum import iban as std_iban, luhn
    from stdnum.de import idnr
    check = {"iban": lambda n: std_iban.validate(n, check_country=False), "card": luhn.validate, "taxId": idnr.validate}
    for d in docs:
        for m in d["marks"]:
            check.get(m["kind"], str)(re.sub(r"[\s-]", "", m["text"]))
except ImportError:
    print("python3-stdnum missing: check digits not cross-checked", file=sys.stderr)

json.dump(docs, open(sys.argv[1] if len(sys.argv) > 1 else "corpus.json", "w"), ensure_ascii=False, indent=1)
kinds = {}
for d in docs:
    for m in d["marks"] + d["keep"]:
        kinds[m["kind"]] = kinds.get(m["kind"], 0) + 1
print(len(docs), "documents", kinds)
