"""The first start over AT-SPI: a fresh profile opens on the legal screen, accepting shows the
onboarding, which offers naming on the device first and chosen; both are stored. An invoice PDF handed over then is named on the device
with its date, sender and total, with no request to any model, and "Umbenennen" renames it (the
message's "Rückgängig": tst_filessection). Screenshots of each screen, the settings window's tabs too.
    run-gui-test.sh gui_firststart.py NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
"""
import os
import subprocess
import sys
import time

from harness import App, Failure, Profile, accessibility, run_main, wait_for

NAMORIX, STUB, SHOTS = sys.argv[1:4]
# Which date, sender and total the namer picks among others on an invoice: tst_localnamer, tst_ondevice.
INVOICE_LINES = [
    "Elektro Blitz GmbH - Hauptstrasse 1 - 12345 Musterstadt",
    "Herrn Max Mustermann, Beispielweg 5, 54321 Beispielstadt",
    "Rechnung Nr. 2024-117",
    "Rechnungsdatum: 12.04.2024",
    "Gesamtbetrag: 297,50 EUR",
]


def text_pdf(path, lines):
    """A one-page PDF whose text layer holds `lines` (Helvetica, Latin-1)."""
    content = "BT /F1 11 Tf 50 780 Td 14 TL " + " ".join(
        "(%s) '" % l.replace("\\", "\\\\").replace("(", "\\(").replace(")", "\\)") for l in lines) + " ET"
    objects = ["<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
               "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] /Resources << /Font << /F1 4 0 R >> >> "
               "/Contents 5 0 R >>",
               "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
               "<< /Length %d >>\nstream\n%s\nendstream" % (len(content.encode("latin-1")), content)]
    out = b"%PDF-1.4\n"
    offsets = []
    for number, body in enumerate(objects, 1):
        offsets.append(len(out))
        out += ("%d 0 obj\n%s\nendobj\n" % (number, body)).encode("latin-1")
    xref = len(out)
    out += ("xref\n0 %d\n0000000000 65535 f \n" % (len(objects) + 1)).encode()
    out += b"".join(b"%010d 00000 n \n" % o for o in offsets)
    out += ("trailer\n<< /Size %d /Root 1 0 R >>\nstartxref\n%d\n%%%%EOF\n" % (len(objects) + 1, xref)).encode()
    with open(path, "wb") as f:
        f.write(out)


def run(home):
    profile = Profile(home, STUB)
    # A fresh profile: no provider chosen, names with sender and total.
    profile.write_settings({"kvx.enabled": False,
                            "rules.format": "{datum}{sep}{absender}{sep}{betrag}"})
    at = accessibility()
    app = App(NAMORIX, profile, SHOTS, at)

    # The legal screen (which boxes enable accept: tst_firststart).
    wait_for("the legal screen", lambda: app.find(app.named("Nutzungsbedingungen", at.ROLE_CHECK_BOX)))
    app.screenshot("firststart-legal", "Willkommen bei Namorix")
    app.activate("Nutzungsbedingungen", at.ROLE_CHECK_BOX)
    app.activate("Datenschutzhinweise", at.ROLE_CHECK_BOX)
    app.activate("Zustimmen", at.ROLE_PUSH_BUTTON, at.STATE_ENABLED)

    # The onboarding, left as it opens: on the device (a fresh profile's choice: tst_aisettings; which
    # provider shows a key field: tst_firststart).
    wait_for("the onboarding's first choice", lambda: app.find(app.named("Auf diesem Gerät", at.ROLE_RADIO_BUTTON)))
    app.screenshot("firststart-onboarding", "Wie soll Namorix Dateien benennen?")
    done = app.activate("Fertig", at.ROLE_PUSH_BUTTON)
    wait_for("the onboarding closed", lambda: not app.showing(done), 5)
    wait_for("acceptance and onboarding stored", lambda: all(
        k in profile.stored() for k in ("hasAcceptedLegal", "legalAcceptanceDate", "onboardingDone")), 5)
    if profile.stored().get("ai.provider") != "Lokal":
        raise Failure("the onboarding's provider was not stored: %r" % profile.stored().get("ai.provider"))
    # That a restart shows neither: tst_firststart, and every other GUI script starts with these flags.

    # An invoice handed over is named on the device: its date, sender and total, nothing asked.
    docs = os.path.join(home, "Dokumente")
    os.makedirs(docs)
    scan = os.path.join(docs, "scan_0001.pdf")
    text_pdf(scan, INVOICE_LINES)
    subprocess.run([NAMORIX, scan], env=profile.env, timeout=20, check=True)
    expected = "2024-04-12_elektro_blitz_297.50.pdf"
    row = wait_for("the row suggesting " + expected, lambda: app.find(lambda a: expected in a.name), 60)
    app.screenshot("firststart-ondevice")
    if row.description:
        raise Failure("the on-device fields are flagged: %r" % row.description)
    app.activate("Umbenennen", at.ROLE_PUSH_BUTTON)
    wait_for("the invoice renamed on disk", lambda: os.path.exists(os.path.join(docs, expected))
             and not os.path.exists(scan))

    # The settings window and its tabs (the rules' preview: tst_settingswindow).
    app.activate("Einstellungen…", at.ROLE_MENU_ITEM)
    wait_for("the settings window", lambda: app.find(app.named("KI-Anbieter", at.ROLE_PAGE_TAB)))
    wait_for("the Korvex status", lambda: app.find(app.named("Korvex nicht verfügbar")))
    app.screenshot("settings-general", "Einstellungen")
    for tab, shot in (("KI-Anbieter", "settings-ai"), ("REST-API", "settings-api"), ("Regeln", "settings-rules")):
        app.activate(tab, at.ROLE_PAGE_TAB)
        time.sleep(0.5)
        app.screenshot(shot, "Einstellungen")

    # An information window of the Hilfe menu (the about window: gui_endtoend).
    app.activate("Datenschutz", at.ROLE_MENU_ITEM)
    wait_for("the privacy window", lambda: app.find(app.named("Schließen", at.ROLE_PUSH_BUTTON)))
    app.screenshot("legal-privacy", "Datenschutz")
    app.quit()
    print("gui first start: ok; screenshots in", SHOTS)


if __name__ == "__main__":
    run_main(run)
