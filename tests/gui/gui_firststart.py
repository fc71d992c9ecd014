"""The first start over AT-SPI: a fresh profile opens on the legal screen, accepting shows the
onboarding, where Ollama hides the key field; both are stored. In the settings window a changed
separator changes the rules tab's preview. Screenshots of each screen.
    run-gui-test.sh gui_firststart.py NAMORIX LLMSTUB_SERVER SCREENSHOT_DIR
"""
import sys
import time

from harness import App, Failure, Profile, accessibility, run_main, wait_for

NAMORIX, STUB, SHOTS = sys.argv[1:4]


def run(home):
    profile = Profile(home, STUB)
    profile.write_settings({"api.port": profile.port, "kvx.enabled": False, "ai.provider": "Claude"})
    at = accessibility()
    app = App(NAMORIX, profile, SHOTS, at)

    def showing(name, role):
        return app.showing(app.find(app.named(name, role)))

    # The legal screen (which boxes enable accept: tst_firststart).
    terms = wait_for("the terms checkbox", lambda: app.find(app.named("Nutzungsbedingungen", at.ROLE_CHECK_BOX)))
    privacy = app.find(app.named("Datenschutzhinweise", at.ROLE_CHECK_BOX))
    accept = app.find(app.named("Zustimmen", at.ROLE_PUSH_BUTTON))
    if not privacy or not accept or accept.getState().contains(at.STATE_ENABLED):
        raise Failure("the legal screen lacks a box, or accept is enabled before any box is ticked")
    app.screenshot("firststart-legal", "Willkommen bei Namorix")
    terms.queryAction().doAction(0)
    privacy.queryAction().doAction(0)
    wait_for("accept enabled with both boxes", lambda: accept.getState().contains(at.STATE_ENABLED), 5)
    accept.queryAction().doAction(0)

    # The onboarding: the key field only for a provider that needs one.
    wait_for("the onboarding's key field", lambda: showing("API Key", at.ROLE_PASSWORD_TEXT))
    app.screenshot("firststart-onboarding", "KI-Anbieter wählen")
    app.find(app.named("Ollama")).queryAction().doAction(0)
    wait_for("the key field hidden for Ollama", lambda: not showing("API Key", at.ROLE_PASSWORD_TEXT), 5)
    app.find(app.named("Fertig", at.ROLE_PUSH_BUTTON)).queryAction().doAction(0)
    wait_for("the onboarding closed", lambda: not showing("Fertig", at.ROLE_PUSH_BUTTON), 5)
    wait_for("acceptance and onboarding stored", lambda: all(
        k in profile.stored() for k in ("hasAcceptedLegal", "legalAcceptanceDate", "onboardingDone")), 5)
    if profile.stored().get("ai.provider") != "Ollama":
        raise Failure("the onboarding's provider was not stored: %r" % profile.stored().get("ai.provider"))
    # That a restart shows neither: tst_firststart, and every other GUI script starts with these flags.

    # The settings window: its tabs, and the separator changing the rules tab's preview.
    settings_item = wait_for('the menu item "Einstellungen…"', lambda: app.find(app.named("Einstellungen…", at.ROLE_MENU_ITEM)))
    settings_item.queryAction().doAction(0)
    wait_for("the settings window", lambda: app.find(app.named("KI-Anbieter", at.ROLE_PAGE_TAB)))
    wait_for("the Korvex status", lambda: app.find(app.named("Korvex nicht verfügbar")))
    app.screenshot("settings-general", "Einstellungen")
    def preview():
        label = app.find(lambda a: a.name.startswith("Vorschau: "))
        return label.name if app.showing(label) else None

    for tab, shot in (("KI-Anbieter", "settings-ai"), ("REST-API", "settings-api"), ("Regeln", "settings-rules")):
        wait_for("the tab " + tab, lambda: app.find(app.named(tab, at.ROLE_PAGE_TAB))).queryAction().doAction(0)
        time.sleep(0.5)
        app.screenshot(shot, "Einstellungen")

    # A combo box is named by its current entry over AT-SPI.
    before = wait_for("the rules preview", preview, 5)
    separator = app.find(lambda a: a.getRole() == at.ROLE_COMBO_BOX and a.name == "Unterstrich (_)")
    # Below the fold of the scrolling tab: its own action opens the list, which is on screen.
    separator.queryAction().doAction(0)
    item = wait_for("the separator entry Punkt", lambda: app.find(app.named("Punkt (.)", at.ROLE_LIST_ITEM)))
    app.click(item)
    wait_for("the preview with dots", lambda: preview() not in (None, before) and "_" not in preview(), 5)
    if profile.stored().get("rules.separator") != ".":
        raise Failure("the separator was stored as %r" % profile.stored().get("rules.separator"))
    app.screenshot("settings-rules-dot", "Einstellungen")

    # The information windows of the Hilfe menu.
    about = app.find(app.named("Über Namorix", at.ROLE_MENU_ITEM))
    about.queryAction().doAction(0)
    wait_for("the about window", lambda: app.find(lambda a: a.name.startswith("Version ")))
    app.screenshot("about", "Über Namorix")
    app.find(app.named("Datenschutz", at.ROLE_MENU_ITEM)).queryAction().doAction(0)
    wait_for("the privacy window", lambda: app.find(app.named("Schließen", at.ROLE_PUSH_BUTTON)))
    app.screenshot("legal-privacy", "Datenschutz")
    app.quit()
    print("gui first start: ok; screenshots in", SHOTS)


if __name__ == "__main__":
    run_main(run)
