<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>Namorix</name>
    <!-- Sidebar -->
    <message id="sidebar.title"><source>sidebar.title</source><translation>Bereiche</translation></message>
    <message id="sidebar.files"><source>sidebar.files</source><translation>Dateien</translation></message>
    <message id="sidebar.history"><source>sidebar.history</source><translation>Verlauf</translation></message>
    <message id="sidebar.templates"><source>sidebar.templates</source><translation>Vorlagen</translation></message>
    <message id="sidebar.watch"><source>sidebar.watch</source><translation>Überwachte Ordner</translation></message>
    <!-- Menus -->
    <message id="menu.file"><source>menu.file</source><translation>Datei</translation></message>
    <message id="menu.edit"><source>menu.edit</source><translation>Bearbeiten</translation></message>
    <message id="menu.help"><source>menu.help</source><translation>Hilfe</translation></message>
    <message id="menu.quit"><source>menu.quit</source><translation>Beenden</translation></message>
    <message id="menu.revertLast"><source>menu.revertLast</source><translation>Letzte Umbenennung rückgängig</translation></message>
    <message id="menu.settings"><source>menu.settings</source><translation>Einstellungen…</translation></message>
    <message id="menu.about"><source>menu.about</source><translation>Über Namorix</translation></message>
    <message id="menu.legal"><source>menu.legal</source><translation>Rechtliches</translation></message>
    <message id="menu.impressum"><source>menu.impressum</source><translation>Impressum</translation></message>
    <message id="menu.terms"><source>menu.terms</source><translation>Nutzungsbedingungen</translation></message>
    <message id="menu.privacy"><source>menu.privacy</source><translation>Datenschutz</translation></message>
    <message id="menu.accessibility"><source>menu.accessibility</source><translation>Barrierefreiheit</translation></message>
    <!-- Status bar -->
    <message id="status.kvx"><source>status.kvx</source><translation>KVX</translation></message>
    <message id="status.kvx.connected"><source>status.kvx.connected</source><translation>Korvex verbunden</translation></message>
    <message id="status.kvx.unavailable"><source>status.kvx.unavailable</source><translation>Korvex nicht verfügbar</translation></message>
    <message id="status.history.help"><source>status.history.help</source><translation>%1 Dateien umbenannt, %2 Einträge gesamt</translation></message>
    <message id="status.watch.help"><source>status.watch.help</source><translation>%1 Ordner überwacht</translation></message>
    <message id="status.progress"><source>status.progress</source><translation>%1/%2</translation></message>
    <message id="status.provider.ready"><source>status.provider.ready</source><translation>Bereit</translation></message>
    <message id="status.provider.missingKey"><source>status.provider.missingKey</source><translation>API-Schlüssel fehlt</translation></message>
    <message id="status.reverted"><source>status.reverted</source><translation>„%1“ heißt wieder „%2“</translation></message>
    <!-- Files: drop target -->
    <message id="drop.title"><source>drop.title</source><translation>Dateien hierher ziehen</translation></message>
    <message id="drop.subtitle"><source>drop.subtitle</source><translation>PDFs, Bilder, Dokumente oder ganze Ordner</translation></message>
    <message id="drop.or"><source>drop.or</source><translation>oder</translation></message>
    <message id="drop.pick"><source>drop.pick</source><translation>Dateien öffnen…</translation></message>
    <message id="drop.pickFolder"><source>drop.pickFolder</source><translation>Ordner öffnen…</translation></message>
    <message id="drop.confirmMany"><source>drop.confirmMany</source><translation>%1 Dateien analysieren?</translation></message>
    <message id="drop.confirmMany.detail"><source>drop.confirmMany.detail</source><translation>Jede Datei wird an den gewählten KI-Anbieter geschickt.</translation></message>
    <message id="drop.confirmMany.analyze"><source>drop.confirmMany.analyze</source><translation>Analysieren</translation></message>
    <message id="drop.counting"><source>drop.counting</source><translation>Dateien werden gezählt…</translation></message>
    <!-- Files: review -->
    <message id="preview.analyzing"><source>preview.analyzing</source><translation>Dateien werden analysiert…</translation></message>
    <message id="preview.progress"><source>preview.progress</source><translation>%1 / %2</translation></message>
    <message id="preview.stop"><source>preview.stop</source><translation>Analyse abbrechen</translation></message>
    <message id="preview.cancel"><source>preview.cancel</source><translation>Abbrechen</translation></message>
    <message id="preview.rename"><source>preview.rename</source><translation>Umbenennen</translation></message>
    <message id="preview.approvedCount"><source>preview.approvedCount</source><translation>%1 / %2</translation></message>
    <message id="preview.diff"><source>preview.diff</source><translation>Diff-Ansicht</translation></message>
    <message id="preview.quickLook"><source>preview.quickLook</source><translation>Quick Look</translation></message>
    <message id="preview.name"><source>preview.name</source><translation>Name</translation></message>
    <message id="preview.list"><source>preview.list</source><translation>Umbenennungsvorschläge</translation></message>
    <message id="explain.title"><source>explain.title</source><translation>Warum dieser Name?</translation></message>
    <message id="explain.fields"><source>explain.fields</source><translation>Felder</translation></message>
    <message id="explain.verified"><source>explain.verified</source><translation>im Text belegt</translation></message>
    <message id="explain.notCheckable"><source>explain.notCheckable</source><translation>nicht prüfbar (kein Text)</translation></message>
    <message id="explain.none"><source>explain.none</source><translation>(nichts)</translation></message>
    <message id="explain.excerpt"><source>explain.excerpt</source><translation>Gesendeter Textauszug</translation></message>
    <message id="explain.metadata"><source>explain.metadata</source><translation>Gesendete Metadaten</translation></message>
    <message id="explain.template"><source>explain.template</source><translation>Gesendetes Namenstemplate</translation></message>
    <message id="explain.reply"><source>explain.reply</source><translation>Antwort des Modells</translation></message>
    <message id="preview.row"><source>preview.row</source><translation>%1 wird zu %2, Sicherheit %3</translation></message>
    <message id="preview.rowFailed"><source>preview.rowFailed</source><translation>%1: %2</translation></message>
    <!-- Quick Look window -->
    <message id="quicklook.type"><source>quicklook.type</source><translation>Typ</translation></message>
    <message id="quicklook.size"><source>quicklook.size</source><translation>Größe</translation></message>
    <message id="quicklook.created"><source>quicklook.created</source><translation>Erstellt</translation></message>
    <message id="quicklook.modified"><source>quicklook.modified</source><translation>Geändert</translation></message>
    <message id="quicklook.missing"><source>quicklook.missing</source><translation>Die Datei ist nicht mehr vorhanden.</translation></message>
    <!-- Placeholders of sections a later version fills -->
    <message id="placeholder.templates"><source>placeholder.templates</source><translation>Vorlagen folgen in einer späteren Version.</translation></message>
    <message id="placeholder.watch"><source>placeholder.watch</source><translation>Überwachte Ordner folgen in einer späteren Version.</translation></message>
    <message id="placeholder.history"><source>placeholder.history</source><translation>Der Verlauf folgt in Kürze.</translation></message>
    <!-- History -->
    <message id="history.revertedOnly"><source>history.revertedOnly</source><translation>Nur rückgängig gemachte</translation></message>
    <message id="history.search"><source>history.search</source><translation>Dateinamen suchen</translation></message>
    <message id="history.export"><source>history.export</source><translation>Exportieren</translation></message>
    <message id="history.exportTitle"><source>history.exportTitle</source><translation>Verlauf exportieren</translation></message>
    <message id="history.exportFailed"><source>history.exportFailed</source><translation>Export nach %1 fehlgeschlagen: %2</translation></message>
    <message id="history.table"><source>history.table</source><translation>Umbenennungsverlauf</translation></message>
    <message id="history.original"><source>history.original</source><translation>Original</translation></message>
    <message id="history.new"><source>history.new</source><translation>Neu</translation></message>
    <message id="history.date"><source>history.date</source><translation>Datum</translation></message>
    <message id="history.provider"><source>history.provider</source><translation>Anbieter</translation></message>
    <message id="history.revert"><source>history.revert</source><translation>Rückgängig</translation></message>
    <message id="history.revert.tooltip"><source>history.revert.tooltip</source><translation>Umbenennung von „%1“ rückgängig machen</translation></message>
    <message id="history.reverted"><source>history.reverted</source><translation>Rückgängig gemacht</translation></message>
    <message id="history.entries" numerus="yes"><source>history.entries</source><translation><numerusform>%n Eintrag</numerusform><numerusform>%n Einträge</numerusform></translation></message>
    <!-- Command line -->
    <message id="cli.description"><source>cli.description</source><translation>Gibt Dateien aussagekräftige Namen aus ihrem Inhalt.</translation></message>
    <message id="cli.inputs"><source>cli.inputs</source><translation>Dateien, Ordner oder ein namorix://rename-Link zum Analysieren</translation></message>
</context>
</TS>
