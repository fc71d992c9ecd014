"""The real app on a virtual display, driven over AT-SPI by accessible names: a second start hands
two files over by a namorix://rename URL, a third start one more file, which joins the rows
already there; the rows show their suggestions (the made-up date is named in the row's
description), F2 edits a name's stem and keeps its extension, "Umbenennen" renames them on disk
and says so; in the history the apply is one group, which "Stapel rückgängig" above the list
takes back. A folder added over
REST is listed and switched inactive, a posted template is listed; the settings and about windows
open from the menu. Screenshots of every section go to SCREENSHOT_DIR. With --wayland (no
pointer, no keys) it leaves out the F2 edit and the folder's switch, takes the renames back
with the message's "Rückgängig" instead, and adds Weston's picture of the review, wayland.png.
    run-gui-test.sh [--wayland] gui_endtoend.py NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
"""
import json
import os
import subprocess
import sys
import time

from harness import PLATFORM, App, Failure, Profile, accessibility, run_main, wait_for

NAMORIX, STUB, SHOTS = sys.argv[1:4]
FILES = {  # name: (content, model reply, expected new name); the letter does not hold its date
    "scan_0815.txt": ("Stadtwerke Musterstadt, Rechnung Strom vom 15.03.2024, Betrag 84,20 EUR",
                      {"datum": "2024-03-15", "kategorie": "rechnung", "beschreibung": "Stadtwerke Strom",
                       "confidence": 0.92},
                      "2024-03-15_rechnung_stadtwerke_strom.txt"),
    "brief.txt": ("Finanzamt Musterstadt, Bescheid für 2023",
                  {"datum": "2024-02-01", "kategorie": "brief", "beschreibung": "Finanzamt Bescheid",
                   "confidence": 0.55},
                  "2024-02-01_brief_finanzamt_bescheid.txt"),
}

def run(home):
    later = {"datum": "2024-04-02", "kategorie": "brief", "beschreibung": "Notiz", "confidence": 0.8}
    profile = Profile(home, STUB, [(n, r) for n, (_, r, _) in FILES.items()] + [("notiz.txt", later)])
    docs = os.path.join(home, "Dokumente")
    os.makedirs(docs)
    for name, (content, _, _) in FILES.items():
        with open(os.path.join(docs, name), "w") as out:
            out.write(content)
    pyatspi = accessibility()
    app = App(NAMORIX, profile, SHOTS, pyatspi)
    find, named, click = app.find, app.named, app.click

    # A second start hands the two files over by URL and ends at once.
    paths = [os.path.join(docs, n) for n in FILES]
    subprocess.run([NAMORIX, "namorix://rename?paths=" + ",".join(paths)], env=profile.env, timeout=20, check=True)

    rows = {name: wait_for("a row suggesting " + new_name, lambda: find(lambda a: new_name in a.name), 60)
            for name, (_, _, new_name) in FILES.items()}
    # A further hand-over while the review is open joins it (that the rows there stay: tst_filessection).
    with open(os.path.join(docs, "notiz.txt"), "w") as out:
        out.write("Notiz vom 02.04.2024")
    subprocess.run([NAMORIX, os.path.join(docs, "notiz.txt")], env=profile.env, timeout=20, check=True)
    wait_for("a row for the later file", lambda: find(lambda a: "2024-04-02_brief_notiz.txt" in a.name), 60)
    app.screenshot("files")
    # The reason a screen reader hears is the tooltip's: only the made-up date is flagged.
    rows = {name: find(lambda a: new_name in a.name) for name, (_, _, new_name) in FILES.items()}
    reasons = {name: row.description for name, row in rows.items()}
    if reasons != {"scan_0815.txt": "", "brief.txt": "Datum nicht im Dokument gefunden"}:
        raise Failure("the rows' descriptions read %r" % reasons)

    # F2 on the later file's row edits the stem only: what is typed keeps ".txt". No client may
    # type into another on Wayland, so there the suggestion stays.
    note = find(lambda a: "2024-04-02_brief_notiz.txt" in a.name)
    click(note)
    wait_for("the row selected", lambda: note.getState().contains(pyatspi.STATE_SELECTED))
    app.screenshot("files-selected")
    # Without the differences the selected row's new name stands in a field that keeps its own
    # colours (it was white on white).
    diff = find(named("Unterschiede", pyatspi.ROLE_TOGGLE_BUTTON)) or find(named("Unterschiede"))
    diff.queryAction().doAction(0)
    app.screenshot("files-nodiff")
    diff.queryAction().doAction(0)
    note_name = "2024-04-02_brief_notiz.txt"
    if PLATFORM == "wayland":
        app.compositor_screenshot(os.path.join(SHOTS, "wayland.png"))
    else:
        app.press(0xffbf)  # F2
        wait_for("the name editor", lambda: find(lambda a: a.getRole() == pyatspi.ROLE_TEXT and a.name == "Name"))
        app.type("Notiz April")
        app.press(0xff0d)  # Return
        note_name = "Notiz April.txt"
        wait_for("the edited row", lambda: find(lambda a: note_name in a.name))

    # The letter's date is not in the letter: its row arrives unticked, in the window and over the
    # API alike, and the user ticks it (Space on the selected row; on Wayland, where no keys can be
    # sent, through the API).
    jobs = {j["original"]: j for j in json.loads(app.request("/v1/jobs"))["jobs"]}
    if jobs["brief.txt"]["approved"] or not jobs["scan_0815.txt"]["approved"]:
        raise Failure("ticks over the API: %r" % {n: j["approved"] for n, j in jobs.items()})
    if PLATFORM == "wayland":
        app.request("/v1/jobs/" + jobs["brief.txt"]["id"], {"approved": True}, "PUT")
    else:
        letter = find(lambda a: FILES["brief.txt"][2] in a.name)
        click(letter)
        wait_for("the letter's row selected", lambda: letter.getState().contains(pyatspi.STATE_SELECTED))
        app.press(0x20)  # Space
    wait_for("the letter ticked", lambda: {j["original"]: j["approved"] for j in json.loads(
        app.request("/v1/jobs"))["jobs"]}.get("brief.txt"))

    app.activate("Umbenennen", pyatspi.ROLE_PUSH_BUTTON)
    for name, (_, _, new_name) in list(FILES.items()) + [("notiz.txt", (None, None, note_name))]:
        wait_for(name + " renamed on disk", lambda: os.path.exists(os.path.join(docs, new_name))
                 and not os.path.exists(os.path.join(docs, name)))
    wait_for('the message "3 Dateien umbenannt"', lambda: find(lambda a: a.name == "3 Dateien umbenannt"
                                                                and app.showing(a)))
    app.screenshot("files-renamed")

    app.open_section("Verlauf")
    table = wait_for("the history list", lambda: find(lambda a: a.name == "Umbenennungsverlauf" and a.getRole() in (
        pyatspi.ROLE_TREE, pyatspi.ROLE_TREE_TABLE)))

    def history_rows():
        cells = table.queryTable()
        return {cells.getAccessibleAt(r, 0).name: r for r in range(cells.nRows)}

    # The apply is one group ("Heute, 14:32 — 3 Dateien"); opening it and a row's own revert: tst_historyview.
    group = wait_for("the apply's group", lambda: next((n for n in history_rows() if n.startswith("Heute, ")
                                                          and n.endswith(" — 3 Dateien")), None))
    app.screenshot("history")

    if PLATFORM != "wayland":
        # "Stapel rückgängig" above the list takes back the current row's apply.
        click(table.queryTable().getAccessibleAt(history_rows()[group], 0))
        app.activate("Stapel rückgängig", pyatspi.ROLE_PUSH_BUTTON, pyatspi.STATE_ENABLED, pyatspi.STATE_SHOWING)
        for name in ("scan_0815.txt", "notiz.txt", "brief.txt"):
            wait_for(name + " back under its old name", lambda: os.path.exists(os.path.join(docs, name)))
        wait_for('the group marked "Rückgängig gemacht"', lambda: table.queryTable().getAccessibleAt(
            history_rows()[group], 4).name == "Rückgängig gemacht")
        app.screenshot("history-batch-reverted")
    else:
        # The message in the files section still offers to take the renames back: all three go back.
        app.open_section("Dateien")
        app.activate("Rückgängig", pyatspi.ROLE_PUSH_BUTTON, pyatspi.STATE_SHOWING)
        for name in ("scan_0815.txt", "notiz.txt", "brief.txt"):
            wait_for(name + " back under its old name", lambda: os.path.exists(os.path.join(docs, name)))
        message = "3 Umbenennungen rückgängig gemacht"
        wait_for('the message "%s"' % message, lambda: find(lambda a: a.name == message and app.showing(a)))

    # A folder added through the REST API (file dialogs are not driven) shows in the watch table;
    # its "Aktiv" switch stops the watching. A posted template shows in the templates list.
    inbox = os.path.join(home, "Eingang")
    os.makedirs(inbox)

    def status_watch_items():
        """The status bar's folder item: a shown non-label named "<n> Ordner überwacht"."""
        try:
            found = pyatspi.findAllDescendants(app.root, lambda a: a is not None and a.name.endswith(
                " Ordner überwacht") and a.getRole() != pyatspi.ROLE_LABEL and app.showing(a))
        except Exception:
            return None
        return [a.name for a in found]

    app.open_section("Überwachte Ordner")
    wait_for("the empty state", lambda: find(lambda a: a.name.startswith("Noch keine Ordner überwacht") and app.showing(a)))
    app.screenshot("watch-empty")

    app.request("/v1/watch", {"path": inbox})
    table = wait_for("the watch table", lambda: find(lambda a: a.name == "Überwachte Ordner"
                                                     and a.getRole() == pyatspi.ROLE_TABLE and app.showing(a)))
    cells = table.queryTable()
    wait_for("the folder's row", lambda: cells.nRows == 1 and cells.getAccessibleAt(0, 0).name == "Eingang")
    wait_for("the status bar folder item", lambda: status_watch_items() == ["1 Ordner überwacht"])
    app.screenshot("watch")

    active = cells.getAccessibleAt(0, 2)
    if active.name != "Eingang aktiv" or not active.getState().contains(pyatspi.STATE_CHECKED):
        raise Failure("the active cell is not a checked 'Eingang aktiv': %r" % active.name)
    if PLATFORM != "wayland":  # a pointer click checks the cell; its accessible toggle only selects it
        click(active)
        wait_for("the header count 0", lambda: find(named("0 Ordner überwacht", pyatspi.ROLE_LABEL)))
        wait_for("no status bar folder item", lambda: status_watch_items() == [])
        stored = json.loads(app.request("/v1/watch"))["watched"]
        if [(f["path"], f["active"]) for f in stored] != [(inbox, False)]:
            raise Failure("the API lists %r" % stored)
        if cells.getAccessibleAt(0, 2).getState().contains(pyatspi.STATE_CHECKED):
            raise Failure("the active cell still reads checked")
        app.screenshot("watch-inactive")

    app.request("/v1/templates", {"name": "Rechnungen", "pattern": "{datum}-{vorschlag}-{betrag}"})
    app.open_section("Vorlagen")
    row = wait_for("the posted template", lambda: find(lambda a: a.name == "Rechnungen" and app.showing(a)))
    click(row)
    wait_for("its form", lambda: find(lambda a: a.name == "Muster" and app.showing(a)
                                      and "{betrag}" in a.queryText().getText(0, -1)))
    app.screenshot("templates")

    if PLATFORM == "wayland":
        # A file dialog on a compositor without a seat ended Qt 6.4's Wayland client at the first
        # cursor it painted: the dialog opens, shows its name field, and closes again.
        app.open_section("Dateien")
        app.activate("Dateien öffnen…", pyatspi.ROLE_MENU_ITEM)
        cancel = wait_for("the open dialog", lambda: find(lambda a: a.getRole() == pyatspi.ROLE_PUSH_BUTTON
                                                          and a.name == "Abbrechen" and app.showing(a)))
        wait_for("the dialog on the compositor", lambda: len(app.toplevels()) >= 2)
        time.sleep(1)  # a few cursor blinks
        cancel.queryAction().doAction(0)
        wait_for("the dialog closed", lambda: not app.showing(cancel))

    # The settings window and the about dialog open from the menu bar as windows of their own
    # (on Wayland top-levels the compositor places and lists).
    for item, title, shot in (("Einstellungen…", "Einstellungen", "dialog-settings"),
                              ("Über Namorix", "Über Namorix", "dialog-about")):
        app.activate(item, pyatspi.ROLE_MENU_ITEM)
        wait_for('the window "%s"' % title, lambda: any(w is not None and w.name == title and app.showing(w)
                                                        for w in app.root))
        if PLATFORM == "wayland":
            wait_for('"%s" on the compositor' % title, lambda: title in app.toplevels())
        app.screenshot(shot, window=title)

    app.quit()
    print("gui end-to-end: ok; screenshots in", SHOTS)


if __name__ == "__main__":
    run_main(run)
