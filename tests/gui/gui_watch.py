"""The watch and templates sections over AT-SPI: a folder added through the REST API (file dialogs
are not driven) shows in the watch table; clicking its "Aktiv" switch off stops the watching and
both folder counts drop to none. A template posted to the API appears in the templates list.
    run-gui-test.sh gui_watch.py NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
"""
import json
import os
import sys

from harness import App, Failure, Profile, accessibility, run_main, wait_for

NAMORIX, STUB, SHOTS = sys.argv[1:4]


def run(home):
    profile = Profile(home, STUB)
    inbox = os.path.join(home, "Eingang")
    os.makedirs(inbox)
    pyatspi = accessibility()
    app = App(NAMORIX, profile, SHOTS, pyatspi)
    find, named, click = app.find, app.named, app.click

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
    wait_for("the header count 1", lambda: find(named("1 Ordner überwacht", pyatspi.ROLE_LABEL)))
    wait_for("the status bar folder item", lambda: status_watch_items() == ["1 Ordner überwacht"])
    app.screenshot("watch")

    active = cells.getAccessibleAt(0, 2)
    if active.name != "Eingang aktiv" or not active.getState().contains(pyatspi.STATE_CHECKED):
        raise Failure("the active cell is not a checked 'Eingang aktiv': %r" % active.name)
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

    app.quit()
    print("gui watch: ok; screenshots in", SHOTS)


if __name__ == "__main__":
    run_main(run)
