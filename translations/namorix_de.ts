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
    <message id="menu.view"><source>menu.view</source><translation>Ansicht</translation></message>
    <message id="menu.help"><source>menu.help</source><translation>Hilfe</translation></message>
    <message id="menu.quit"><source>menu.quit</source><translation>Beenden</translation></message>
    <message id="menu.revertLast"><source>menu.revertLast</source><translation>Letzte Umbenennungen rückgängig machen</translation></message>
    <message id="result.nothingToRevert"><source>result.nothingToRevert</source><translation>Nichts rückgängig zu machen: diese Umbenennungen sind schon zurückgenommen</translation></message>
    <message id="menu.revertLastBatch" numerus="yes"><source>menu.revertLastBatch</source><translation><numerusform>Letzte Umbenennung rückgängig machen (%n Datei)</numerusform><numerusform>Letzte Umbenennungen rückgängig machen (%n Dateien)</numerusform></translation></message>
    <message id="menu.settings"><source>menu.settings</source><translation>Einstellungen…</translation></message>
    <message id="menu.about"><source>menu.about</source><translation>Über Namorix</translation></message>
    <message id="menu.legal"><source>menu.legal</source><translation>Rechtliches</translation></message>
    <message id="menu.impressum"><source>menu.impressum</source><translation>Impressum</translation></message>
    <message id="menu.terms"><source>menu.terms</source><translation>Nutzungsbedingungen</translation></message>
    <message id="menu.privacy"><source>menu.privacy</source><translation>Datenschutz</translation></message>
    <message id="menu.accessibility"><source>menu.accessibility</source><translation>Barrierefreiheit</translation></message>
    <!-- Status bar -->
    <message id="status.kvx"><source>status.kvx</source><translation>Korvex</translation></message>
    <message id="status.kvx.connected"><source>status.kvx.connected</source><translation>Korvex verbunden</translation></message>
    <message id="status.kvx.unavailable"><source>status.kvx.unavailable</source><translation>Korvex nicht verfügbar</translation></message>
    <message id="status.kvx.connected.help"><source>status.kvx.connected.help</source><translation>Korvex verbunden: Text, den diese Volltextsuche auf diesem Rechner schon erfasst hat, übernimmt Namorix, statt die Datei selbst zu lesen.</translation></message>
    <message id="status.kvx.unavailable.help"><source>status.kvx.unavailable.help</source><translation>Korvex nicht verfügbar: Namorix liest die Dateien selbst. Korvex ist eine eigenständige Volltextsuche; ohne sie fehlt nichts.</translation></message>
    <message id="status.history.renamed" numerus="yes"><source>status.history.renamed</source><translation><numerusform>%n Datei umbenannt</numerusform><numerusform>%n Dateien umbenannt</numerusform></translation></message>
    <message id="status.history.total" numerus="yes"><source>status.history.total</source><translation><numerusform>%n Eintrag gesamt</numerusform><numerusform>%n Einträge gesamt</numerusform></translation></message>
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
    <message id="drop.confirmMany.onDevice"><source>drop.confirmMany.onDevice</source><translation>Alle Dateien werden auf diesem Gerät benannt; nichts wird gesendet.</translation></message>
    <message id="drop.confirmMany.localFirst"><source>drop.confirmMany.localFirst</source><translation>Nur Dateien, die sich auf diesem Gerät nicht sicher benennen lassen, gehen an den gewählten KI-Anbieter; die Schätzung gilt für alle, die übrigen kosten nichts.</translation></message>
    <message id="drop.confirmMany.detail"><source>drop.confirmMany.detail</source><translation>Jede Datei wird an den gewählten KI-Anbieter geschickt.</translation></message>
    <message id="drop.confirmMany.analyze"><source>drop.confirmMany.analyze</source><translation>Analysieren</translation></message>
    <message id="drop.stopCounting"><source>drop.stopCounting</source><translation>Zählen abbrechen</translation></message>
    <message id="drop.counting"><source>drop.counting</source><translation>Dateien werden gezählt…</translation></message>
    <!-- Files: review -->
    <message id="preview.analyzing"><source>preview.analyzing</source><translation>Dateien werden analysiert…</translation></message>
    <message id="preview.progress"><source>preview.progress</source><translation>%1 / %2</translation></message>
    <message id="preview.stop"><source>preview.stop</source><translation>Analyse abbrechen</translation></message>
    <message id="preview.cancel"><source>preview.cancel</source><translation>Abbrechen</translation></message>
    <message id="preview.hiddenTicked" numerus="yes"><source>preview.hiddenTicked</source><translation><numerusform>%n weitere ausgeblendete Datei auch umbenennen?</numerusform><numerusform>%n weitere ausgeblendete Dateien auch umbenennen?</numerusform></translation></message>
    <message id="preview.hiddenTicked.help"><source>preview.hiddenTicked.help</source><translation>Der Filter blendet angehakte Zeilen aus, deren neue Namen Sie gerade nicht sehen.</translation></message>
    <message id="preview.hiddenTicked.all"><source>preview.hiddenTicked.all</source><translation>Alle umbenennen</translation></message>
    <message id="preview.hiddenTicked.shown"><source>preview.hiddenTicked.shown</source><translation>Nur sichtbare umbenennen</translation></message>
    <message id="preview.rename"><source>preview.rename</source><translation>Umbenennen</translation></message>
    <message id="preview.approvedCount"><source>preview.approvedCount</source><translation>%1 / %2</translation></message>
    <message id="preview.approvedCount.help"><source>preview.approvedCount.help</source><translation>%1 von %2 Vorschlägen zum Umbenennen ausgewählt</translation></message>
    <message id="preview.diff"><source>preview.diff</source><translation>Unterschiede</translation></message>
    <message id="preview.quickLook"><source>preview.quickLook</source><translation>Vorschau</translation></message>
    <message id="preview.name"><source>preview.name</source><translation>Name</translation></message>
    <message id="preview.list"><source>preview.list</source><translation>Umbenennungsvorschläge</translation></message>
    <message id="explain.title"><source>explain.title</source><translation>Warum dieser Name?</translation></message>
    <message id="explain.fields"><source>explain.fields</source><translation>Felder</translation></message>
    <message id="explain.verified"><source>explain.verified</source><translation>im Text belegt</translation></message>
    <message id="explain.notCheckable"><source>explain.notCheckable</source><translation>nicht prüfbar (kein Text)</translation></message>
    <message id="explain.none"><source>explain.none</source><translation>(nichts)</translation></message>
    <message id="explain.fileName"><source>explain.fileName</source><translation>Gesendeter Dateiname</translation></message>
    <message id="explain.excerpt"><source>explain.excerpt</source><translation>Gesendeter Textauszug</translation></message>
    <message id="explain.metadata"><source>explain.metadata</source><translation>Gesendete Metadaten</translation></message>
    <message id="explain.template"><source>explain.template</source><translation>Gesendete Namensvorlage</translation></message>
    <message id="explain.fromCache"><source>explain.fromCache</source><translation>Antwort aus dem Zwischenspeicher: Für diesen Inhalt wurde nichts erneut gesendet.</translation></message>
    <message id="explain.fromInvoice"><source>explain.fromInvoice</source><translation>aus der E-Rechnung</translation></message>
    <message id="explain.source"><source>explain.source</source><translation>Herkunft</translation></message>
    <message id="explain.source.e-rechnung"><source>explain.source.e-rechnung</source><translation>aus der E-Rechnung</translation></message>
    <message id="explain.source.text"><source>explain.source.text</source><translation>aus dem Text, auf diesem Gerät gelesen</translation></message>
    <message id="explain.source.metadaten"><source>explain.source.metadaten</source><translation>aus den Metadaten, auf diesem Gerät gelesen</translation></message>
    <message id="explain.source.gelernt"><source>explain.source.gelernt</source><translation>gelernt aus Ihren früheren Umbenennungen</translation></message>
    <message id="explain.source.modell"><source>explain.source.modell</source><translation>vom Modell</translation></message>
    <message id="explain.onDevice"><source>explain.onDevice</source><translation>Auf diesem Gerät benannt: Es wurde nichts gesendet.</translation></message>
    <message id="explain.reply"><source>explain.reply</source><translation>Antwort des Modells</translation></message>
    <message id="privacy.masked" numerus="yes"><source>privacy.masked</source><translation><numerusform>%n Angabe maskiert: %1</numerusform><numerusform>%n Angaben maskiert: %1</numerusform></translation></message>
    <message id="preview.row"><source>preview.row</source><translation>%1 wird zu %2, Sicherheit %3</translation></message>
    <message id="preview.diff.help"><source>preview.diff.help</source><translation>Geänderte Teile der Namen markieren; ausgeschaltet stehen die neuen Namen als Eingabefelder da</translation></message>
    <message id="preview.cancel.help"><source>preview.cancel.help</source><translation>Alle Vorschläge verwerfen (lässt sich wiederherstellen)</translation></message>
    <message id="preview.edit"><source>preview.edit</source><translation>Namen bearbeiten</translation></message>
    <message id="preview.extension.title"><source>preview.extension.title</source><translation>Dateiendung ändern?</translation></message>
    <message id="preview.extension.changed"><source>preview.extension.changed</source><translation>„%1“ endet auf „.%3“, die Datei ist aber eine „.%2“-Datei.</translation></message>
    <message id="preview.extension.removed"><source>preview.extension.removed</source><translation>„%1“ hat keine Dateiendung mehr, die Datei ist eine „.%2“-Datei.</translation></message>
    <message id="preview.extension.added"><source>preview.extension.added</source><translation>„%1“ bekäme die Endung „.%2“, die die Datei bisher nicht hat.</translation></message>
    <message id="preview.extension.why"><source>preview.extension.why</source><translation>Mit einer anderen Endung öffnet sich die Datei womöglich nicht mehr mit dem passenden Programm.</translation></message>
    <message id="preview.extension.keep"><source>preview.extension.keep</source><translation>„.%1“ behalten</translation></message>
    <message id="preview.extension.keepNone"><source>preview.extension.keepNone</source><translation>Ohne Endung lassen</translation></message>
    <message id="preview.extension.use"><source>preview.extension.use</source><translation>„.%1“ verwenden</translation></message>
    <message id="preview.extension.useNone"><source>preview.extension.useNone</source><translation>Endung entfernen</translation></message>
    <message id="result.renamed" numerus="yes"><source>result.renamed</source><translation><numerusform>%n Datei umbenannt</numerusform><numerusform>%n Dateien umbenannt</numerusform></translation></message>
    <message id="result.notRenamed" numerus="yes"><source>result.notRenamed</source><translation><numerusform>%n Datei nicht umbenannt – der Grund steht in der Liste</numerusform><numerusform>%n Dateien nicht umbenannt – die Gründe stehen in der Liste</numerusform></translation></message>
    <message id="result.reverted" numerus="yes"><source>result.reverted</source><translation><numerusform>%n Umbenennung rückgängig gemacht</numerusform><numerusform>%n Umbenennungen rückgängig gemacht</numerusform></translation></message>
    <message id="result.notReverted" numerus="yes"><source>result.notReverted</source><translation><numerusform>%n nicht: %1</numerusform><numerusform>%n nicht, zuerst: %1</numerusform></translation></message>
    <message id="result.renameStopped" numerus="yes"><source>result.renameStopped</source><translation><numerusform>angehalten: %n Datei unverändert</numerusform><numerusform>angehalten: %n Dateien unverändert</numerusform></translation></message>
    <message id="result.revertStopped" numerus="yes"><source>result.revertStopped</source><translation><numerusform>angehalten: %n Umbenennung bleibt</numerusform><numerusform>angehalten: %n Umbenennungen bleiben</numerusform></translation></message>
    <message id="progress.renaming" numerus="yes"><source>progress.renaming</source><translation><numerusform>%1 von %2 Datei umbenannt</numerusform><numerusform>%1 von %2 Dateien umbenannt</numerusform></translation></message>
    <message id="progress.reverting" numerus="yes"><source>progress.reverting</source><translation><numerusform>%1 von %2 Umbenennung rückgängig gemacht</numerusform><numerusform>%1 von %2 Umbenennungen rückgängig gemacht</numerusform></translation></message>
    <message id="progress.stop"><source>progress.stop</source><translation>Anhalten</translation></message>
    <message id="progress.stop.help"><source>progress.stop.help</source><translation>Nach der aktuellen Datei anhalten; was schon umbenannt ist, bleibt umbenannt und im Verlauf</translation></message>
    <message id="result.discarded" numerus="yes"><source>result.discarded</source><translation><numerusform>%n Vorschlag verworfen</numerusform><numerusform>%n Vorschläge verworfen</numerusform></translation></message>
    <message id="result.undo"><source>result.undo</source><translation>Rückgängig</translation></message>
    <message id="result.retry"><source>result.retry</source><translation>Erneut versuchen</translation></message>
    <message id="result.restore"><source>result.restore</source><translation>Wiederherstellen</translation></message>
    <message id="result.close"><source>result.close</source><translation>Meldung schließen</translation></message>
    <message id="provider.refused.request"><source>provider.refused.request</source><translation>%1 hat die Anfrage abgelehnt (HTTP %2)</translation></message>
    <message id="provider.refused.key"><source>provider.refused.key</source><translation>%1 hat den API-Schlüssel abgelehnt (HTTP %2)</translation></message>
    <message id="provider.refused.notFound"><source>provider.refused.notFound</source><translation>%1 kennt das Modell oder die Adresse nicht (HTTP %2)</translation></message>
    <message id="provider.refused.timeout"><source>provider.refused.timeout</source><translation>%1 hat nicht rechtzeitig geantwortet (HTTP %2)</translation></message>
    <message id="provider.refused.tooLarge"><source>provider.refused.tooLarge</source><translation>%1 hat die Anfrage als zu groß abgelehnt (HTTP %2)</translation></message>
    <message id="provider.refused.tooMany"><source>provider.refused.tooMany</source><translation>%1 meldet zu viele Anfragen oder ein erschöpftes Guthaben (HTTP %2)</translation></message>
    <message id="provider.refused.down"><source>provider.refused.down</source><translation>%1 ist gerade gestört (HTTP %2)</translation></message>
    <message id="provider.refused.other"><source>provider.refused.other</source><translation>%1 hat mit einem Fehler geantwortet (HTTP %2)</translation></message>
    <message id="provider.refused.said"><source>provider.refused.said</source><translation>%1: „%2“</translation></message>
    <message id="settings.usage" numerus="yes"><source>settings.usage</source><translation><numerusform>Diesen Monat: %1 Anfrage, %2</numerusform><numerusform>Diesen Monat: %1 Anfragen, %2</numerusform></translation></message>
    <message id="settings.usage.namedHere" numerus="yes"><source>settings.usage.namedHere</source><translation><numerusform>%1 Datei ohne Anfrage benannt</numerusform><numerusform>%1 Dateien ohne Anfrage benannt</numerusform></translation></message>
    <message id="provider.wait.asked"><source>provider.wait.asked</source><translation>Anbieter bittet zu warten: %1 s</translation></message>
    <message id="provider.wait.retry"><source>provider.wait.retry</source><translation>Anbieter gestört, neuer Versuch in %1 s</translation></message>
    <message id="provider.wait.tooLong"><source>provider.wait.tooLong</source><translation>%1 bittet, %2 zu warten (HTTP %3) – länger als die %4 s, die Namorix wartet</translation></message>
    <message id="cost.estimate" numerus="yes"><source>cost.estimate</source><translation><numerusform>≈ %1 Datei, ≈ %2 Tokens, %3</numerusform><numerusform>≈ %1 Dateien, ≈ %2 Tokens, %3</numerusform></translation></message>
    <message id="budget.reached"><source>budget.reached</source><translation>Monatsbudget von %1 erreicht (diesen Monat %2)</translation></message>
    <message id="budget.queuePaused"><source>budget.queuePaused</source><translation>%1. Die Warteschlange pausiert bis zum nächsten Monat oder bis das Budget erhöht wird.</translation></message>
    <message id="budget.confirm"><source>budget.confirm</source><translation>Monatsbudget erreicht – trotzdem analysieren?</translation></message>
    <message id="settings.priceInput"><source>settings.priceInput</source><translation>Preis je Mio. Tokens der Anfrage</translation></message>
    <message id="settings.priceOutput"><source>settings.priceOutput</source><translation>Preis je Mio. Tokens der Antwort</translation></message>
    <message id="settings.pricesOf"><source>settings.pricesOf</source><translation>Preise für %1</translation></message>
    <message id="settings.monthlyBudget"><source>settings.monthlyBudget</source><translation>Monatsbudget der Warteschlange</translation></message>
    <message id="settings.noBudget"><source>settings.noBudget</source><translation>keines</translation></message>
    <message id="settings.costThisMonth"><source>settings.costThisMonth</source><translation>Kosten diesen Monat: %1</translation></message>
    <message id="menubar.pin"><source>menubar.pin</source><translation>Offen halten</translation></message>
    <message id="menubar.pin.help"><source>menubar.pin.help</source><translation>Das Panel bleibt offen, wenn ein anderes Fenster den Fokus bekommt – zum Hineinziehen von Dateien aus dem Dateimanager</translation></message>
    <message id="preview.notRenamed"><source>preview.notRenamed</source><translation>Nicht umbenannt: %1</translation></message>
    <message id="preview.fromCache"><source>preview.fromCache</source><translation>aus dem Zwischenspeicher</translation></message>
    <message id="preview.newerSuggestion"><source>preview.newerSuggestion</source><translation>Neuerer Vorschlag: %1</translation></message>
    <message id="preview.progressMore"><source>preview.progressMore</source><translation>Weitere Dateien: %1 von %2 analysiert</translation></message>
    <message id="preview.tickAll"><source>preview.tickAll</source><translation>Alle auswählen</translation></message>
    <message id="preview.tickNone"><source>preview.tickNone</source><translation>Keine auswählen</translation></message>
    <message id="preview.filter.state"><source>preview.filter.state</source><translation>Vorschläge nach Zustand filtern</translation></message>
    <message id="preview.filter.all"><source>preview.filter.all</source><translation>Alle</translation></message>
    <message id="preview.filter.unchecked"><source>preview.filter.unchecked</source><translation>Ungeprüft</translation></message>
    <message id="preview.filter.failed"><source>preview.filter.failed</source><translation>Fehlgeschlagen</translation></message>
    <message id="preview.filter.text"><source>preview.filter.text</source><translation>Namen filtern</translation></message>
    <message id="preview.hidden" numerus="yes"><source>preview.hidden</source><translation><numerusform>%n ausgeblendet</numerusform><numerusform>%n ausgeblendet</numerusform></translation></message>
    <message id="preview.hidden.help" numerus="yes"><source>preview.hidden.help</source><translation><numerusform>%n Vorschlag durch den Filter ausgeblendet</numerusform><numerusform>%n Vorschläge durch den Filter ausgeblendet</numerusform></translation></message>
    <message id="preview.remove"><source>preview.remove</source><translation>Aus der Liste entfernen</translation></message>
    <message id="preview.rowFailed"><source>preview.rowFailed</source><translation>%1: %2</translation></message>
    <!-- Quick Look window -->
    <message id="quicklook.type"><source>quicklook.type</source><translation>Typ</translation></message>
    <message id="quicklook.size"><source>quicklook.size</source><translation>Größe</translation></message>
    <message id="quicklook.created"><source>quicklook.created</source><translation>Erstellt</translation></message>
    <message id="quicklook.modified"><source>quicklook.modified</source><translation>Geändert</translation></message>
    <message id="quicklook.missing"><source>quicklook.missing</source><translation>Die Datei ist nicht mehr vorhanden.</translation></message>
    <message id="quicklook.failed"><source>quicklook.failed</source><translation>Keine Vorschau</translation></message>
    <!-- Placeholders of sections a later version fills -->
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
    <message id="history.revertBatch"><source>history.revertBatch</source><translation>Stapel rückgängig</translation></message>
    <message id="history.batch" numerus="yes"><source>history.batch</source><translation><numerusform>%1 — %n Datei</numerusform><numerusform>%1 — %n Dateien</numerusform></translation></message>
    <message id="history.today"><source>history.today</source><translation>Heute, %1</translation></message>
    <message id="history.yesterday"><source>history.yesterday</source><translation>Gestern, %1</translation></message>
    <message id="history.revertBatch.tooltip" numerus="yes"><source>history.revertBatch.tooltip</source><translation><numerusform>Die Umbenennung dieses Stapels rückgängig machen</numerusform><numerusform>Alle %n Umbenennungen dieses Stapels rückgängig machen</numerusform></translation></message>
    <message id="history.menu"><source>history.menu</source><translation>Aktionen für den Eintrag</translation></message>
    <message id="history.revert.tooltip"><source>history.revert.tooltip</source><translation>Umbenennung von „%1“ rückgängig machen</translation></message>
    <message id="history.reverted"><source>history.reverted</source><translation>Rückgängig gemacht</translation></message>
    <message id="history.reverted.description"><source>history.reverted.description</source><translation>Umbenennung von „%1“ wurde rückgängig gemacht</translation></message>
    <message id="history.showInFolder"><source>history.showInFolder</source><translation>Im Ordner anzeigen</translation></message>
    <message id="history.copyPath"><source>history.copyPath</source><translation>Pfad kopieren</translation></message>
    <message id="history.showMissing" numerus="yes"><source>history.showMissing</source><translation><numerusform>Datei und Ordner sind nicht mehr vorhanden: %1</numerusform><numerusform>%n Dateien samt Ordner sind nicht mehr vorhanden, darunter %1</numerusform></translation></message>
    <message id="history.empty"><source>history.empty</source><translation>Noch keine Umbenennungen. Was Sie umbenennen, erscheint hier und lässt sich einzeln rückgängig machen.</translation></message>
    <message id="history.noMatch"><source>history.noMatch</source><translation>Keine passenden Einträge</translation></message>
    <message id="sidebar.filesCount" numerus="yes"><source>sidebar.filesCount</source><translation><numerusform>Dateien (%n)</numerusform><numerusform>Dateien (%n)</numerusform></translation></message>
    <message id="status.newSuggestions" numerus="yes"><source>status.newSuggestions</source><translation><numerusform>%n neuer Vorschlag unter „Dateien“</numerusform><numerusform>%n neue Vorschläge unter „Dateien“</numerusform></translation></message>
    <message id="history.entries" numerus="yes"><source>history.entries</source><translation><numerusform>%n Eintrag</numerusform><numerusform>%n Einträge</numerusform></translation></message>
    <!-- Watched folders -->
    <message id="watch.add"><source>watch.add</source><translation>Ordner hinzufügen…</translation></message>
    <message id="watch.queued" numerus="yes"><source>watch.queued</source><translation><numerusform>%n Datei wartet</numerusform><numerusform>%n Dateien warten</numerusform></translation></message>
    <message id="watch.pause"><source>watch.pause</source><translation>Pausieren</translation></message>
    <message id="watch.resume"><source>watch.resume</source><translation>Fortsetzen</translation></message>
    <message id="watch.budgetPaused"><source>watch.budgetPaused</source><translation>Monatsbudget erreicht</translation></message>
    <message id="watch.watching" numerus="yes"><source>watch.watching</source><translation><numerusform>%n Ordner überwacht</numerusform><numerusform>%n Ordner überwacht</numerusform></translation></message>
    <message id="watch.empty"><source>watch.empty</source><translation>Noch keine Ordner überwacht. Neue Dateien in einem überwachten Ordner werden automatisch umbenannt oder zur Prüfung geöffnet.</translation></message>
    <message id="watch.table"><source>watch.table</source><translation>Überwachte Ordner</translation></message>
    <message id="watch.takeExisting"><source>watch.takeExisting</source><translation>Vorhandene Dateien jetzt umbenennen</translation></message>
    <message id="watch.folder"><source>watch.folder</source><translation>Ordner</translation></message>
    <message id="watch.autoRename"><source>watch.autoRename</source><translation>Automatisch</translation></message>
    <message id="watch.active"><source>watch.active</source><translation>Aktiv</translation></message>
    <message id="watch.autoRename.cell"><source>watch.autoRename.cell</source><translation>%1 automatisch umbenennen</translation></message>
    <message id="watch.active.cell"><source>watch.active.cell</source><translation>%1 aktiv</translation></message>
    <message id="watch.remove"><source>watch.remove</source><translation>%1 nicht mehr überwachen</translation></message>
    <message id="watch.chooseTitle"><source>watch.chooseTitle</source><translation>Ordner zum Überwachen wählen</translation></message>
    <message id="watch.chooseAccept"><source>watch.chooseAccept</source><translation>Hinzufügen</translation></message>
    <!-- Command line -->
    <message id="cli.description"><source>cli.description</source><translation>Gibt Dateien aussagekräftige Namen aus ihrem Inhalt.</translation></message>
    <message id="cli.inputs"><source>cli.inputs</source><translation>Dateien, Ordner oder ein namorix://rename-Link zum Analysieren</translation></message>
    <message id="cli.inputs.name"><source>cli.inputs.name</source><translation>eingaben</translation></message>
    <message id="cli.inputs.syntax"><source>cli.inputs.syntax</source><translation>[DATEI|ORDNER|namorix://rename?paths=…]</translation></message>
    <!-- Settings window -->
    <message id="settings.title"><source>settings.title</source><translation>Einstellungen</translation></message>
    <message id="settings.general"><source>settings.general</source><translation>Allgemein</translation></message>
    <message id="settings.ai"><source>settings.ai</source><translation>KI-Anbieter</translation></message>
    <message id="settings.api"><source>settings.api</source><translation>REST-API</translation></message>
    <message id="settings.autoRename"><source>settings.autoRename</source><translation>Vorschläge ohne Prüfung übernehmen</translation></message>
    <message id="settings.autoRenameVerifiedOnly"><source>settings.autoRenameVerifiedOnly</source><translation>Ungeprüfte Angaben nicht automatisch umbenennen</translation></message>
    <message id="settings.showMenuBar"><source>settings.showMenuBar</source><translation>Symbol im Systembereich anzeigen</translation></message>
    <message id="settings.preserveTimestamps"><source>settings.preserveTimestamps</source><translation>Zeitstempel der Dateien beibehalten</translation></message>
    <message id="settings.launchAtLogin"><source>settings.launchAtLogin</source><translation>Beim Anmelden starten</translation></message>
    <message id="settings.kvx"><source>settings.kvx</source><translation>Korvex (Volltextsuche)</translation></message>
    <message id="settings.kvxEnabled"><source>settings.kvxEnabled</source><translation>Text von Korvex übernehmen</translation></message>
    <message id="settings.port"><source>settings.port</source><translation>Port</translation></message>
    <message id="settings.kvxPort"><source>settings.kvxPort</source><translation>Korvex-Port</translation></message>
    <message id="settings.apiPort"><source>settings.apiPort</source><translation>API-Port</translation></message>
    <message id="settings.kvxToken"><source>settings.kvxToken</source><translation>Korvex-Token</translation></message>
    <message id="settings.kvxChecking"><source>settings.kvxChecking</source><translation>Verbindung wird geprüft…</translation></message>
    <message id="settings.kvxConnected"><source>settings.kvxConnected</source><translation>Korvex verbunden</translation></message>
    <message id="settings.kvxUnavailable"><source>settings.kvxUnavailable</source><translation>Korvex nicht verfügbar</translation></message>
    <message id="settings.kvxHint"><source>settings.kvxHint</source><translation>Hat Korvex eine PDF-Datei oder ein Bild schon erfasst, übernimmt Namorix dessen Text, statt ihn selbst zu lesen. Korvex wird nur auf diesem Rechner angefragt.</translation></message>
    <message id="settings.provider"><source>settings.provider</source><translation>Anbieter</translation></message>
    <message id="settings.apiKey"><source>settings.apiKey</source><translation>API-Schlüssel</translation></message>
    <message id="settings.model"><source>settings.model</source><translation>Modell</translation></message>
    <message id="settings.endpoint"><source>settings.endpoint</source><translation>Adresse des Dienstes</translation></message>
    <message id="settings.maskPersonalData"><source>settings.maskPersonalData</source><translation>Persönliche Daten vor dem Senden maskieren</translation></message>
    <message id="settings.cache.count" numerus="yes"><source>settings.cache.count</source><translation><numerusform>Im Zwischenspeicher: %1 Antwort des Modells</numerusform><numerusform>Im Zwischenspeicher: %1 Antworten des Modells</numerusform></translation></message>
    <message id="settings.cache.clear"><source>settings.cache.clear</source><translation>Zwischenspeicher leeren</translation></message>
    <message id="settings.cache.cleared" numerus="yes"><source>settings.cache.cleared</source><translation><numerusform>Zwischenspeicher geleert: %1 Antwort entfernt</numerusform><numerusform>Zwischenspeicher geleert: %1 Antworten entfernt</numerusform></translation></message>
    <message id="settings.learned.count" numerus="yes"><source>settings.learned.count</source><translation><numerusform>Aus Ihren Umbenennungen gelernt: %1 Absender (bleibt auf diesem Rechner)</numerusform><numerusform>Aus Ihren Umbenennungen gelernt: %1 Absender (bleibt auf diesem Rechner)</numerusform></translation></message>
    <message id="settings.learned.clear"><source>settings.learned.clear</source><translation>Gelerntes vergessen</translation></message>
    <message id="settings.learned.cleared" numerus="yes"><source>settings.learned.cleared</source><translation><numerusform>Vergessen: %1 Absender</numerusform><numerusform>Vergessen: %1 Absender</numerusform></translation></message>
    <message id="settings.learned.failed"><source>settings.learned.failed</source><translation>Gelerntes nicht verfügbar: %1</translation></message>
    <message id="settings.localFirst"><source>settings.localFirst</source><translation>Erst lokal benennen, KI nur bei Unsicherheit</translation></message>
    <message id="settings.localReady"><source>settings.localReady</source><translation>Bereit: Namorix benennt auf diesem Gerät, ohne Konto und ohne Netz.</translation></message>
    <message id="settings.cache.failed"><source>settings.cache.failed</source><translation>Zwischenspeicher nicht verfügbar: %1</translation></message>
    <message id="settings.ownDetails"><source>settings.ownDetails</source><translation>Eigene Angaben, die nie gesendet werden</translation></message>
    <message id="settings.ownDetails.help"><source>settings.ownDetails.help</source><translation>Namen und Adresszeilen, eine pro Zeile</translation></message>
    <message id="settings.keyMissing"><source>settings.keyMissing</source><translation>API-Schlüssel fehlt</translation></message>
    <message id="settings.unavailable"><source>settings.unavailable</source><translation>Auf Linux nicht verfügbar</translation></message>
    <message id="settings.configured"><source>settings.configured</source><translation>Eingerichtet</translation></message>
    <message id="settings.apiEnabled"><source>settings.apiEnabled</source><translation>REST-API aktivieren</translation></message>
    <message id="settings.token"><source>settings.token</source><translation>Token</translation></message>
    <message id="settings.apiAccess"><source>settings.apiAccess</source><translation>Zugriff</translation></message>
    <message id="settings.apiAccessChecked"><source>settings.apiAccessChecked</source><translation>Nur dieses Benutzerkonto. Anfragen anderer Konten auf diesem Rechner werden abgewiesen.</translation></message>
    <message id="settings.apiAccessToken"><source>settings.apiAccessToken</source><translation>Nur dieses Benutzerkonto. Das System nennt den Besitzer einer TCP-Verbindung nicht, darum braucht dort jede Anfrage den Token; der Unix-Socket prüft das Konto selbst.</translation></message>
    <message id="settings.apiSocket"><source>settings.apiSocket</source><translation>Unix-Socket</translation></message>
    <message id="settings.keyOtherEndpoint"><source>settings.keyOtherEndpoint</source><translation>Der Schlüssel wurde für %1 eingegeben und wird an diese Adresse nicht gesendet. Neu eingeben oder bestätigen.</translation></message>
    <message id="settings.confirmKeyEndpoint"><source>settings.confirmKeyEndpoint</source><translation>Schlüssel an diese Adresse senden</translation></message>
    <message id="settings.healthAddress"><source>settings.healthAddress</source><translation>Adresse der Statusabfrage</translation></message>
    <!-- The credential store: where a key went when the keyring did not take it -->
    <message id="keychain.noService"><source>keychain.noService</source><translation>Kein Schlüsselbund (Secret Service) erreichbar.</translation></message>
    <message id="keychain.refused"><source>keychain.refused</source><translation>Der Schlüsselbund hat den Schlüssel nicht angenommen (%1).</translation></message>
    <message id="keychain.cancelled"><source>keychain.cancelled</source><translation>die Abfrage des Schlüsselbunds wurde abgebrochen</translation></message>
    <message id="keychain.noCollection"><source>keychain.noCollection</source><translation>es gibt noch keinen Standard-Schlüsselbund</translation></message>
    <message id="keychain.locked"><source>keychain.locked</source><translation>der Schlüsselbund ist gesperrt oder nicht bereit</translation></message>
    <message id="keychain.notReadBack"><source>keychain.notReadBack</source><translation>gespeichert, aber nicht wieder lesbar</translation></message>
    <message id="keychain.inPrivateFile"><source>keychain.inPrivateFile</source><translation>Der Schlüssel wurde deshalb im privaten Schlüsselspeicher %1 abgelegt, den nur Ihr Benutzerkonto lesen kann.</translation></message>
    <message id="keychain.notSaved"><source>keychain.notSaved</source><translation>Der Schlüssel wurde nicht gespeichert: %1 lässt sich nicht schreiben (%2).</translation></message>
    <!-- Naming templates: the tokens a pattern may use, and why one is refused -->
    <message id="template.token.datum"><source>template.token.datum</source><translation>Dateidatum: Änderungsdatum der Datei (JJJJ-MM-TT), nicht das Datum aus dem Dokument wie {datum} in den Regeln</translation></message>
    <message id="template.token.zeit"><source>template.token.zeit</source><translation>Änderungszeit der Datei (HH-MM-SS)</translation></message>
    <message id="template.token.typ"><source>template.token.typ</source><translation>Dateiendung</translation></message>
    <message id="template.token.name"><source>template.token.name</source><translation>Originaler Dateiname</translation></message>
    <message id="template.token.cameraMake"><source>template.token.cameraMake</source><translation>Kamerahersteller (Bilder)</translation></message>
    <message id="template.token.cameraModel"><source>template.token.cameraModel</source><translation>Kameramodell (Bilder)</translation></message>
    <message id="template.token.vorschlag"><source>template.token.vorschlag</source><translation>KI-Vorschlag</translation></message>
    <message id="template.token.kategorie"><source>template.token.kategorie</source><translation>Kategorie, von der KI aus dem Inhalt bestimmt</translation></message>
    <message id="template.token.beschreibung"><source>template.token.beschreibung</source><translation>Kurzbeschreibung, von der KI aus dem Inhalt</translation></message>
    <message id="template.token.absender"><source>template.token.absender</source><translation>Absender, von der KI aus dem Inhalt</translation></message>
    <message id="template.token.betrag"><source>template.token.betrag</source><translation>Betrag, von der KI aus dem Inhalt</translation></message>
    <message id="template.about"><source>template.about</source><translation>Eine Vorlage sagt dem Sprachmodell, welche Angaben es aus dem Dokument lesen soll; sie wird so gesendet, wie sie hier steht. Den Dateinamen baut Namorix selbst nach den Regeln (Einstellungen › Regeln › Namensformat). Die Standard-Vorlage gilt für jede Analyse ohne eigene Vorlage; beim Anbieter „Lokal“ und bei E-Rechnungen wird keine Vorlage gebraucht.</translation></message>
    <message id="template.unfinishedToken"><source>template.unfinishedToken</source><translation>„%1“ ist nicht abgeschlossen: Es fehlt die schließende Klammer „}“.</translation></message>
    <message id="template.unknownToken"><source>template.unknownToken</source><translation>Unbekanntes Token „%1“. Möglich sind: %2.</translation></message>
    <message id="template.loneBrace"><source>template.loneBrace</source><translation>Zur Klammer „}“ an Stelle %1 fehlt die öffnende „{“.</translation></message>
    <!-- First start: legal acceptance -->
    <message id="legal.title"><source>legal.title</source><translation>Willkommen bei Namorix</translation></message>
    <message id="legal.subtitle"><source>legal.subtitle</source><translation>Bevor Sie Namorix verwenden, lesen und bestätigen Sie bitte die Nutzungsbedingungen und die Datenschutzhinweise.</translation></message>
    <message id="legal.terms.title"><source>legal.terms.title</source><translation>Nutzungsbedingungen</translation></message>
    <message id="legal.privacy.title"><source>legal.privacy.title</source><translation>Datenschutzhinweise</translation></message>
    <message id="legal.show.details"><source>legal.show.details</source><translation>Volltext anzeigen</translation></message>
    <message id="accessibility.legal.details"><source>accessibility.legal.details</source><translation>Volltext</translation></message>
    <message id="accessibility.legal.details.hint"><source>accessibility.legal.details.hint</source><translation>Öffnet den vollständigen Text in einem eigenen Fenster</translation></message>
    <message id="accessibility.legal.checkbox.hint"><source>accessibility.legal.checkbox.hint</source><translation>Ankreuzen, um zuzustimmen</translation></message>
    <message id="legal.button.decline"><source>legal.button.decline</source><translation>Ablehnen und beenden</translation></message>
    <message id="legal.button.accept"><source>legal.button.accept</source><translation>Zustimmen</translation></message>
    <message id="legal.button.close"><source>legal.button.close</source><translation>Schließen</translation></message>
    <!-- First start: onboarding -->
    <message id="onboarding.title"><source>onboarding.title</source><translation>Wie soll Namorix Dateien benennen?</translation></message>
    <message id="onboarding.subtitle"><source>onboarding.subtitle</source><translation>Namorix liest Datum, Absender, Betrag und Art eines Dokuments aus seinem Inhalt. Sie können die Wahl jederzeit in den Einstellungen ändern.</translation></message>
    <message id="onboarding.keyHint"><source>onboarding.keyHint</source><translation>Der Schlüssel wird im Schlüsselbund Ihrer Sitzung gespeichert (GNOME-Schlüsselbund oder KWallet), ohne Schlüsselbund in einer nur für Sie lesbaren Datei. Er geht nur an die Adresse dieses Anbieters.</translation></message>
    <message id="onboarding.localHint"><source>onboarding.localHint</source><translation>Ohne Konto, nichts verlässt diesen Rechner. Namorix liest die Angaben selbst und lernt aus Ihren Korrekturen.</translation></message>
    <message id="onboarding.modelsHint"><source>onboarding.modelsHint</source><translation>Bessere Beschreibungen mit einem Sprachmodell: Namorix schickt den Inhalt jeder Datei an den gewählten Anbieter (Ollama läuft auf einem eigenen Rechner und braucht keinen Schlüssel).</translation></message>
    <message id="onboarding.skip"><source>onboarding.skip</source><translation>Überspringen</translation></message>
    <message id="onboarding.done"><source>onboarding.done</source><translation>Fertig</translation></message>
    <!-- About window -->
    <message id="about.version"><source>about.version</source><translation>Version %1 (Build %2)</translation></message>
    <message id="about.description"><source>about.description</source><translation>Namorix gibt Dateien aussagekräftige Namen aus ihrem Inhalt. Es liest Text und Metadaten, lässt ein Sprachmodell Datum, Art und Absender erkennen und schlägt Namen vor, die Sie vor dem Umbenennen prüfen.</translation></message>
    <message id="about.sandbox.complete"><source>about.sandbox.complete</source><translation>Sandbox: aktiv</translation></message>
    <message id="about.sandbox.limited"><source>about.sandbox.limited</source><translation>Sandbox: eingeschränkt (%1)</translation></message>
    <message id="about.sandbox.tooltip"><source>about.sandbox.tooltip</source><translation>Dateien werden in eigenen Leseprogrammen gelesen, die nichts schreiben, kein Netz erreichen und keine anderen Dateien lesen können; ein Absturz oder Hänger betrifft nur die eine Datei.</translation></message>
    <message id="about.developed.by"><source>about.developed.by</source><translation>Entwickelt vom</translation></message>
    <message id="about.maker"><source>about.maker</source><translation>Namorix-Team</translation></message>
    <message id="about.copyright"><source>about.copyright</source><translation>© 2026 Namorix-Team</translation></message>
    <message id="about.rights"><source>about.rights</source><translation>Alle Rechte vorbehalten.</translation></message>
    <!-- Legal texts -->
    <message id="legal.terms.content"><source>legal.terms.content</source><translation>Nutzungsbedingungen für Namorix

1. Was Namorix tut
Namorix benennt Dateien auf Ihrem Rechner um. Dazu liest es den Inhalt der Dateien, die Sie ihm geben oder in überwachten Ordnern ablegen, schickt einen Auszug an den KI-Anbieter, den Sie gewählt haben, und bildet aus dessen Antwort einen Namen. Umbenannt wird erst, wenn Sie zustimmen, es sei denn, Sie haben das automatische Umbenennen oder einen Ordner mit automatischer Umbenennung eingeschaltet.

2. Ihre Verantwortung
Sie entscheiden, welche Dateien Namorix verarbeitet und an welchen Anbieter ihr Inhalt geht. Prüfen Sie die vorgeschlagenen Namen: Ein Sprachmodell kann Datum, Betrag oder Absender falsch erkennen. Geben Sie Namorix keine Dateien, deren Inhalt Sie nicht an den gewählten Anbieter weitergeben dürfen.

3. Dienste von Anbietern
Für Claude, OpenAI und Gemini brauchen Sie ein eigenes Konto und einen eigenen API-Schlüssel. Für deren Nutzung gelten die Bedingungen und Preise des jeweiligen Anbieters; Namorix ist mit keinem von ihnen verbunden. Ollama läuft auf Ihrem eigenen Rechner oder einem Server, den Sie angeben.

4. Rückgängig machen
Jede Umbenennung wird im Verlauf gespeichert und kann von dort zurückgenommen werden, solange die Datei unter ihrem neuen Namen am selben Ort liegt. Namorix überschreibt keine vorhandene Datei; ist ein Name vergeben, wird eine Zahl angehängt.

5. Gewährleistung und Haftung
Namorix wird ohne Zusage bestimmter Eigenschaften bereitgestellt. Für Schäden haften wir nur bei Vorsatz und grober Fahrlässigkeit sowie nach zwingenden gesetzlichen Vorschriften. Legen Sie von wichtigen Dateien Sicherungen an.

6. Änderungen
Ändern sich diese Bedingungen, fragt Namorix Sie erneut nach Ihrer Zustimmung.</translation></message>
    <message id="legal.privacy.content"><source>legal.privacy.content</source><translation>Datenschutzhinweise für Namorix

Was Ihren Rechner verlässt
Wenn Sie eine Datei umbenennen lassen, schickt Namorix an den KI-Anbieter, den Sie in den Einstellungen gewählt haben, den Dateinamen mit seiner Endung, gefundene Metadaten (etwa Kamera, Aufnahmedatum oder Titel) und bis zu 2000 Zeichen des erkannten Textes, dazu Ihre Kategorienliste und gegebenenfalls den Text einer Namensvorlage. Bei Claude, OpenAI und Gemini geht das über das Internet an diese Unternehmen; dort gelten deren Datenschutzbestimmungen. Bei Ollama bleibt alles bei dem Ollama-Server, den Sie angeben, üblicherweise auf Ihrem eigenen Rechner.

Sonst nichts
Namorix hat keine Server. Es sendet keine Nutzungsstatistik, keine Absturzberichte und keine Kennungen, und es prüft nicht selbsttätig auf Aktualisierungen. Dateien, die Sie nicht umbenennen lassen, werden nicht gelesen.

Was auf Ihrem Rechner gespeichert wird
Der Verlauf der Umbenennungen (alter und neuer Name, Pfad, Zeitpunkt, Anbieter), Ihre Vorlagen, überwachten Ordner und Einstellungen liegen in Ihrem Benutzerordner. API-Schlüssel liegen im Schlüsselbund Ihrer Sitzung (Secret Service) oder, wenn keiner verfügbar ist, in einer nur für Sie lesbaren Datei. Sie können all das jederzeit löschen.

Lokale Dienste
Die REST-API von Namorix ist nur von diesem Rechner aus erreichbar. Ist Korvex eingeschaltet, fragt Namorix die Korvex-Anwendung auf diesem Rechner nach dem schon erkannten Text einer Datei; diese Anfrage verlässt den Rechner nicht.

Ihre Rechte
Da Namorix selbst keine Daten über Sie erhebt oder speichert, liegen bei uns keine Daten vor, über die wir Auskunft geben oder die wir löschen könnten. Für die Daten, die Sie an einen KI-Anbieter schicken, wenden Sie sich an diesen.</translation></message>
    <message id="legal.impressum.content"><source>legal.impressum.content</source><translation>Impressum

Namorix wird vom Namorix-Team entwickelt.

Kontakt
Fragen, Fehlerberichte und Hinweise zu Namorix nehmen wir über die Projektseite entgegen, von der Sie Namorix bezogen haben.

Verantwortlich für den Inhalt
Das Namorix-Team.

Namorix ist ein Programm, das ausschließlich auf Ihrem Rechner läuft. Wir betreiben keinen Dienst, der Ihre Dateien oder Daten empfängt.</translation></message>
    <message id="legal.accessibility.content"><source>legal.accessibility.content</source><translation>Erklärung zur Barrierefreiheit

Namorix soll für alle bedienbar sein, auch mit Tastatur, Bildschirmleser oder Vergrößerung.

Was Namorix bietet
Alle Bedienelemente haben Namen, die Bildschirmleser über die Barrierefreiheitsschnittstelle des Desktops (AT-SPI) vorlesen. Die Fenster lassen sich mit der Tastatur bedienen: Strg+O öffnet Dateien, Strg+Z nimmt die letzte Umbenennung zurück, Strg+, öffnet die Einstellungen. Namorix folgt dem Farbschema und der Schriftgröße Ihres Desktops.

Bekannte Einschränkungen
Die farbige Hervorhebung der Unterschiede zwischen altem und neuem Namen ist zusätzlich als Text verfügbar, lässt sich aber mit einem Bildschirmleser nur zeichenweise erkunden. Die Vorschau von PDF-Dateien und Bildern ist ein Bild und wird nicht vorgelesen.

Rückmeldung
Stoßen Sie auf eine Hürde, melden Sie sie uns bitte über die Projektseite. Wir beheben Hürden bevorzugt.</translation></message>
    <!-- Tray: icon menu, panel, closing to the tray -->
    <message id="tray.showWindow"><source>tray.showWindow</source><translation>Fenster anzeigen</translation></message>
    <message id="tray.closedNotice.title"><source>tray.closedNotice.title</source><translation>Namorix läuft weiter</translation></message>
    <message id="tray.closedNotice.body"><source>tray.closedNotice.body</source><translation>Das Fenster ist geschlossen, Namorix bleibt im Systembereich. Zum Beenden mit der rechten Maustaste auf das Symbol klicken und „Beenden“ wählen.</translation></message>
    <message id="menubar.analyzing"><source>menubar.analyzing</source><translation>Dateien werden analysiert…</translation></message>
    <message id="menubar.drop"><source>menubar.drop</source><translation>Dateien hier ablegen</translation></message>
    <message id="menubar.list"><source>menubar.list</source><translation>Vorschläge</translation></message>
    <message id="menubar.cancel"><source>menubar.cancel</source><translation>Abbrechen</translation></message>
    <message id="menubar.rename"><source>menubar.rename</source><translation>Umbenennen</translation></message>
    <message id="cli.hidden"><source>cli.hidden</source><translation>Nur im Systembereich starten, ohne Fenster (für den Autostart)</translation></message>
    <message id="cli.log"><source>cli.log</source><translation>Jede Entscheidung protokollieren (warum eine Datei wartet, übersprungen oder so benannt wird) – auf der Standardfehlerausgabe</translation></message>
    <!-- The core: engine, file moves, queue -->
    <message id="watch.alreadyWatched"><source>watch.alreadyWatched</source><translation>%1 wird bereits überwacht</translation></message>
    <message id="watch.notFound"><source>watch.notFound</source><translation>%1 wird nicht überwacht</translation></message>
    <message id="error.providerNotConfigured"><source>error.providerNotConfigured</source><translation>%1 nicht eingerichtet (API-Schlüssel fehlt)</translation></message>
    <message id="error.providerUnreachable"><source>error.providerUnreachable</source><translation>%1 nicht erreichbar: %2</translation></message>
    <message id="error.fileNotReadable"><source>error.fileNotReadable</source><translation>Datei nicht lesbar: %1</translation></message>
    <message id="error.fileNotFound"><source>error.fileNotFound</source><translation>Datei nicht gefunden: %1</translation></message>
    <message id="error.fileNotWritable"><source>error.fileNotWritable</source><translation>Kein Schreibzugriff: %1</translation></message>
    <message id="error.historyNotWritable"><source>error.historyNotWritable</source><translation>Verlauf nicht beschreibbar: %1</translation></message>
    <message id="error.termsNotAccepted"><source>error.termsNotAccepted</source><translation>Die Nutzungsbedingungen sind noch nicht angenommen: Namorix sendet keine Datei an einen Anbieter und benennt keine um.</translation></message>
    <message id="error.otherFileAtName"><source>error.otherFileAtName</source><translation>An diesem Namen liegt inzwischen eine andere Datei: %1</translation></message>
    <message id="store.cannotOpen"><source>store.cannotOpen</source><translation>Die Datenbank %1 kann nicht geöffnet werden: %2</translation></message>
    <message id="store.corrupt"><source>store.corrupt</source><translation>Die Datenbank %1 ist beschädigt oder keine Namorix-Datenbank (%2). Die Datei bleibt unverändert.</translation></message>
    <message id="store.newerSchema"><source>store.newerSchema</source><translation>Die Datenbank %1 stammt von einer neueren Namorix-Version (%2). Die Datei bleibt unverändert.</translation></message>
    <message id="store.failed"><source>store.failed</source><translation>Die Datenbank %1 meldet einen Fehler: %2</translation></message>
    <message id="store.notFound"><source>store.notFound</source><translation>Der Eintrag %1 ist nicht (mehr) gespeichert.</translation></message>
    <message id="move.exists"><source>move.exists</source><translation>Eine Datei mit diesem Namen existiert bereits</translation></message>
    <message id="move.missing"><source>move.missing</source><translation>Die Datei existiert nicht mehr</translation></message>
    <message id="move.permission"><source>move.permission</source><translation>Keine Berechtigung</translation></message>
    <message id="move.readOnly"><source>move.readOnly</source><translation>Das Dateisystem ist schreibgeschützt</translation></message>
    <message id="move.nameTooLong"><source>move.nameTooLong</source><translation>Der Dateiname ist zu lang</translation></message>
    <message id="move.noSpace"><source>move.noSpace</source><translation>Kein Speicherplatz mehr</translation></message>
    <message id="move.failed"><source>move.failed</source><translation>Umbenennen fehlgeschlagen: %1</translation></message>
    <message id="apply.historyNotWritable"><source>apply.historyNotWritable</source><translation>Verlauf nicht beschreibbar, nichts umbenannt: %1</translation></message>
    <message id="apply.notFound"><source>apply.notFound</source><translation>%1 nicht gefunden</translation></message>
    <message id="apply.changed"><source>apply.changed</source><translation>Datei seit der Analyse verändert: %1</translation></message>
    <message id="apply.folderNotWritable"><source>apply.folderNotWritable</source><translation>Kein Schreibzugriff auf %1</translation></message>
    <message id="apply.attributes"><source>apply.attributes</source><translation>Dateiattribute nicht lesbar: %1</translation></message>
    <message id="apply.noFreeName"><source>apply.noFreeName</source><translation>Kein freier Name für %1</translation></message>
    <message id="apply.noHistory"><source>apply.noHistory</source><translation>Umbenennen nicht möglich: der Verlauf ist nicht verfügbar</translation></message>
    <message id="preview.askAgain"><source>preview.askAgain</source><translation>Neu analysieren</translation></message>
    <message id="rules.regexEmpty"><source>rules.regexEmpty</source><translation>Eine Ersetzungsregel braucht ein Suchmuster.</translation></message>
    <message id="rules.regexInvalid"><source>rules.regexInvalid</source><translation>„%1“ ist kein gültiger regulärer Ausdruck.</translation></message>
    <message id="rules.lengthInvalid"><source>rules.lengthInvalid</source><translation>Die höchste Namenslänge muss mindestens 1 Zeichen sein (angegeben: %1).</translation></message>
    <message id="provider.redirect"><source>provider.redirect</source><translation>Der Anbieter leitet auf eine andere Adresse um (%1); die Anfrage wird dorthin nicht gesendet.</translation></message>
    <message id="provider.redirect.key"><source>provider.redirect.key</source><translation>Der Anbieter leitet auf eine andere Adresse um (%1); der Schlüssel wird dorthin nicht gesendet.</translation></message>
    <message id="edit.slash"><source>edit.slash</source><translation>Ein Dateiname kann kein „/“ enthalten: Umbenennen verschiebt keine Dateien in andere Ordner.</translation></message>
    <message id="edit.empty"><source>edit.empty</source><translation>Der Dateiname darf nicht leer sein.</translation></message>
    <message id="apply.invalidName"><source>apply.invalidName</source><translation>Ungültiger Dateiname: %1</translation></message>
    <message id="apply.stopped" numerus="yes"><source>apply.stopped</source><translation><numerusform>Angehalten: %n Datei unverändert</numerusform><numerusform>Angehalten: %n Dateien unverändert</numerusform></translation></message>
    <message id="apply.notListed"><source>apply.notListed</source><translation>Auftrag %1 ist nicht (mehr) in der Liste</translation></message>
    <message id="run.cancelled"><source>run.cancelled</source><translation>Analyse abgebrochen</translation></message>
    <message id="run.failed"><source>run.failed</source><translation>%1 von %2 fehlgeschlagen</translation></message>
    <message id="provider.invalidEndpoint"><source>provider.invalidEndpoint</source><translation>Ungültiger Endpoint</translation></message>
    <message id="provider.timeout"><source>provider.timeout</source><translation>Zeitüberschreitung nach 5 s</translation></message>
    <message id="provider.notReachableAt"><source>provider.notReachableAt</source><translation>Nicht erreichbar unter %1</translation></message>
    <message id="run.skippedAll" numerus="yes"><source>run.skippedAll</source><translation><numerusform>%n Datei übersprungen (bereits umbenannt)</numerusform><numerusform>%n Dateien übersprungen (bereits umbenannt)</numerusform></translation></message>
    <message id="run.skippedInHistory.shown" numerus="yes"><source>run.skippedInHistory.shown</source><translation><numerusform>%n übersprungen (schon umbenannt, steht im Verlauf)</numerusform><numerusform>%n übersprungen (schon umbenannt, stehen im Verlauf)</numerusform></translation></message>
    <message id="run.skippedInHistory" numerus="yes"><source>run.skippedInHistory</source><translation><numerusform>%n übersprungen (bereits in History)</numerusform><numerusform>%n übersprungen (bereits in History)</numerusform></translation></message>
    <message id="queue.renamed" numerus="yes"><source>queue.renamed</source><translation><numerusform>%n Datei umbenannt</numerusform><numerusform>%n Dateien umbenannt</numerusform></translation></message>
    <message id="queue.review" numerus="yes"><source>queue.review</source><translation><numerusform>%n Datei braucht eine Prüfung</numerusform><numerusform>%n Dateien brauchen eine Prüfung</numerusform></translation></message>
    <message id="queue.show"><source>queue.show</source><translation>Anzeigen</translation></message>
    <!-- Grounding: why a value of the reply is not backed by the document -->
    <message id="grounding.date.unreadable"><source>grounding.date.unreadable</source><translation>Datum nicht lesbar: %1</translation></message>
    <message id="grounding.date.future"><source>grounding.date.future</source><translation>Datum liegt in der Zukunft</translation></message>
    <message id="grounding.date.tooEarly"><source>grounding.date.tooEarly</source><translation>Datum vor %1 ist unplausibel</translation></message>
    <message id="grounding.date.notFound"><source>grounding.date.notFound</source><translation>Datum nicht im Dokument gefunden</translation></message>
    <message id="grounding.date.notCaptureDate"><source>grounding.date.notCaptureDate</source><translation>Datum weicht vom Aufnahmedatum ab (%1)</translation></message>
    <message id="grounding.date.uncheckable"><source>grounding.date.uncheckable</source><translation>Datum nicht prüfbar: die Datei hat weder Text noch Aufnahmedatum</translation></message>
    <message id="grounding.amount.uncheckable"><source>grounding.amount.uncheckable</source><translation>Betrag nicht prüfbar: die Datei hat keinen Text</translation></message>
    <message id="grounding.amount.unreadable"><source>grounding.amount.unreadable</source><translation>Betrag nicht lesbar: %1</translation></message>
    <message id="grounding.amount.notFound"><source>grounding.amount.notFound</source><translation>Betrag nicht im Dokument gefunden</translation></message>
    <message id="grounding.sender.notFound"><source>grounding.sender.notFound</source><translation>Absender nicht im Dokument gefunden</translation></message>
    <message id="grounding.category.notListed"><source>grounding.category.notListed</source><translation>Kategorie nicht in der Liste: %1</translation></message>
    <message id="grounding.fallback"><source>grounding.fallback</source><translation>Keine verwertbare Antwort: der Name ist die erste Zeile der Antwort</translation></message>
    <!-- The companion (Korvex) -->
    <message id="kvx.invalidURL"><source>kvx.invalidURL</source><translation>Ungültige KVX-URL</translation></message>
    <message id="kvx.requestFailed"><source>kvx.requestFailed</source><translation>KVX-Anfrage fehlgeschlagen</translation></message>
    <message id="kvx.notIndexed"><source>kvx.notIndexed</source><translation>Datei nicht in KVX indexiert</translation></message>
    <message id="kvx.emptyText"><source>kvx.emptyText</source><translation>KVX lieferte keinen Text</translation></message>
    <message id="kvx.decoding"><source>kvx.decoding</source><translation>Ungültige KVX-Antwort: %1</translation></message>
    <message id="kvx.transport"><source>kvx.transport</source><translation>KVX nicht erreichbar: %1</translation></message>
    <message id="kvx.memberMissing"><source>kvx.memberMissing</source><translation>"%1" fehlt</translation></message>
    <message id="kvx.resultIncomplete"><source>kvx.resultIncomplete</source><translation>Suchergebnis ohne "id" oder "file_path"</translation></message>
    <message id="kvx.pageIncomplete"><source>kvx.pageIncomplete</source><translation>Seite ohne "page" oder "text"</translation></message>
    <!-- REST API -->
    <message id="api.tooLarge"><source>api.tooLarge</source><translation>Anfrage zu groß</translation></message>
    <!-- Transport failures (Qt's own texts are English) -->
    <message id="network.none"><source>network.none</source><translation>Kein Fehler</translation></message>
    <message id="network.connectionRefused"><source>network.connectionRefused</source><translation>Verbindung abgelehnt</translation></message>
    <message id="network.remoteHostClosed"><source>network.remoteHostClosed</source><translation>Verbindung vom Server getrennt</translation></message>
    <message id="network.hostNotFound"><source>network.hostNotFound</source><translation>Server nicht gefunden</translation></message>
    <message id="network.timeout"><source>network.timeout</source><translation>Zeitüberschreitung</translation></message>
    <message id="network.operationCanceled"><source>network.operationCanceled</source><translation>Abgebrochen</translation></message>
    <message id="network.sslHandshakeFailed"><source>network.sslHandshakeFailed</source><translation>SSL-Fehler</translation></message>
    <message id="network.temporaryNetworkFailure"><source>network.temporaryNetworkFailure</source><translation>Netzwerk vorübergehend nicht verfügbar</translation></message>
    <message id="network.networkSessionFailed"><source>network.networkSessionFailed</source><translation>Keine Netzwerkverbindung</translation></message>
    <message id="network.backgroundRequestNotAllowed"><source>network.backgroundRequestNotAllowed</source><translation>Anfrage im Hintergrund nicht erlaubt</translation></message>
    <message id="network.tooManyRedirects"><source>network.tooManyRedirects</source><translation>Zu viele Weiterleitungen</translation></message>
    <message id="network.insecureRedirect"><source>network.insecureRedirect</source><translation>Unsichere Weiterleitung</translation></message>
    <message id="network.unknownNetwork"><source>network.unknownNetwork</source><translation>Unbekannter Netzwerkfehler</translation></message>
    <message id="network.proxyConnectionRefused"><source>network.proxyConnectionRefused</source><translation>Proxy: Verbindung abgelehnt</translation></message>
    <message id="network.proxyConnectionClosed"><source>network.proxyConnectionClosed</source><translation>Proxy: Verbindung getrennt</translation></message>
    <message id="network.proxyNotFound"><source>network.proxyNotFound</source><translation>Proxy nicht gefunden</translation></message>
    <message id="network.proxyTimeout"><source>network.proxyTimeout</source><translation>Proxy: Zeitüberschreitung</translation></message>
    <message id="network.proxyAuthenticationRequired"><source>network.proxyAuthenticationRequired</source><translation>Proxy verlangt eine Anmeldung</translation></message>
    <message id="network.unknownProxy"><source>network.unknownProxy</source><translation>Unbekannter Proxy-Fehler</translation></message>
    <message id="network.contentAccessDenied"><source>network.contentAccessDenied</source><translation>Zugriff verweigert</translation></message>
    <message id="network.contentOperationNotPermitted"><source>network.contentOperationNotPermitted</source><translation>Vorgang nicht erlaubt</translation></message>
    <message id="network.contentNotFound"><source>network.contentNotFound</source><translation>Nicht gefunden</translation></message>
    <message id="network.authenticationRequired"><source>network.authenticationRequired</source><translation>Anmeldung erforderlich</translation></message>
    <message id="network.contentReSend"><source>network.contentReSend</source><translation>Anfrage konnte nicht erneut gesendet werden</translation></message>
    <message id="network.contentConflict"><source>network.contentConflict</source><translation>Konflikt mit dem Zustand auf dem Server</translation></message>
    <message id="network.contentGone"><source>network.contentGone</source><translation>Nicht mehr vorhanden</translation></message>
    <message id="network.unknownContent"><source>network.unknownContent</source><translation>Unbekannter Inhaltsfehler</translation></message>
    <message id="network.protocolUnknown"><source>network.protocolUnknown</source><translation>Protokoll nicht unterstützt</translation></message>
    <message id="network.protocolInvalidOperation"><source>network.protocolInvalidOperation</source><translation>Vorgang im Protokoll ungültig</translation></message>
    <message id="network.protocolFailure"><source>network.protocolFailure</source><translation>Protokollfehler</translation></message>
    <message id="network.internalServer"><source>network.internalServer</source><translation>Interner Serverfehler</translation></message>
    <message id="network.operationNotImplemented"><source>network.operationNotImplemented</source><translation>Vom Server nicht unterstützt</translation></message>
    <message id="network.serviceUnavailable"><source>network.serviceUnavailable</source><translation>Dienst nicht verfügbar</translation></message>
    <message id="network.unknownServer"><source>network.unknownServer</source><translation>Unbekannter Serverfehler</translation></message>
    <message id="network.code"><source>network.code</source><translation>Netzwerkfehler (Code %1)</translation></message>
    <!-- Provider clients -->
    <message id="provider.noAnswer"><source>provider.noAnswer</source><translation>Zeitüberschreitung: keine Antwort nach %1 s</translation></message>
    <message id="provider.network"><source>provider.network</source><translation>Netzwerkfehler: %1</translation></message>
    <message id="provider.invalidEndpointAt"><source>provider.invalidEndpointAt</source><translation>Ungültiger Endpoint: %1</translation></message>
    <message id="provider.notJson"><source>provider.notJson</source><translation>Antwort ist kein JSON (Fehler bei Byte %1)</translation></message>
    <message id="provider.invalidReply"><source>provider.invalidReply</source><translation>Ungültige Antwort</translation></message>
    <message id="provider.apple.unavailable"><source>provider.apple.unavailable</source><translation>Apple Foundation Models erfordert macOS 26 oder neuer</translation></message>
    <message id="provider.local.name"><source>provider.local.name</source><translation>Auf diesem Gerät</translation></message>
    <!-- The settings file -->
    <message id="settings.file.unreadable"><source>settings.file.unreadable</source><translation>Die Einstellungsdatei %1 kann nicht gelesen werden (%2). Es gelten die Standardwerte, Änderungen werden nicht gespeichert.</translation></message>
    <message id="settings.file.setAside"><source>settings.file.setAside</source><translation>Die Einstellungsdatei war beschädigt und wurde als %1 gesichert. Es gelten die Standardwerte.</translation></message>
    <message id="settings.file.damaged"><source>settings.file.damaged</source><translation>Die Einstellungsdatei %1 ist beschädigt und konnte nicht beiseitegelegt werden. Es gelten die Standardwerte, Änderungen werden nicht gespeichert.</translation></message>
    <!-- Files that are not analysed or renamed -->
    <message id="file.notUtf8"><source>file.notUtf8</source><translation>Dateiname nicht in UTF-8: %1</translation></message>
    <message id="file.notRegular"><source>file.notRegular</source><translation>Keine reguläre Datei: %1 (%2)</translation></message>
    <message id="file.kind.link"><source>file.kind.link</source><translation>symbolischer Link</translation></message>
    <message id="file.kind.device"><source>file.kind.device</source><translation>Gerätedatei</translation></message>
    <message id="file.kind.fifo"><source>file.kind.fifo</source><translation>FIFO</translation></message>
    <message id="file.kind.socket"><source>file.kind.socket</source><translation>Socket</translation></message>
    <message id="file.kind.folder"><source>file.kind.folder</source><translation>Ordner</translation></message>
    <message id="file.kind.special"><source>file.kind.special</source><translation>Sonderdatei</translation></message>
    <message id="file.kind.system"><source>file.kind.system</source><translation>Systemdatei</translation></message>
    <!-- Settings window: the autostart entry -->
    <message id="settings.autostart.notRemoved"><source>settings.autostart.notRemoved</source><translation>Autostart-Eintrag %1 lässt sich nicht entfernen</translation></message>
    <message id="settings.autostart.notWritten"><source>settings.autostart.notWritten</source><translation>Autostart-Eintrag %1 lässt sich nicht schreiben</translation></message>
    <message id="settings.autostart.comment"><source>settings.autostart.comment</source><translation>Startet Namorix beim Anmelden im Systembereich</translation></message>
    <!-- Rules tab -->
    <message id="rules.title"><source>rules.title</source><translation>Regeln</translation></message>
    <message id="rules.categories.title"><source>rules.categories.title</source><translation>Kategorien für die KI</translation></message>
    <message id="rules.categories.footer"><source>rules.categories.footer</source><translation>Die KI wählt aus dieser Liste den passenden Wert für {kategorie}.</translation></message>
    <message id="rules.regex.title"><source>rules.regex.title</source><translation>Regex Find/Replace</translation></message>
    <message id="rules.format.title"><source>rules.format.title</source><translation>Namensformat</translation></message>
    <message id="rules.format.label"><source>rules.format.label</source><translation>Format</translation></message>
    <message id="rules.tokens.extracted"><source>rules.tokens.extracted</source><translation>Von der KI extrahiert</translation></message>
    <message id="rules.token.datum"><source>rules.token.datum</source><translation>Datum aus dem Dokument</translation></message>
    <message id="rules.token.kategorie"><source>rules.token.kategorie</source><translation>Dokumenttyp (z.B. Rechnung)</translation></message>
    <message id="rules.token.beschreibung"><source>rules.token.beschreibung</source><translation>Kurzbeschreibung des Inhalts</translation></message>
    <message id="rules.token.absender"><source>rules.token.absender</source><translation>Absender oder Firma</translation></message>
    <message id="rules.token.betrag"><source>rules.token.betrag</source><translation>Geldbetrag falls vorhanden</translation></message>
    <message id="rules.tokens.fixed"><source>rules.tokens.fixed</source><translation>Fester Wert</translation></message>
    <message id="rules.token.sep"><source>rules.token.sep</source><translation>Gewähltes Trennzeichen</translation></message>
    <message id="rules.post.title"><source>rules.post.title</source><translation>Nachbearbeitung</translation></message>
    <message id="rules.post.footer"><source>rules.post.footer</source><translation>Diese Regeln werden auf den fertigen Namen angewendet, nachdem die KI-Werte eingesetzt wurden.</translation></message>
    <message id="rules.date.label"><source>rules.date.label</source><translation>Datumsformat</translation></message>
    <message id="rules.date.iso"><source>rules.date.iso</source><translation>JJJJ-MM-TT</translation></message>
    <message id="rules.date.de"><source>rules.date.de</source><translation>TT.MM.JJJJ</translation></message>
    <message id="rules.date.us"><source>rules.date.us</source><translation>MM-TT-JJJJ</translation></message>
    <message id="rules.date.compact"><source>rules.date.compact</source><translation>JJJJMMTT</translation></message>
    <message id="rules.date.none"><source>rules.date.none</source><translation>Kein Datum</translation></message>
    <message id="rules.date.tooltip"><source>rules.date.tooltip</source><translation>Formatiert das von der KI extrahierte {datum}</translation></message>
    <message id="rules.casing.label"><source>rules.casing.label</source><translation>Groß-/Kleinschreibung</translation></message>
    <message id="rules.casing.lower"><source>rules.casing.lower</source><translation>kleinbuchstaben</translation></message>
    <message id="rules.casing.title"><source>rules.casing.title</source><translation>Erster Buchstabe groß</translation></message>
    <message id="rules.casing.upper"><source>rules.casing.upper</source><translation>GROSSBUCHSTABEN</translation></message>
    <message id="rules.casing.preserve"><source>rules.casing.preserve</source><translation>Wie von der KI</translation></message>
    <message id="rules.separator.label"><source>rules.separator.label</source><translation>Trennzeichen</translation></message>
    <message id="rules.separator.dash"><source>rules.separator.dash</source><translation>Bindestrich (-)</translation></message>
    <message id="rules.separator.underscore"><source>rules.separator.underscore</source><translation>Unterstrich (_)</translation></message>
    <message id="rules.separator.dot"><source>rules.separator.dot</source><translation>Punkt (.)</translation></message>
    <message id="rules.umlauts"><source>rules.umlauts</source><translation>Umlaute ersetzen (ä→ae)</translation></message>
    <message id="rules.affix.title"><source>rules.affix.title</source><translation>Prefix / Suffix</translation></message>
    <message id="rules.prefix"><source>rules.prefix</source><translation>Prefix</translation></message>
    <message id="rules.prefix.placeholder"><source>rules.prefix.placeholder</source><translation>z.B. DOK</translation></message>
    <message id="rules.suffix"><source>rules.suffix</source><translation>Suffix</translation></message>
    <message id="rules.suffix.placeholder"><source>rules.suffix.placeholder</source><translation>z.B. archiv</translation></message>
    <message id="rules.maxLength"><source>rules.maxLength</source><translation>Max. Länge</translation></message>
    <message id="rules.maxLength.prefix"><source>rules.maxLength.prefix</source><translation>Max. Länge: </translation></message>
    <message id="rules.preview"><source>rules.preview</source><translation>Vorschau: %1</translation></message>
    <message id="rules.add"><source>rules.add</source><translation>Hinzufügen</translation></message>
    <message id="rules.category.new"><source>rules.category.new</source><translation>Neue Kategorie</translation></message>
    <message id="rules.category.add"><source>rules.category.add</source><translation>Kategorie hinzufügen</translation></message>
    <message id="rules.category.remove"><source>rules.category.remove</source><translation>Kategorie „%1“ entfernen</translation></message>
    <message id="rules.regex.pattern"><source>rules.regex.pattern</source><translation>Pattern</translation></message>
    <message id="rules.regex.replacement"><source>rules.regex.replacement</source><translation>Ersetzung</translation></message>
    <message id="rules.regex.add"><source>rules.regex.add</source><translation>Regel hinzufügen</translation></message>
    <message id="rules.regex.example"><source>rules.regex.example</source><translation>z.B. ^IMG_\d+ → (leer) entfernt Kamera-Prefixe</translation></message>
    <message id="rules.regex.enabled"><source>rules.regex.enabled</source><translation>Regel „%1“ aktiv</translation></message>
    <message id="rules.regex.empty"><source>rules.regex.empty</source><translation>(leer)</translation></message>
    <message id="rules.regex.remove"><source>rules.regex.remove</source><translation>Regel „%1“ entfernen</translation></message>
    <!-- Template editor -->
    <message id="templates.add"><source>templates.add</source><translation>Vorlage hinzufügen</translation></message>
    <message id="templates.delete"><source>templates.delete</source><translation>Vorlage löschen</translation></message>
    <message id="templates.list"><source>templates.list</source><translation>Vorlagen</translation></message>
    <message id="templates.empty"><source>templates.empty</source><translation>Noch keine Vorlagen. Eine Vorlage gibt der KI ein Namensmuster vor; „+“ legt eine an.</translation></message>
    <message id="templates.placeholder"><source>templates.placeholder</source><translation>Vorlage auswählen oder neue erstellen</translation></message>
    <message id="templates.newName"><source>templates.newName</source><translation>Neue Vorlage</translation></message>
    <message id="templates.default"><source>templates.default</source><translation>Standard-Vorlage</translation></message>
    <message id="templates.name"><source>templates.name</source><translation>Name</translation></message>
    <message id="templates.pattern"><source>templates.pattern</source><translation>Muster</translation></message>
    <message id="templates.example"><source>templates.example</source><translation>Beispiel</translation></message>
    <message id="templates.sample"><source>templates.sample</source><translation>für IMG_2041.jpg, ein Handyfoto einer Stromrechnung der Stadtwerke über 49,99 €, zuletzt geändert am 15.03.2024 um 14:30</translation></message>
    <message id="templates.tokens"><source>templates.tokens</source><translation>Verfügbare Tokens</translation></message>
    <message id="api.relativePath"><source>api.relativePath</source><translation>Pfade müssen absolut sein</translation></message>
    <message id="api.invalidPath"><source>api.invalidPath</source><translation>Ungültiger Pfad: enthält ein Nullzeichen oder ist kein gültiges UTF-8</translation></message>
    <message id="api.invalidProvider"><source>api.invalidProvider</source><translation>Ungültiger Provider. Gültig: %1</translation></message>
    <message id="api.jsonExpected"><source>api.jsonExpected</source><translation>Content-Type application/json erwartet</translation></message>
    <message id="api.idsExpected"><source>api.idsExpected</source><translation>ids: Liste von Job-IDs erwartet</translation></message>
    <!-- The sandboxed helpers that read the files -->
    <message id="extract.unreadable"><source>extract.unreadable</source><translation>Datei konnte nicht gelesen werden: %1</translation></message>
    <message id="extract.helperExited"><source>extract.helperExited</source><translation>das Leseprogramm hat sich unerwartet beendet (Status %1)</translation></message>
    <message id="extract.cpuLimit"><source>extract.cpuLimit</source><translation>Rechenzeitgrenze überschritten</translation></message>
    <message id="extract.helperKilled"><source>extract.helperKilled</source><translation>das Leseprogramm wurde beendet (Signal %1)</translation></message>
    <message id="extract.helperCrashed"><source>extract.helperCrashed</source><translation>das Leseprogramm ist abgestürzt (Signal %1)</translation></message>
    <message id="extract.helperStopped"><source>extract.helperStopped</source><translation>das Leseprogramm wurde beendet</translation></message>
    <message id="extract.helperNotStarted"><source>extract.helperNotStarted</source><translation>das Leseprogramm konnte nicht gestartet werden (%1)</translation></message>
    <message id="extract.timeLimit"><source>extract.timeLimit</source><translation>Zeitlimit von %1 s überschritten</translation></message>
    <message id="extract.invalidReply"><source>extract.invalidReply</source><translation>das Leseprogramm hat ungültig geantwortet</translation></message>
    <message id="extract.memoryLimit"><source>extract.memoryLimit</source><translation>Speichergrenze überschritten</translation></message>
    <message id="sandbox.noLandlock"><source>sandbox.noLandlock</source><translation>kein Landlock</translation></message>
    <message id="sandbox.noSeccomp"><source>sandbox.noSeccomp</source><translation>kein seccomp</translation></message>
    <message id="media.unreadable"><source>media.unreadable</source><translation>Keine lesbare Audio- oder Videodatei: %1</translation></message>
    <message id="media.timeout"><source>media.timeout</source><translation>Zeitüberschreitung beim Lesen</translation></message>
    <message id="media.notRegular"><source>media.notRegular</source><translation>keine reguläre Datei</translation></message>
    <message id="media.notFound"><source>media.notFound</source><translation>Datei nicht gefunden</translation></message>
    <message id="media.noMemory"><source>media.noMemory</source><translation>kein Speicher</translation></message>
    <message id="media.noStream"><source>media.noStream</source><translation>keine Audio- oder Videospur gefunden</translation></message>
    <!-- Why a helper could not draw a preview -->
    <message id="preview.render.notPdf"><source>preview.render.notPdf</source><translation>die Datei ist kein lesbares PDF</translation></message>
    <message id="preview.render.encrypted"><source>preview.render.encrypted</source><translation>das PDF ist verschlüsselt</translation></message>
    <message id="preview.render.noPage"><source>preview.render.noPage</source><translation>das PDF hat keine Seite %1</translation></message>
    <message id="preview.render.emptyPage"><source>preview.render.emptyPage</source><translation>die Seite ist leer oder beschädigt</translation></message>
    <message id="preview.render.notDrawn"><source>preview.render.notDrawn</source><translation>die Seite konnte nicht gezeichnet werden</translation></message>
    <message id="preview.render.tooLarge"><source>preview.render.tooLarge</source><translation>das Bild ist zu groß</translation></message>
    <message id="preview.render.unreadableImage"><source>preview.render.unreadableImage</source><translation>das Bild konnte nicht gelesen werden</translation></message>
    <message id="preview.render.unreadable"><source>preview.render.unreadable</source><translation>die Datei ist nicht lesbar</translation></message>
    <!-- A picture whose text no installed language reads -->
    <message id="image.unreadScript"><source>image.unreadScript</source><translation>Text in %1 nicht gelesen: keine Sprachdaten dafür installiert</translation></message>
    <message id="image.script.cyrillic"><source>image.script.cyrillic</source><translation>kyrillischer Schrift</translation></message>
    <message id="image.script.greek"><source>image.script.greek</source><translation>griechischer Schrift</translation></message>
    <message id="image.script.arabic"><source>image.script.arabic</source><translation>arabischer Schrift</translation></message>
    <message id="image.script.hebrew"><source>image.script.hebrew</source><translation>hebräischer Schrift</translation></message>
    <message id="image.script.chinese"><source>image.script.chinese</source><translation>chinesischer Schrift</translation></message>
    <message id="image.script.japanese"><source>image.script.japanese</source><translation>japanischer Schrift</translation></message>
    <message id="image.script.korean"><source>image.script.korean</source><translation>koreanischer Schrift</translation></message>
    <message id="image.script.thai"><source>image.script.thai</source><translation>thailändischer Schrift</translation></message>
    <message id="image.script.fraktur"><source>image.script.fraktur</source><translation>Frakturschrift</translation></message>
    <message id="image.script.other"><source>image.script.other</source><translation>der Schrift %1</translation></message>
    <!-- Command line (namorix-cli) -->
    <message id="terminal.noReply"><source>terminal.noReply</source><translation>Keine Antwort von Namorix.</translation></message>
    <message id="terminal.httpStatus"><source>terminal.httpStatus</source><translation>Namorix antwortet mit Status %1.</translation></message>
    <message id="terminal.refused"><source>terminal.refused</source><translation>Die laufende Namorix-App lehnt die Anfrage ab (%1). Stimmt das API-Token in den Einstellungen?</translation></message>
    <message id="terminal.appSilent"><source>terminal.appSilent</source><translation>Die laufende Namorix-App antwortet nicht. Bitte versuchen Sie es gleich noch einmal.</translation></message>
    <message id="terminal.viaPort"><source>terminal.viaPort</source><translation>API auf Port %1</translation></message>
    <message id="terminal.viaSocket"><source>terminal.viaSocket</source><translation>API über %1</translation></message>
    <message id="terminal.headless"><source>terminal.headless</source><translation>Verlauf in %1</translation></message>
    <message id="terminal.termsMissing"><source>terminal.termsMissing</source><translation>Bitte öffnen Sie Namorix einmal und nehmen Sie die Nutzungsbedingungen an.</translation></message>
    <message id="terminal.usage"><source>terminal.usage</source><translation>Aufruf: namorix-cli BEFEHL [Optionen] …

Befehle:
  suggest DATEI…   Namen vorschlagen, nichts umbenennen
  rename DATEI…    Dateien umbenennen (fragt vorher)
  undo             Umbenennungen rückgängig machen
  history          Den Verlauf zeigen
  status           Zeigen, ob die App läuft und welcher KI-Anbieter gewählt ist

Hilfe zu einem Befehl: namorix-cli BEFEHL --help
</translation></message>
    <message id="terminal.unknownCommand"><source>terminal.unknownCommand</source><translation>Unbekannter Befehl: %1</translation></message>
    <message id="terminal.option.help"><source>terminal.option.help</source><translation>Zeigt diese Hilfe.</translation></message>
    <message id="terminal.option.json"><source>terminal.option.json</source><translation>Gibt die Objekte der REST-API aus statt der Tabelle.</translation></message>
    <message id="terminal.about.suggest"><source>terminal.about.suggest</source><translation>Schlägt Namen für die Dateien vor, ohne sie umzubenennen.</translation></message>
    <message id="terminal.about.rename"><source>terminal.about.rename</source><translation>Schlägt Namen vor und benennt die Dateien nach einer Rückfrage um.</translation></message>
    <message id="terminal.about.undo"><source>terminal.about.undo</source><translation>Macht Umbenennungen rückgängig.</translation></message>
    <message id="terminal.about.history"><source>terminal.about.history</source><translation>Zeigt den Verlauf der Umbenennungen, den neuesten zuerst.</translation></message>
    <message id="terminal.about.status"><source>terminal.about.status</source><translation>Zeigt, ob die App läuft, den KI-Anbieter und die Warteschlange.</translation></message>
    <message id="terminal.seeHelp"><source>terminal.seeHelp</source><translation>Hilfe: namorix-cli %1 --help</translation></message>
    <message id="terminal.progress"><source>terminal.progress</source><translation>Analysiere … %1/%2</translation></message>
    <message id="terminal.unknownTemplate"><source>terminal.unknownTemplate</source><translation>Keine Vorlage namens „%1“. Vorhanden: %2</translation></message>
    <message id="terminal.option.dryRun"><source>terminal.option.dryRun</source><translation>Nur zeigen, was umbenannt würde.</translation></message>
    <message id="terminal.option.template"><source>terminal.option.template</source><translation>Die Namensvorlage mit diesem Namen verwenden.</translation></message>
    <message id="terminal.option.yes"><source>terminal.option.yes</source><translation>Ohne Rückfrage umbenennen, auch bei ungeprüftem Datum oder Betrag.</translation></message>
    <message id="terminal.option.files"><source>terminal.option.files</source><translation>Dateien oder Ordner</translation></message>
    <message id="terminal.noFiles"><source>terminal.noFiles</source><translation>Keine Dateien angegeben.</translation></message>
    <message id="terminal.missingFile"><source>terminal.missingFile</source><translation>Datei nicht gefunden</translation></message>
    <message id="terminal.analysing" numerus="yes"><source>terminal.analysing</source><translation><numerusform>Analysiere %n Datei …</numerusform><numerusform>Analysiere %n Dateien …</numerusform></translation></message>
    <message id="terminal.cancelled"><source>terminal.cancelled</source><translation>Abgebrochen – nichts umbenannt.</translation></message>
    <message id="terminal.column.file"><source>terminal.column.file</source><translation>Datei</translation></message>
    <message id="terminal.column.newName"><source>terminal.column.newName</source><translation>Neuer Name</translation></message>
    <message id="terminal.column.confidence"><source>terminal.column.confidence</source><translation>Sicherheit</translation></message>
    <message id="terminal.column.note"><source>terminal.column.note</source><translation>Hinweis</translation></message>
    <message id="terminal.unverified"><source>terminal.unverified</source><translation>ungeprüft: %1</translation></message>
    <message id="terminal.unchanged"><source>terminal.unchanged</source><translation>Name bleibt</translation></message>
    <message id="terminal.needsReview"><source>terminal.needsReview</source><translation>nicht umbenannt, weil ungeprüft (%1) – prüfen Sie den Namen oder bestätigen Sie mit --yes</translation></message>
    <message id="terminal.skipped"><source>terminal.skipped</source><translation>übersprungen: ungeprüft</translation></message>
    <message id="terminal.dryRun"><source>terminal.dryRun</source><translation>Probelauf – nichts umbenannt.</translation></message>
    <message id="terminal.nothingToRename"><source>terminal.nothingToRename</source><translation>Nichts umzubenennen.</translation></message>
    <message id="terminal.confirm" numerus="yes"><source>terminal.confirm</source><translation><numerusform>%n Datei umbenennen? [j/N] </numerusform><numerusform>%n Dateien umbenennen? [j/N] </numerusform></translation></message>
    <message id="terminal.declined"><source>terminal.declined</source><translation>Nichts umbenannt.</translation></message>
    <message id="terminal.renamed" numerus="yes"><source>terminal.renamed</source><translation><numerusform>%n Datei umbenannt.</numerusform><numerusform>%n Dateien umbenannt.</numerusform></translation></message>
    <message id="terminal.undoHint"><source>terminal.undoHint</source><translation>Rückgängig: namorix-cli undo --batch %1</translation></message>
    <message id="terminal.option.last"><source>terminal.option.last</source><translation>Den letzten Vorgang rückgängig machen.</translation></message>
    <message id="terminal.option.batch"><source>terminal.option.batch</source><translation>Diesen Vorgang rückgängig machen (Nummer aus „history“).</translation></message>
    <message id="terminal.option.path"><source>terminal.option.path</source><translation>Die Datei, deren Umbenennung rückgängig gemacht wird</translation></message>
    <message id="terminal.undoChoice"><source>terminal.undoChoice</source><translation>Bitte genau eines angeben: --last, --batch ID oder einen Pfad.</translation></message>
    <message id="terminal.nothingToUndo"><source>terminal.nothingToUndo</source><translation>Nichts rückgängig zu machen.</translation></message>
    <message id="terminal.batch"><source>terminal.batch</source><translation>Vorgang %1</translation></message>
    <message id="terminal.notInHistory"><source>terminal.notInHistory</source><translation>nicht im Verlauf</translation></message>
    <message id="terminal.revertedOne"><source>terminal.revertedOne</source><translation>„%1“ wiederhergestellt.</translation></message>
    <message id="terminal.reverted" numerus="yes"><source>terminal.reverted</source><translation><numerusform>%n Umbenennung rückgängig gemacht.</numerusform><numerusform>%n Umbenennungen rückgängig gemacht.</numerusform></translation></message>
    <message id="terminal.option.search"><source>terminal.option.search</source><translation>Nur Einträge, deren alter oder neuer Name den Text enthält.</translation></message>
    <message id="terminal.option.limit"><source>terminal.option.limit</source><translation>Höchstens so viele Einträge.</translation></message>
    <message id="terminal.badLimit"><source>terminal.badLimit</source><translation>--limit braucht eine Zahl ab 0.</translation></message>
    <message id="terminal.column.date"><source>terminal.column.date</source><translation>Datum</translation></message>
    <message id="terminal.column.batch"><source>terminal.column.batch</source><translation>Vorgang</translation></message>
    <message id="terminal.column.before"><source>terminal.column.before</source><translation>Vorher</translation></message>
    <message id="terminal.column.after"><source>terminal.column.after</source><translation>Nachher</translation></message>
    <message id="terminal.wasReverted"><source>terminal.wasReverted</source><translation>rückgängig gemacht</translation></message>
    <message id="terminal.historyEmpty"><source>terminal.historyEmpty</source><translation>Keine Einträge im Verlauf.</translation></message>
    <message id="terminal.appRunning"><source>terminal.appRunning</source><translation>App läuft</translation></message>
    <message id="terminal.appNotRunning"><source>terminal.appNotRunning</source><translation>App läuft nicht, Befehle arbeiten ohne sie</translation></message>
    <message id="terminal.provider"><source>terminal.provider</source><translation>KI-Anbieter</translation></message>
    <message id="terminal.providerReady"><source>terminal.providerReady</source><translation>%1 (%2), eingerichtet</translation></message>
    <message id="terminal.providerMissing"><source>terminal.providerMissing</source><translation>%1 (%2), nicht eingerichtet – API-Schlüssel fehlt</translation></message>
    <message id="terminal.queued" numerus="yes"><source>terminal.queued</source><translation><numerusform>%n Datei wartet</numerusform><numerusform>%n Dateien warten</numerusform></translation></message>
    <message id="terminal.paused"><source>terminal.paused</source><translation>angehalten</translation></message>
    <message id="terminal.queue"><source>terminal.queue</source><translation>Warteschlange</translation></message>
</context>
</TS>
