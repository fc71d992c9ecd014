#!/usr/bin/env python3
"""Fails on German text in a string literal of src/ outside the string table.

Every word a user reads comes from translations/namorix_de.ts by its id (qtTrId, StringTable::text);
log lines are English. A literal counts as German when it holds ä, ö, ü or ß, or one of the common
German words below as a word of its own. Comments are not looked at. What must stay German in the
code (word lists and patterns for reading German documents, the prompt the model is given, sample
data) is listed in ALLOWED, each entry with its reason.

Usage: scripts/check-german.py [ROOT]   (the repository root; default: this script's parent folder)
"""

import pathlib
import re
import sys

# Words that give German away and are no English word or identifier a literal would hold;
# case matters ("Datum" is German, the reply key "datum" is not).
GERMAN_WORDS = """
    nicht wurde wurden konnte konnten können kein keine keinen keiner ist sind und oder der die das
    dem des mit für bei zu zum zur von vom ein eine einen einer noch schon nach aus auf werden wird
    Datei Dateien Ordner Fehler bitte Bitte Ungültig Ungültige Ungültiger Ungültiges fehlgeschlagen
    fehlt Anfrage Vorlage Vorlagen Regel Regeln Verlauf Einstellungen Neue Neuer Neues Kategorie
    Datum Betrag Absender Hinzufügen Abbrechen Speichern Löschen Schließen Öffnen Umbenennen
    Anzeigen erlaubt gefunden gespeichert gelesen geschrieben verfügbar unbekannt Unbekannt Keine
    Kein abgebrochen erwartet
""".split()
GERMAN = re.compile(r"[äöüÄÖÜß]|(?<![\w-])(?:" + "|".join(map(re.escape, GERMAN_WORDS)) + r")(?![\w-])")

# (path pattern, literal pattern or None for every literal of the file, reason)
ALLOWED = [
    (r"src/ai/local/.*", None,
     "the on-device namer's word lists and patterns: German documents are read with German words"),
    (r"src/privacy/privacyfilter\.cpp", None, "patterns for German street names and umlaut spellings in documents"),
    (r"src/grounding/groundingcheck\.cpp", r"^haftungsbeschränkt$", "a legal form in the list of legal forms"),
    (r"src/extraction/metadatamap\.cpp", None, "words that mark metadata as empty or as a tool's note, in German too"),
    (r"src/extraction/documents/mailreader\.cpp", None,
     "the headers German mail programs write above a quote or a forwarded message"),
    (r"src/extraction/documents/einvoicereader\.cpp", None,
     "an e-invoice's summary is document text the namer reads like the rest of the file, in German"),
    (r"src/ai/promptcontract\.cpp", r"Du bist ein Dateiumbenennungs-Assistent|Regeln:",
     "the prompt the model is given, word for word (providers were tuned against these words)"),
    (r"src/extraction/(genericprocessor|filedescription)\.cpp", r"^(Ordner|Reguläre Datei)$",
     "the file's type as the metadata line gives it to the model, inside the German prompt"),
    (r"src/naming/namingtemplates\.cpp", r"^Strom März$", "a value of the template example's sample file"),
    (r"src/naming/renamerules\.h", r"^(Kein Datum|Wie von KI)$",
     "raw values of the settings file and the REST API (the window shows its own labels)"),
    (r"src/ui/history/historyexport\.cpp", r"^Original;Neu;Datum;Provider;Rückgängig\\n$",
     "the CSV export's header is part of its file format"),
]

LITERAL_PREFIX = re.compile(r'(?:u8|u|U|L)?R"([^()\\\s]{0,16})\(')
INCLUDE = re.compile(r"#\s*include\b")


def literals(text):
    """(line, contents) of every string literal outside comments and #include lines."""
    i, n, line = 0, len(text), 1
    while i < n:
        c = text[i]
        if c == "\n":
            line += 1
            i += 1
        elif text.startswith("//", i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            line += text.count("\n", i, end)
            i = end
        elif INCLUDE.match(text, i):
            end = text.find("\n", i)
            i = n if end < 0 else end
        elif (raw := LITERAL_PREFIX.match(text, i)) and (i == 0 or not (text[i - 1].isalnum() or text[i - 1] == "_")):
            close = ")" + raw.group(1) + '"'
            start = raw.end()
            end = text.find(close, start)
            end = n if end < 0 else end
            yield line, text[start:end]
            line += text.count("\n", i, end)
            i = end + len(close)
        elif c == "'":
            # A digit separator (1'000) opens no character literal.
            if i > 0 and text[i - 1].isalnum() and text[i - 1] not in "uUL8":
                i += 1
                continue
            j = i + 1
            while j < n and text[j] not in "'\n":
                j += 2 if text[j] == "\\" else 1
            i = j + 1
        elif c == '"':
            j = i + 1
            while j < n and text[j] not in '"\n':
                j += 2 if text[j] == "\\" else 1
            yield line, text[i + 1:j]
            i = j + 1
        else:
            i += 1


def allowed(path, literal):
    return any(re.fullmatch(where, path) and (what is None or re.search(what, literal)) for where, what, _ in ALLOWED)


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    found = []
    for file in sorted((root / "src").rglob("*")):
        if file.suffix not in (".cpp", ".h") or not file.is_file():
            continue
        path = file.relative_to(root).as_posix()
        for line, literal in literals(file.read_text(encoding="utf-8", errors="replace")):
            if GERMAN.search(literal) and not allowed(path, literal):
                found.append(f"{path}:{line}: \"{literal[:100]}\"")
    if found:
        print("check-german: German text outside the string table (translations/namorix_de.ts); "
              "give it an id there, or make a log line English:", file=sys.stderr)
        print("\n".join("  " + entry for entry in found), file=sys.stderr)
        return 1
    print("check-german: no German literal outside the string table")
    return 0


if __name__ == "__main__":
    sys.exit(main())
