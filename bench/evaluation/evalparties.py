"""Issuers and recipients of the evaluation documents, with identifiers derived from their
names (stable whatever order documents are made in): VAT id, IBAN, tax number, mail domain.

`short` lists the short names a person would accept as the sender, the first the most usual;
the full name carries the legal form that the short name leaves out.
"""

import hashlib
import random
from dataclasses import dataclass, field


def _rng(name):
    return random.Random(int(hashlib.sha256(name.encode("utf-8")).hexdigest()[:12], 16))


def _iban_check(country, bban):
    digits = "".join(str(int(c, 36)) for c in bban + country) + "00"
    return "%02d" % (98 - int(digits) % 97)


def make_iban(country, bban):
    return country + _iban_check(country, bban) + bban


def group4(text):
    return " ".join(text[i:i + 4] for i in range(0, len(text), 4))


@dataclass
class Party:
    full: str
    short: list
    street: str
    city: str  # "04109 Leipzig"
    lang: str = "de"
    domain: str = ""
    bank: str = ""
    kind: str = ""
    person: str = ""  # who signs
    vat: str = ""
    iban: str = ""
    bic: str = ""
    tax_no: str = ""
    phone: str = ""
    register: str = ""
    extra: dict = field(default_factory=dict)

    def finish(self):
        r = _rng(self.full)
        country = "GB" if self.lang == "en" and "GmbH" not in self.full and "S.à" not in self.full else "DE"
        if not self.vat:
            self.vat = country + "".join(str(r.randrange(10)) for _ in range(9))
        if not self.iban:
            if country == "DE":
                bban = "".join(str(r.randrange(10)) for _ in range(18))
            else:
                bban = "".join(r.choice("ABCDEFGHJKLMNPRSTUVWXYZ") for _ in range(4)) + "".join(
                    str(r.randrange(10)) for _ in range(14))
            self.iban = make_iban(country, bban)
        if not self.bic:
            self.bic = "".join(r.choice("ABCDEFGHKLMNPRSTUVWXYZ") for _ in range(6)) + "XX" + "".join(
                r.choice("ABCDEFGHKLMNPRSTUVWXYZ0123456789") for _ in range(3))
        if not self.tax_no:
            self.tax_no = "%03d/%03d/%05d" % (r.randrange(200, 240), r.randrange(1000), r.randrange(100000))
        if not self.phone:
            area = self.extra.get("area", "341")
            self.phone = ("+49 %s %d" % (area, r.randrange(1000000, 9999999)) if country == "DE"
                          else "+44 %s %d" % (self.extra.get("area", "117"), r.randrange(1000000, 9999999)))
        if not self.register and any(f in self.full for f in ("GmbH", "AG", "KG", "UG", "e.K.", "OHG", "SE")):
            self.register = "HRB %d" % r.randrange(10000, 99999)
            if "KG" in self.full or "e.K." in self.full or "OHG" in self.full:
                self.register = "HRA %d" % r.randrange(1000, 9999)
        if not self.domain:
            base = self.short[0].lower()
            for a, b in (("ä", "ae"), ("ö", "oe"), ("ü", "ue"), ("ß", "ss"), (" & ", "-"), (" ", "-"), (".", "")):
                base = base.replace(a, b)
            self.domain = base + (".de" if country == "DE" else ".co.uk")
        if not self.person:
            self.person = r.choice(["Thomas Berger", "Sandra Klein", "Markus Vogel", "Claudia Neumann", "Peter Haas",
                                    "Nicole Franke", "Stefan Lorenz", "Anja Kraus"] if self.lang == "de" else
                                   ["James Whitfield", "Laura Bennett", "Oliver Grant", "Sophie Turner"])
        return self


LEGAL_FORMS = ["GmbH & Co. KG", "UG (haftungsbeschränkt)", "Betriebsgesellschaft mbH", "Betriebs GmbH", "PartG mbB",
               "gGmbH", "GmbH", "S.à r.l.", "Ltd", "plc", "Inc.", "AG", "SE", "KG", "OHG", "GbR", "e.K.", "e.V.",
               "eG", "a.G."]


def without_legal_form(full):
    """The name as registered less its legal form: "Hausverwaltung Krüger & Partner GbR" →
    "Hausverwaltung Krüger & Partner", a spelling a person may keep as well."""
    name = full.strip()
    changed = True
    while changed:
        changed = False
        for form in LEGAL_FORMS:
            if name.endswith(" " + form):
                name = name[:-len(form) - 1].rstrip(" ,")
                changed = True
    return name


def accepted(short, full):
    names = list(short)
    stripped = without_legal_form(full)
    if stripped != full and stripped.lower() not in (n.lower() for n in names):
        names.append(stripped)
    return names


def P(full, short, street, city, lang="de", **kw):
    party = Party(full, short if isinstance(short, list) else [short], street, city, lang, **kw).finish()
    party.short = accepted(party.short, full)
    return party


# Banks that only appear in payment footers (never the issuer of those documents).
FOOTER_BANKS_DE = ["Sparkasse Leipzig", "Commerzbank AG", "Deutsche Bank AG", "Volksbank Mittelhessen eG",
                   "Postbank", "HypoVereinsbank", "Stadtsparkasse München", "Berliner Volksbank eG"]
FOOTER_BANKS_EN = ["Barclays Bank UK PLC", "Lloyds Bank plc", "HSBC UK Bank plc", "NatWest"]

SENDERS = {
    "invoice-utility": [
        P("Stadtwerke Lindenau GmbH", ["Stadtwerke Lindenau"], "Am Kraftwerk 3", "04177 Leipzig"),
        P("Telekom Deutschland GmbH", ["Telekom", "Deutsche Telekom"], "Landgrabenweg 151", "53227 Bonn",
          domain="telekom.de", extra={"area": "228"}),
        P("Rheinland Energie AG", ["Rheinland Energie"], "Parkgürtel 24", "50823 Köln", extra={"area": "221"}),
        P("Wasserverband Obere Saale", ["Wasserverband Obere Saale"], "Talstraße 12", "07743 Jena"),
        P("NetCom Kabel GmbH & Co. KG", ["NetCom Kabel", "NetCom"], "Hafenstraße 40", "28217 Bremen",
          domain="netcom-kabel.de"),
        P("Erdgas Südsachsen GmbH", ["Erdgas Südsachsen"], "Industriestraße 19", "09111 Chemnitz"),
        P("Brightwater Energy Ltd", ["Brightwater Energy", "Brightwater"], "12 Riverside Way", "Bristol BS1 6UB", "en"),
        P("Fibrelink Broadband plc", ["Fibrelink Broadband", "Fibrelink"], "Unit 4, Kestrel Park", "Leeds LS12 6DF",
          "en"),
    ],
    "invoice-shop": [
        P("Buchhandlung Seitenweise e.K.", ["Buchhandlung Seitenweise", "Seitenweise"], "Grimmaische Str. 8",
          "04109 Leipzig"),
        P("TechnoMarkt Online GmbH", ["TechnoMarkt Online", "TechnoMarkt"], "Gewerbering 7", "90765 Fürth"),
        P("Gartenwelt Hoffmann GmbH & Co. KG", ["Gartenwelt Hoffmann"], "Am Gewächshaus 2", "26135 Oldenburg"),
        P("Möbelhaus Krämer OHG", ["Möbelhaus Krämer"], "Industriepark 14", "34123 Kassel"),
        P("Speiche & Kette Fahrräder UG (haftungsbeschränkt)", ["Speiche & Kette", "Speiche & Kette Fahrräder"],
          "Südstraße 88", "04275 Leipzig", domain="speiche-kette.de"),
        P("Amazon EU S.à r.l.", ["Amazon"], "38 avenue John F. Kennedy", "L-1855 Luxembourg", domain="amazon.de",
          vat="LU20260743"),
        P("Northwind Traders Inc.", ["Northwind Traders", "Northwind"], "400 Market Street", "Seattle, WA 98101", "en",
          domain="northwindtraders.com"),
        P("Paper & Quill Ltd", ["Paper & Quill"], "7 Cornmarket", "Oxford OX1 3HA", "en"),
    ],
    "invoice-craftsman": [
        P("Elektro Brandt GmbH & Co. KG", ["Elektro Brandt"], "Werkstraße 5", "04329 Leipzig"),
        P("Malermeister Jens Petersen", ["Malermeister Petersen", "Jens Petersen", "Malermeister Jens Petersen"],
          "Lindenweg 3", "24103 Kiel", person="Jens Petersen"),
        P("Sanitär Yilmaz GmbH", ["Sanitär Yilmaz"], "Kanalstraße 22", "44147 Dortmund"),
        P("Dachdeckerei Wagner & Söhne GmbH", ["Dachdeckerei Wagner", "Wagner & Söhne"], "Ziegelei 1",
          "99084 Erfurt"),
        P("Tischlerei Holzwerk Lange e.K.", ["Tischlerei Holzwerk Lange", "Holzwerk Lange", "Tischlerei Lange"],
          "Sägewerkstraße 9", "01099 Dresden"),
        P("Heizungsbau Schulte GmbH", ["Heizungsbau Schulte"], "Brunnenstraße 61", "48143 Münster"),
        P("Hartley Plumbing & Heating Ltd", ["Hartley Plumbing & Heating", "Hartley Plumbing"], "3 Mill Lane",
          "York YO1 7HB", "en"),
        P("Green Leaf Gardening Services", ["Green Leaf Gardening", "Green Leaf Gardening Services"],
          "18 Orchard Road", "Cambridge CB4 1JS", "en", person="Daniel Moss"),
    ],
    "collection": [
        P("Forderungsmanagement Nord GmbH", ["Forderungsmanagement Nord"], "Ballindamm 17", "20095 Hamburg"),
    ],
    "contract": [
        P("Hausverwaltung Krüger & Partner GbR", ["Hausverwaltung Krüger", "Krüger & Partner"],
          "Karl-Liebknecht-Str. 45", "04107 Leipzig"),
        P("FitLife Studios GmbH", ["FitLife Studios", "FitLife"], "Sportallee 4", "22335 Hamburg"),
        P("Mobilfunk Direkt GmbH", ["Mobilfunk Direkt"], "Funkturmstraße 2", "40472 Düsseldorf"),
        P("Softwarehaus Nordlicht AG", ["Softwarehaus Nordlicht", "Nordlicht"], "Speicherstadt 9", "20457 Hamburg"),
        P("Oakridge Lettings Ltd", ["Oakridge Lettings"], "55 High Street", "Reading RG1 2AX", "en"),
        P("Summit Software GmbH", ["Summit Software"], "Maximilianstraße 30", "80539 München", "en",
          extra={"area": "89"}),
    ],
    "bank-statement": [
        P("Sparkasse Leipzig", ["Sparkasse Leipzig", "Sparkasse"], "Humboldtstraße 25", "04105 Leipzig",
          domain="sparkasse-leipzig.de"),
        P("Volksbank Mittelhessen eG", ["Volksbank Mittelhessen", "Volksbank"], "Schiffenberger Weg 110",
          "35394 Gießen"),
        P("ING-DiBa AG", ["ING", "ING-DiBa"], "Theodor-Heuss-Allee 2", "60486 Frankfurt am Main", domain="ing.de"),
        P("DKB Deutsche Kreditbank AG", ["DKB", "Deutsche Kreditbank"], "Taubenstraße 7-9", "10117 Berlin",
          domain="dkb.de"),
        P("Northbridge Bank plc", ["Northbridge Bank", "Northbridge"], "1 Threadneedle Street", "London EC2R 8AH",
          "en"),
    ],
    "payslip": [
        P("Brückner Logistik GmbH", ["Brückner Logistik"], "Frachtweg 12", "04435 Schkeuditz"),
        P("Klinikum St. Georg gGmbH", ["Klinikum St. Georg"], "Delitzscher Straße 141", "04129 Leipzig"),
        P("Softwarehaus Nordlicht AG", ["Softwarehaus Nordlicht", "Nordlicht"], "Speicherstadt 9", "20457 Hamburg"),
        P("Crestline Consulting Ltd", ["Crestline Consulting", "Crestline"], "20 King Street", "Manchester M2 4LQ",
          "en"),
    ],
    "tax-assessment": [
        P("Finanzamt Leipzig II", ["Finanzamt Leipzig II", "Finanzamt Leipzig", "Finanzamt"],
          "Erich-Weinert-Straße 20", "04105 Leipzig", domain="finanzamt.sachsen.de"),
        P("Finanzamt München", ["Finanzamt München", "Finanzamt"], "Deroystraße 6", "80335 München",
          domain="finanzamt.bayern.de", extra={"area": "89"}),
        P("Finanzamt Gießen", ["Finanzamt Gießen", "Finanzamt"], "Schubertstraße 60", "35392 Gießen",
          domain="finanzamt.hessen.de"),
        P("HM Revenue & Customs", ["HM Revenue & Customs", "HMRC"], "BX9 1AS", "Newcastle upon Tyne", "en",
          domain="hmrc.gov.uk"),
    ],
    "insurance": [
        P("Nordstern Versicherung AG", ["Nordstern Versicherung", "Nordstern"], "Versicherungsplatz 1",
          "30159 Hannover"),
        P("Rhein-Main Versicherung a.G.", ["Rhein-Main Versicherung"], "Mainzer Landstraße 50",
          "60325 Frankfurt am Main", domain="rheinmain-versicherung.de"),
        P("Hanseatische Krankenkasse", ["Hanseatische Krankenkasse"], "Wandsbeker Zollstraße 86", "22041 Hamburg"),
        P("Harbour Mutual Insurance Ltd", ["Harbour Mutual Insurance", "Harbour Mutual"], "2 Quayside",
          "Newcastle NE1 3DX", "en"),
    ],
    "doctor-bill": [
        P("Dr. med. Katrin Albers", ["Dr. Katrin Albers", "Katrin Albers", "Dr. Albers", "Praxis Dr. Albers",
                                     "Dr. med. Katrin Albers"], "Gohliser Straße 7", "04155 Leipzig",
          person="Dr. med. Katrin Albers", domain="praxis-albers.de"),
        P("Zahnarztpraxis Dr. Sabine Hoffmann", ["Dr. Sabine Hoffmann", "Zahnarztpraxis Dr. Hoffmann",
                                                 "Zahnarztpraxis Dr. Sabine Hoffmann", "Dr. Hoffmann",
                                                 "Sabine Hoffmann"], "Markt 4", "06108 Halle (Saale)",
          person="Dr. Sabine Hoffmann", domain="zahnarzt-hoffmann.de"),
        P("Gemeinschaftspraxis Dr. Özdemir & Dr. Lenz", ["Gemeinschaftspraxis Dr. Özdemir & Dr. Lenz",
                                                         "Dr. Özdemir & Dr. Lenz", "Praxis Dr. Özdemir & Dr. Lenz"],
          "Bahnhofstraße 30", "35390 Gießen", person="Dr. med. Can Özdemir"),
        P("Tierarztpraxis am Stadtpark", ["Tierarztpraxis am Stadtpark"], "Parkallee 2", "04105 Leipzig",
          person="Dr. med. vet. Julia Kern"),
        P("Dr. Emily Carter", ["Dr. Emily Carter", "Emily Carter", "Dr. Carter"], "14 Harley Street",
          "London W1G 9PQ", "en", person="Dr. Emily Carter"),
        P("Riverside Dental Clinic", ["Riverside Dental Clinic", "Riverside Dental"], "9 Bridge Street",
          "Bath BA2 4AS", "en"),
    ],
    "offer": [
        P("Webagentur Pixelwerk GmbH", ["Pixelwerk", "Webagentur Pixelwerk"], "Kreativkai 3", "48155 Münster"),
        P("Umzüge Schnell & Sicher GmbH", ["Umzüge Schnell & Sicher", "Schnell & Sicher"], "Spediteurstraße 8",
          "04356 Leipzig"),
        P("Elektro Brandt GmbH & Co. KG", ["Elektro Brandt"], "Werkstraße 5", "04329 Leipzig"),
        P("Gartenbau Grünkraft GmbH", ["Gartenbau Grünkraft", "Grünkraft"], "Wiesenweg 11", "01279 Dresden"),
        P("Pixel Forge Studio Ltd", ["Pixel Forge Studio", "Pixel Forge"], "21 Canal Street", "Manchester M1 3HE",
          "en"),
    ],
    "delivery-note": [
        P("Baustoffe Meier GmbH", ["Baustoffe Meier"], "Kiesgrube 4", "04416 Markkleeberg"),
        P("Office Partner Versand GmbH", ["Office Partner", "Office Partner Versand"], "Logistikpark 1",
          "36251 Bad Hersfeld"),
        P("TechnoMarkt Online GmbH", ["TechnoMarkt Online", "TechnoMarkt"], "Gewerbering 7", "90765 Fürth"),
        P("Northwind Traders Inc.", ["Northwind Traders", "Northwind"], "400 Market Street", "Seattle, WA 98101", "en",
          domain="northwindtraders.com"),
    ],
    "receipt": [
        P("REWE Markt GmbH", ["REWE"], "Karl-Heine-Straße 22", "04229 Leipzig", domain="rewe.de"),
        P("Bäckerei Sonnenkorn", ["Bäckerei Sonnenkorn", "Sonnenkorn"], "Lindenauer Markt 5", "04177 Leipzig"),
        P("Restaurant Zur Linde", ["Restaurant Zur Linde", "Zur Linde"], "Dorfstraße 1", "04416 Markkleeberg"),
        P("Tankstelle Nordring Inh. Klaus Barth", ["Tankstelle Nordring"], "Nordring 90", "04129 Leipzig"),
        P("Drogerie Fuchs e.K.", ["Drogerie Fuchs"], "Hauptstraße 17", "35390 Gießen"),
        P("Blue Bottle Café", ["Blue Bottle Café", "Blue Bottle"], "33 Park Row", "Bristol BS1 5LJ", "en"),
        P("Kingsway Fuel Ltd", ["Kingsway Fuel"], "210 Kingsway", "Cardiff CF10 3RD", "en"),
    ],
    "letter": [
        P("Hausverwaltung Krüger & Partner GbR", ["Hausverwaltung Krüger", "Krüger & Partner"],
          "Karl-Liebknecht-Str. 45", "04107 Leipzig"),
        P("Grundschule am Rosental", ["Grundschule am Rosental"], "Rosentalgasse 2", "04105 Leipzig",
          person="Birgit Sauer, Schulleiterin"),
        P("TSV Blau-Weiß Leipzig e.V.", ["TSV Blau-Weiß Leipzig", "TSV Blau-Weiß"], "Sportplatzweg 1",
          "04179 Leipzig"),
        P("Stadt Leipzig", ["Stadt Leipzig"], "Martin-Luther-Ring 4-6", "04109 Leipzig", domain="leipzig.de"),
        P("ARD ZDF Deutschlandradio Beitragsservice", ["Beitragsservice", "ARD ZDF Deutschlandradio Beitragsservice"],
          "Freimersdorfer Weg 6", "50829 Köln", domain="rundfunkbeitrag.de"),
        P("Helga Sommer", ["Helga Sommer"], "Am Anger 9", "06618 Naumburg", person="Helga Sommer"),
        P("Maple Grove Primary School", ["Maple Grove Primary School", "Maple Grove Primary"], "Maple Grove",
          "Bath BA2 3AA", "en", person="Mrs K. Doyle, Head Teacher"),
        P("Lakeside Tennis Club", ["Lakeside Tennis Club"], "Lake Road", "Windermere LA23 2BX", "en",
          person="Richard Hale, Club Secretary"),
    ],
    "minutes": [
        P("Hausverwaltung Krüger & Partner GbR", ["Hausverwaltung Krüger", "Krüger & Partner"],
          "Karl-Liebknecht-Str. 45", "04107 Leipzig"),
        P("TSV Blau-Weiß Leipzig e.V.", ["TSV Blau-Weiß Leipzig", "TSV Blau-Weiß"], "Sportplatzweg 1",
          "04179 Leipzig"),
        P("Softwarehaus Nordlicht AG", ["Softwarehaus Nordlicht", "Nordlicht"], "Speicherstadt 9", "20457 Hamburg"),
        P("Lakeside Tennis Club", ["Lakeside Tennis Club"], "Lake Road", "Windermere LA23 2BX", "en",
          person="Richard Hale, Club Secretary"),
    ],
    "einvoice": [
        P("IT-Service Hahn GmbH", ["IT-Service Hahn"], "Rechenzentrum 2", "04103 Leipzig"),
        P("Druckerei Farbenfroh GmbH", ["Druckerei Farbenfroh"], "Papierstraße 16", "99423 Weimar"),
        P("Kanzlei Vogt Rechtsanwälte PartG mbB", ["Kanzlei Vogt", "Vogt Rechtsanwälte"], "Neumarkt 9",
          "04109 Leipzig"),
        P("Hotel Am Markt Betriebs GmbH", ["Hotel Am Markt"], "Markt 1", "06618 Naumburg"),
        P("Büromöbel Stein AG", ["Büromöbel Stein"], "Europaallee 3", "67657 Kaiserslautern"),
        P("Elektro Brandt GmbH & Co. KG", ["Elektro Brandt"], "Werkstraße 5", "04329 Leipzig"),
        P("Stadtwerke Lindenau GmbH", ["Stadtwerke Lindenau"], "Am Kraftwerk 3", "04177 Leipzig"),
        P("Cloudhaven Solutions Ltd", ["Cloudhaven Solutions", "Cloudhaven"], "88 Wood Street", "London EC2V 7RS",
          "en"),
    ],
}

RECIPIENTS_DE = [
    P("Julia Becker", ["Julia Becker"], "Lindenstraße 14", "04109 Leipzig"),
    P("Markus Schneider", ["Markus Schneider"], "Birkenweg 3a", "04229 Leipzig"),
]
RECIPIENTS_EN = [
    P("Sarah Collins", ["Sarah Collins"], "22 Baker Lane", "Bristol BS1 4DJ", "en"),
]
