<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>EditorFlows</name>
    <message>
        <source>The work files cannot be locked: %1</source>
        <translation>Die Arbeitsdateien lassen sich nicht sperren: %1</translation>
    </message>
    <message>
        <source>Another export has been running for %1 minutes; nothing was made. Try again when it has finished.</source>
        <translation>Ein anderer Export läuft seit %1 Minuten; es wurde nichts erstellt. Versuchen Sie es erneut, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>Another export is still running; nothing was made. Try again when it has finished.</source>
        <translation>Ein anderer Export läuft noch; es wurde nichts erstellt. Versuchen Sie es erneut, wenn er beendet ist.</translation>
    </message>
    <message>
        <source>The audio of the chosen segment could not be read.</source>
        <translation>Der Ton des gewählten Abschnitts konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The processed audio could not be read.</source>
        <translation>Der bearbeitete Ton konnte nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The loudness of the segment could not be measured.</source>
        <translation>Die Lautheit des Abschnitts konnte nicht gemessen werden.</translation>
    </message>
</context>
<context>
    <name>ExportView</name>
    <message>
        <source>Export progress</source>
        <translation>Fortschritt des Exports</translation>
    </message>
    <message>
        <source>Exporting…</source>
        <translation>Exportiere …</translation>
    </message>
    <message>
        <source>Mail the ringtone</source>
        <translation>Klingelton per E-Mail senden</translation>
    </message>
    <message>
        <source>Send by E-mail</source>
        <translation>Per E-Mail senden</translation>
    </message>
    <message>
        <source>Save a copy for a phone</source>
        <translation>Eine Kopie für ein Telefon speichern</translation>
    </message>
    <message>
        <source>Save a copy where you choose, for iPhone or Android</source>
        <translation>Eine Kopie an einem Ort Ihrer Wahl speichern, für iPhone oder Android</translation>
    </message>
    <message>
        <source>Save a Copy…</source>
        <translation>Kopie speichern …</translation>
    </message>
    <message>
        <source>Show the ringtone in its folder</source>
        <translation>Den Klingelton in seinem Ordner zeigen</translation>
    </message>
    <message>
        <source>Show the ringtone&apos;s file in the file manager</source>
        <translation>Die Datei des Klingeltons im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>Send the ringtone to a phone</source>
        <translation>Den Klingelton an ein Telefon senden</translation>
    </message>
    <message>
        <source>Send the ringtone to your phone with KDE Connect</source>
        <translation>Den Klingelton mit KDE Connect an Ihr Telefon senden</translation>
    </message>
    <message>
        <source>Send to Phone</source>
        <translation>An Telefon senden</translation>
    </message>
    <message>
        <source>How do I use my ringtone?</source>
        <translation>Wie verwende ich meinen Klingelton?</translation>
    </message>
    <message>
        <source>How to put it on a phone</source>
        <translation>So kommt er auf ein Telefon</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Cancel or close</source>
        <translation>Abbrechen oder schließen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>FMCellView</name>
    <message>
        <source>sec</source>
        <translation>Sek.</translation>
    </message>
</context>
<context>
    <name>FileManagerTableView</name>
    <message>
        <source>Back to the editor</source>
        <translation>Zurück zum Editor</translation>
    </message>
    <message>
        <source>Back to the editor (Esc)</source>
        <translation>Zurück zum Editor (Esc)</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Ringtones</source>
        <translation>Klingeltöne</translation>
    </message>
    <message>
        <source>Stored ringtones</source>
        <translation>Gespeicherte Klingeltöne</translation>
    </message>
    <message>
        <source>Enter plays a ringtone; Delete removes it</source>
        <translation>Eingabe spielt einen Klingelton ab; Entf löscht ihn</translation>
    </message>
</context>
<context>
    <name>HelpWebView</name>
    <message>
        <source>Back</source>
        <translation>Zurück</translation>
    </message>
    <message>
        <source>Back to the previous page</source>
        <translation>Zurück zur vorigen Seite</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
    <message>
        <source>Close the help (Esc)</source>
        <translation>Hilfe schließen (Esc)</translation>
    </message>
    <message>
        <source>Help page</source>
        <translation>Hilfeseite</translation>
    </message>
</context>
<context>
    <name>HelpWebViewController</name>
    <message>
        <source>Internet</source>
        <translation>Internet</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>MainView</name>
    <message>
        <source>Artwork of the song</source>
        <translation>Cover des Songs</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>No song</source>
        <translation>Kein Song</translation>
    </message>
    <message>
        <source>Title of the ringtone</source>
        <translation>Titel des Klingeltons</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Time played</source>
        <translation>Gespielte Zeit</translation>
    </message>
    <message>
        <source>Time played in the preview</source>
        <translation>In der Vorschau gespielte Zeit</translation>
    </message>
    <message>
        <source>Play or stop the preview</source>
        <translation>Vorschau abspielen oder anhalten</translation>
    </message>
    <message>
        <source>Play or stop the preview of the ringtone (Space)</source>
        <translation>Vorschau des Klingeltons abspielen oder anhalten (Leertaste)</translation>
    </message>
    <message>
        <source>Song strip</source>
        <translation>Songstreifen</translation>
    </message>
    <message>
        <source>The song; the marked part becomes the ringtone. Drag it or its right edge, click to start there, scroll to move through the song</source>
        <translation>Der Song; der markierte Teil wird zum Klingelton. Ziehen Sie ihn oder seinen rechten Rand, klicken Sie, um dort zu beginnen, scrollen Sie, um durch den Song zu gehen</translation>
    </message>
    <message>
        <source>Wave of the song</source>
        <translation>Wellenform des Songs</translation>
    </message>
    <message>
        <source>The song; the marked part becomes the ringtone</source>
        <translation>Der Song; der markierte Teil wird zum Klingelton</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Start</translation>
    </message>
    <message>
        <source>Start time</source>
        <translation>Startzeit</translation>
    </message>
    <message>
        <source>Start of the ringtone in the song; double-click (or Ctrl+T) to type it</source>
        <translation>Beginn des Klingeltons im Song; Doppelklick (oder Strg+T) zum Eintippen</translation>
    </message>
    <message>
        <source>Start earlier</source>
        <translation>Früher beginnen</translation>
    </message>
    <message>
        <source>Start 0.1 s earlier (Left)</source>
        <translation>0,1 s früher beginnen (Links)</translation>
    </message>
    <message>
        <source>Start of the ringtone in the song (Left/Right)</source>
        <translation>Beginn des Klingeltons im Song (Links/Rechts)</translation>
    </message>
    <message>
        <source>Start later</source>
        <translation>Später beginnen</translation>
    </message>
    <message>
        <source>Start 0.1 s later (Right)</source>
        <translation>0,1 s später beginnen (Rechts)</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Length in seconds</source>
        <translation>Länge in Sekunden</translation>
    </message>
    <message>
        <source>Length of the ringtone in seconds; double-click to type it</source>
        <translation>Länge des Klingeltons in Sekunden; Doppelklick zum Eintippen</translation>
    </message>
    <message>
        <source>Shorter</source>
        <translation>Kürzer</translation>
    </message>
    <message>
        <source>Make the ringtone 0.1 s shorter (Shift+Left)</source>
        <translation>Den Klingelton 0,1 s kürzer machen (Umschalt+Links)</translation>
    </message>
    <message>
        <source>Length of the ringtone (Shift+Left/Right)</source>
        <translation>Länge des Klingeltons (Umschalt+Links/Rechts)</translation>
    </message>
    <message>
        <source>Longer</source>
        <translation>Länger</translation>
    </message>
    <message>
        <source>Make the ringtone 0.1 s longer (Shift+Right)</source>
        <translation>Den Klingelton 0,1 s länger machen (Umschalt+Rechts)</translation>
    </message>
    <message>
        <source>Fade in</source>
        <translation>Einblenden</translation>
    </message>
    <message>
        <source>Fade in: 0, 1.5 or 3 seconds</source>
        <translation>Einblenden: 0, 1,5 oder 3 Sekunden</translation>
    </message>
    <message>
        <source>Fade in seconds</source>
        <translation>Einblenden in Sekunden</translation>
    </message>
    <message>
        <source>Fade out</source>
        <translation>Ausblenden</translation>
    </message>
    <message>
        <source>Fade out: 0, 1.5 or 3 seconds</source>
        <translation>Ausblenden: 0, 1,5 oder 3 Sekunden</translation>
    </message>
    <message>
        <source>Fade out seconds</source>
        <translation>Ausblenden in Sekunden</translation>
    </message>
    <message>
        <source>Pitch</source>
        <translation>Tonhöhe</translation>
    </message>
    <message>
        <source>Pitch: up or down by 6 or 12 semitones</source>
        <translation>Tonhöhe: 6 oder 12 Halbtöne höher oder tiefer</translation>
    </message>
    <message>
        <source>Pitch in semitones</source>
        <translation>Tonhöhe in Halbtönen</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>Tempo</translation>
    </message>
    <message>
        <source>Speed: slower or faster in steps</source>
        <translation>Tempo: in Stufen langsamer oder schneller</translation>
    </message>
    <message>
        <source>Speed step</source>
        <translation>Tempostufe</translation>
    </message>
    <message>
        <source>Normalize Loudness</source>
        <translation>Lautheit angleichen</translation>
    </message>
    <message>
        <source>Make the ringtone as loud as a ringtone should be (-14 LUFS)</source>
        <translation>Den Klingelton so laut machen, wie ein Klingelton sein sollte (−14 LUFS)</translation>
    </message>
    <message>
        <source>Choose a song</source>
        <translation>Einen Song wählen</translation>
    </message>
    <message>
        <source>♫
Song</source>
        <translation>♫
Song</translation>
    </message>
    <message>
        <source>Choose a song from your music (Ctrl+O)</source>
        <translation>Einen Song aus Ihrer Musik wählen (Strg+O)</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>Aufnehmen</translation>
    </message>
    <message>
        <source>●
Record</source>
        <translation>●
Aufnahme</translation>
    </message>
    <message>
        <source>Record a sound with the microphone (Ctrl+R)</source>
        <translation>Einen Klang mit dem Mikrofon aufnehmen (Strg+R)</translation>
    </message>
    <message>
        <source>Export</source>
        <translation>Exportieren</translation>
    </message>
    <message>
        <source>⬇
Export</source>
        <translation>⬇
Export</translation>
    </message>
    <message>
        <source>Make the ringtone and store it (Ctrl+E)</source>
        <translation>Den Klingelton erstellen und speichern (Strg+E)</translation>
    </message>
    <message>
        <source>Your ringtones</source>
        <translation>Ihre Klingeltöne</translation>
    </message>
    <message>
        <source>☰
List</source>
        <translation>☰
Liste</translation>
    </message>
    <message>
        <source>Your stored ringtones (Ctrl+L)</source>
        <translation>Ihre gespeicherten Klingeltöne (Strg+L)</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>?
Help</source>
        <translation>?
Hilfe</translation>
    </message>
    <message>
        <source>How to make a ringtone (F1)</source>
        <translation>So machen Sie einen Klingelton (F1)</translation>
    </message>
</context>
<context>
    <name>PlayView</name>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>?</source>
        <translation>?</translation>
    </message>
    <message>
        <source>Back to the list</source>
        <translation>Zurück zur Liste</translation>
    </message>
    <message>
        <source>Back to the list (Esc)</source>
        <translation>Zurück zur Liste (Esc)</translation>
    </message>
    <message>
        <source>sec</source>
        <translation>Sek.</translation>
    </message>
    <message>
        <source>Play or stop the ringtone</source>
        <translation>Klingelton abspielen oder anhalten</translation>
    </message>
    <message>
        <source>Play or stop (Space)</source>
        <translation>Abspielen oder anhalten (Leertaste)</translation>
    </message>
    <message>
        <source>Save a copy for a phone</source>
        <translation>Eine Kopie für ein Telefon speichern</translation>
    </message>
    <message>
        <source>Save a copy where you choose, for iPhone or Android</source>
        <translation>Eine Kopie an einem Ort Ihrer Wahl speichern, für iPhone oder Android</translation>
    </message>
    <message>
        <source>Save a Copy…</source>
        <translation>Kopie speichern …</translation>
    </message>
    <message>
        <source>Show the ringtone in its folder</source>
        <translation>Den Klingelton in seinem Ordner zeigen</translation>
    </message>
    <message>
        <source>Show the ringtone&apos;s file in the file manager</source>
        <translation>Die Datei des Klingeltons im Dateimanager zeigen</translation>
    </message>
    <message>
        <source>Show in Folder</source>
        <translation>Im Ordner zeigen</translation>
    </message>
    <message>
        <source>Send the ringtone to a phone</source>
        <translation>Den Klingelton an ein Telefon senden</translation>
    </message>
    <message>
        <source>Send the ringtone to your phone with KDE Connect</source>
        <translation>Den Klingelton mit KDE Connect an Ihr Telefon senden</translation>
    </message>
    <message>
        <source>Send to Phone</source>
        <translation>An Telefon senden</translation>
    </message>
    <message>
        <source>Mail the ringtone</source>
        <translation>Klingelton per E-Mail senden</translation>
    </message>
    <message>
        <source>Mail</source>
        <translation>E-Mail</translation>
    </message>
    <message>
        <source>Delete the ringtone</source>
        <translation>Den Klingelton löschen</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Delete</source>
        <translation>Löschen</translation>
    </message>
    <message>
        <source>Delete this ringtone</source>
        <translation>Diesen Klingelton löschen</translation>
    </message>
</context>
<context>
    <name>RecorderView</name>
    <message>
        <source>Record a sound</source>
        <translation>Einen Klang aufnehmen</translation>
    </message>
    <message>
        <source>Up to 60 seconds</source>
        <translation>Bis zu 60 Sekunden</translation>
    </message>
    <message>
        <source>Record or stop</source>
        <translation>Aufnehmen oder anhalten</translation>
    </message>
    <message>
        <source>Done</source>
        <translation>Fertig</translation>
    </message>
</context>
<context>
    <name>StartView</name>
    <message>
        <source>Quorvel</source>
        <translation>Quorvel</translation>
    </message>
    <message>
        <source>Make a ringtone from any song</source>
        <translation>Ein Klingelton aus jedem Song</translation>
    </message>
    <message>
        <source>Choose a song</source>
        <translation>Einen Song wählen</translation>
    </message>
    <message>
        <source>Choose a song from your music (Ctrl+O)</source>
        <translation>Einen Song aus Ihrer Musik wählen (Strg+O)</translation>
    </message>
    <message>
        <source>Choose a Song</source>
        <translation>Song wählen</translation>
    </message>
    <message>
        <source>or drop an audio file on this window</source>
        <translation>oder eine Audiodatei hierher ziehen</translation>
    </message>
    <message>
        <source>Ctrl+R: record a sound · Ctrl+L: your ringtones
View ▸ Song Waveform shows the song itself · F1: help</source>
        <translation>Strg+R: aufnehmen · Strg+L: Liste · F1: Hilfe
Ansicht ▸ Song-Wellenform zeigt den Song selbst</translation>
    </message>
</context>
<context>
    <name>Strings</name>
    <message>
        <source>Processing…</source>
        <translation>Wird verarbeitet …</translation>
    </message>
    <message>
        <source>Recording</source>
        <translation>Aufnahme</translation>
    </message>
    <message>
        <source>This song is protected (DRM) and cannot be made into a ringtone.</source>
        <translation>Dieser Song ist geschützt (DRM) und kann nicht zu einem Klingelton werden.</translation>
    </message>
    <message>
        <source>Select a song for your ringtone</source>
        <translation>Wählen Sie einen Song für Ihren Klingelton</translation>
    </message>
    <message>
        <source>Waiting…</source>
        <translation>Warte …</translation>
    </message>
    <message>
        <source>Exporting…</source>
        <translation>Exportiere …</translation>
    </message>
    <message>
        <source>Export failed</source>
        <translation>Export fehlgeschlagen</translation>
    </message>
    <message>
        <source>Export canceled</source>
        <translation>Export abgebrochen</translation>
    </message>
    <message>
        <source>Export cancelled</source>
        <translation>Export abgebrochen</translation>
    </message>
    <message>
        <source>Done! Your ringtone is ready.</source>
        <translation>Fertig! Ihr Klingelton ist bereit.</translation>
    </message>
    <message>
        <source>The ringtone was made but could not be recorded in the list.</source>
        <translation>Der Klingelton wurde erstellt, konnte aber nicht in die Liste aufgenommen werden.</translation>
    </message>
    <message>
        <source>A ringtone for you</source>
        <translation>Ein Klingelton für dich</translation>
    </message>
    <message>
        <source>&lt;p&gt;Here is a ringtone I made with Quorvel.&lt;/p&gt;&lt;p&gt;Open the attached .m4r file to use it.&lt;/p&gt;</source>
        <translation>&lt;p&gt;Hier ist ein Klingelton, den ich mit Quorvel gemacht habe.&lt;/p&gt;&lt;p&gt;Öffne die angehängte .m4r-Datei, um ihn zu verwenden.&lt;/p&gt;</translation>
    </message>
    <message>
        <source>Delete this ringtone?</source>
        <translation>Diesen Klingelton löschen?</translation>
    </message>
    <message>
        <source>Recording finished</source>
        <translation>Aufnahme beendet</translation>
    </message>
    <message>
        <source>Recording failed</source>
        <translation>Aufnahme fehlgeschlagen</translation>
    </message>
    <message>
        <source>Recording interrupted</source>
        <translation>Aufnahme unterbrochen</translation>
    </message>
    <message>
        <source>Recording…</source>
        <translation>Nehme auf …</translation>
    </message>
    <message>
        <source>help.html</source>
        <translation>help.html</translation>
    </message>
    <message>
        <source>No Internet connection. The help page cannot be loaded.</source>
        <translation>Keine Internetverbindung. Die Hilfeseite kann nicht geladen werden.</translation>
    </message>
    <message>
        <source>ON</source>
        <translation>EIN</translation>
    </message>
    <message>
        <source>OFF</source>
        <translation>AUS</translation>
    </message>
    <message>
        <source>Rate Quorvel</source>
        <translation>Quorvel bewerten</translation>
    </message>
    <message>
        <source>If you enjoy Quorvel, would you mind taking a moment to rate it? Thanks for your support!</source>
        <translation>Wenn Ihnen Quorvel gefällt, würden Sie sich einen Moment Zeit nehmen, es zu bewerten? Danke für Ihre Unterstützung!</translation>
    </message>
    <message>
        <source>No, thanks</source>
        <translation>Nein, danke</translation>
    </message>
    <message>
        <source>Remind me later</source>
        <translation>Später erinnern</translation>
    </message>
    <message>
        <source>https://quorvel.org/reviews?type=Purple+Software&amp;id=APP_ID</source>
        <translation>https://quorvel.org/reviews?type=Purple+Software&amp;id=APP_ID</translation>
    </message>
    <message>
        <source>This song cannot be read. Please choose another one.</source>
        <translation>Dieser Song kann nicht gelesen werden. Bitte wählen Sie einen anderen.</translation>
    </message>
    <message>
        <source>Type a time like 1:23.4</source>
        <translation>Geben Sie eine Zeit wie 1:23.4 ein</translation>
    </message>
    <message>
        <source>Seconds go up to 59.9</source>
        <translation>Sekunden gehen bis 59.9</translation>
    </message>
    <message>
        <source>latest start</source>
        <translation>spätester Beginn</translation>
    </message>
    <message>
        <source>longest</source>
        <translation>am längsten</translation>
    </message>
    <message>
        <source>shortest</source>
        <translation>am kürzesten</translation>
    </message>
    <message>
        <source>This song lasts %1 s, less than 3 s: the ringtone is the whole song.</source>
        <translation>Dieser Song dauert %1 s, weniger als 3 s: Der Klingelton ist der ganze Song.</translation>
    </message>
    <message>
        <source>This recording lasts %1 s, less than 3 s: the ringtone is the whole recording.</source>
        <translation>Diese Aufnahme dauert %1 s, weniger als 3 s: Der Klingelton ist die ganze Aufnahme.</translation>
    </message>
    <message>
        <source>iPhone (.m4r)</source>
        <translation>iPhone (.m4r)</translation>
    </message>
    <message>
        <source>Android and other phones (.m4a)</source>
        <translation>Android und andere Telefone (.m4a)</translation>
    </message>
    <message>
        <source>Android and other phones, Ogg (.ogg)</source>
        <translation>Android und andere Telefone, Ogg (.ogg)</translation>
    </message>
    <message>
        <source>Saving a copy…</source>
        <translation>Speichere eine Kopie …</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>Gespeichert unter %1</translation>
    </message>
    <message>
        <source>Not saved: %1</source>
        <translation>Nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>Shown in the file manager</source>
        <translation>Im Dateimanager gezeigt</translation>
    </message>
    <message>
        <source>No file manager could show the ringtone.</source>
        <translation>Kein Dateimanager konnte den Klingelton zeigen.</translation>
    </message>
    <message>
        <source>Sending to %1…</source>
        <translation>Sende an %1 …</translation>
    </message>
    <message>
        <source>Sent to %1</source>
        <translation>An %1 gesendet</translation>
    </message>
    <message>
        <source>Not sent to %1: %2</source>
        <translation>Nicht an %1 gesendet: %2</translation>
    </message>
    <message>
        <source>The ringtone&apos;s file is missing.</source>
        <translation>Die Datei des Klingeltons fehlt.</translation>
    </message>
    <message>
        <source>%1 is ready</source>
        <translation>%1 ist fertig</translation>
    </message>
    <message>
        <source>Your ringtone is stored as %1.</source>
        <translation>Ihr Klingelton ist als %1 gespeichert.</translation>
    </message>
    <message>
        <source>%1 could not be made</source>
        <translation>%1 konnte nicht erstellt werden</translation>
    </message>
    <message>
        <source>The file %1 is gone: this ringtone cannot be played or sent.</source>
        <translation>Die Datei %1 ist nicht mehr da: Dieser Klingelton kann weder abgespielt noch gesendet werden.</translation>
    </message>
    <message>
        <source>No microphone: there is no sound input to record from.</source>
        <translation>Kein Mikrofon: Es gibt keinen Toneingang für eine Aufnahme.</translation>
    </message>
</context>
<context>
    <name>quorvel-cli</name>
    <message>
        <source>quorvel-cli: %1 (%2; see --help)</source>
        <translation>quorvel-cli: %1 (%2; siehe --help)</translation>
    </message>
    <message>
        <source>%1 is not a file URL of this machine</source>
        <translation>%1 ist keine Datei-URL dieses Rechners</translation>
    </message>
    <message>
        <source>no stored ringtone is named &quot;%1&quot;</source>
        <translation>kein gespeicherter Klingelton heißt „%1“</translation>
    </message>
    <message>
        <source>cannot read %1</source>
        <translation>%1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1 could not be encoded (it must be a mono 44,100 Hz WAV file)</source>
        <translation>%1 konnte nicht kodiert werden (es muss eine Mono-WAV-Datei mit 44.100 Hz sein)</translation>
    </message>
    <message>
        <source>%1 could not be encoded: %2</source>
        <translation>%1 konnte nicht kodiert werden: %2</translation>
    </message>
    <message>
        <source>the ringtone store could not be read</source>
        <translation>der Klingeltonspeicher konnte nicht gelesen werden</translation>
    </message>
    <message>
        <source>is shorter than %1 s</source>
        <translation>ist kürzer als %1 s</translation>
    </message>
    <message>
        <source>is longer than the song (%1 s)</source>
        <translation>ist länger als der Song (%1 s)</translation>
    </message>
    <message>
        <source>is longer than %1 s</source>
        <translation>ist länger als %1 s</translation>
    </message>
    <message>
        <source>is before the beginning</source>
        <translation>liegt vor dem Anfang</translation>
    </message>
    <message>
        <source>is past the end</source>
        <translation>liegt hinter dem Ende</translation>
    </message>
    <message>
        <source>is not a fade step (0, 1.5 or 3)</source>
        <translation>ist keine Blendenstufe (0, 1.5 oder 3)</translation>
    </message>
    <message>
        <source>is not a speed step (-2, -1, 0, 1 or 2)</source>
        <translation>ist keine Tempostufe (-2, -1, 0, 1 oder 2)</translation>
    </message>
    <message>
        <source>is not a pitch step (-12, -6, 0, 6 or 12)</source>
        <translation>ist keine Tonhöhenstufe (-12, -6, 0, 6 oder 12)</translation>
    </message>
    <message>
        <source>%1 cannot be read as audio</source>
        <translation>%1 kann nicht als Audio gelesen werden</translation>
    </message>
    <message>
        <source>cannot read the recording %1</source>
        <translation>die Aufnahme %1 kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1 is not a WAV file: a recording must be one</source>
        <translation>%1 ist keine WAV-Datei: eine Aufnahme muss eine sein</translation>
    </message>
    <message>
        <source>the export did not start</source>
        <translation>der Export hat nicht begonnen</translation>
    </message>
    <message>
        <source>the export ended without a stored ringtone file</source>
        <translation>der Export endete ohne gespeicherte Klingeltondatei</translation>
    </message>
    <message>
        <source>the ringtone was exported but not stored: %1</source>
        <translation>der Klingelton wurde exportiert, aber nicht gespeichert: %1</translation>
    </message>
    <message>
        <source>the export failed: %1</source>
        <translation>der Export ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>quorvel-cli: --%1 %2 %3: using %4</source>
        <translation>quorvel-cli: --%1 %2 %3: verwende %4</translation>
    </message>
    <message>
        <source>%1 is the WAV file itself; name another OUTPUT</source>
        <translation>%1 ist die WAV-Datei selbst; nennen Sie eine andere AUSGABE</translation>
    </message>
    <message>
        <source>%1 exists already; name another OUTPUT</source>
        <translation>%1 gibt es schon; nennen Sie eine andere AUSGABE</translation>
    </message>
    <message>
        <source>%1 appeared while encoding; nothing was written over it</source>
        <translation>%1 ist während der Kodierung entstanden; nichts wurde überschrieben</translation>
    </message>
    <message>
        <source>%1 could not be written: %2</source>
        <translation>%1 konnte nicht geschrieben werden: %2</translation>
    </message>
</context>
<context>
    <name>quorvel::AboutBox</name>
    <message>
        <source>About Quorvel</source>
        <translation>Über Quorvel</translation>
    </message>
    <message>
        <source>Turns part of a song or a recording into a ringtone.</source>
        <translation>Macht aus einem Teil eines Songs oder einer Aufnahme einen Klingelton.</translation>
    </message>
    <message>
        <source>Free software under the GNU General Public License, version 2 or later (GPL-2.0-or-later).</source>
        <translation>Freie Software unter der GNU General Public License, Version 2 oder später (GPL-2.0-or-later).</translation>
    </message>
    <message>
        <source>Built on:</source>
        <translation>Gebaut mit:</translation>
    </message>
</context>
<context>
    <name>quorvel::ExportViewController</name>
    <message>
        <source>the AAC writer stopped without a file</source>
        <translation>der AAC-Schreiber hat ohne Datei aufgehört</translation>
    </message>
    <message>
        <source>there is no ringtone to store</source>
        <translation>es gibt keinen Klingelton zum Speichern</translation>
    </message>
    <message>
        <source>%1 could not be recorded in the store</source>
        <translation>%1 konnte nicht im Speicher verzeichnet werden</translation>
    </message>
    <message>
        <source>%1 could not be given its stored name</source>
        <translation>%1 konnte seinen gespeicherten Namen nicht erhalten</translation>
    </message>
    <message>
        <source>%1 was gone when the ringtone was to be stored</source>
        <translation>%1 war verschwunden, als der Klingelton gespeichert werden sollte</translation>
    </message>
</context>
<context>
    <name>quorvel::ExportViewWidget</name>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>quorvel::MFMailComposeViewController</name>
    <message>
        <source>New Message</source>
        <translation>Neue Nachricht</translation>
    </message>
    <message>
        <source>To:</source>
        <translation>An:</translation>
    </message>
    <message>
        <source>To</source>
        <translation>An</translation>
    </message>
    <message>
        <source>Subject:</source>
        <translation>Betreff:</translation>
    </message>
    <message>
        <source>Subject</source>
        <translation>Betreff</translation>
    </message>
    <message>
        <source>Message</source>
        <translation>Nachricht</translation>
    </message>
    <message>
        <source>Show File</source>
        <translation>Datei zeigen</translation>
    </message>
    <message>
        <source>Show the attached file</source>
        <translation>Die angehängte Datei zeigen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>missing</source>
        <translation>fehlt</translation>
    </message>
    <message>
        <source>Attachment: %1 (%2)</source>
        <translation>Anhang: %1 (%2)</translation>
    </message>
    <message>
        <source>The ringtone&apos;s file is missing, so it cannot be sent.</source>
        <translation>Die Datei des Klingeltons fehlt, daher kann er nicht gesendet werden.</translation>
    </message>
    <message>
        <source>No mail program was found (%1 is missing).</source>
        <translation>Es wurde kein E-Mail-Programm gefunden (%1 fehlt).</translation>
    </message>
    <message>
        <source>Handing the message to your mail program…</source>
        <translation>Die Nachricht geht an Ihr E-Mail-Programm …</translation>
    </message>
    <message>
        <source>Your mail program did not take the message (%1 ended with status %2).</source>
        <translation>Ihr E-Mail-Programm hat die Nachricht nicht angenommen (%1 endete mit Status %2).</translation>
    </message>
    <message>
        <source>The mail program could not be started.</source>
        <translation>Das E-Mail-Programm konnte nicht gestartet werden.</translation>
    </message>
    <message>
        <source>You can attach the file yourself.</source>
        <translation>Sie können die Datei selbst anhängen.</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>Schließen</translation>
    </message>
</context>
<context>
    <name>quorvel::MPMediaPickerController</name>
    <message>
        <source>Music</source>
        <translation>Musik</translation>
    </message>
    <message>
        <source>Search title or artist</source>
        <translation>Titel oder Interpret suchen</translation>
    </message>
    <message>
        <source>Songs</source>
        <translation>Songs</translation>
    </message>
    <message>
        <source>Looking for songs…</source>
        <translation>Suche nach Songs …</translation>
    </message>
    <message>
        <source>Open File…</source>
        <translation>Datei öffnen …</translation>
    </message>
    <message>
        <source>Take any audio file from disk</source>
        <translation>Eine beliebige Audiodatei vom Datenträger nehmen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Choose</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>No songs were found in your music folder. Open a file instead.</source>
        <translation>In Ihrem Musikordner wurden keine Songs gefunden. Öffnen Sie stattdessen eine Datei.</translation>
    </message>
    <message>
        <source>Open an audio file</source>
        <translation>Eine Audiodatei öffnen</translation>
    </message>
    <message>
        <source>Audio files (*.mp3 *.m4a *.m4v *.wav *.aif *.aiff);;All files (*)</source>
        <translation>Audiodateien (*.mp3 *.m4a *.m4v *.wav *.aif *.aiff);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Not a song</source>
        <translation>Kein Song</translation>
    </message>
    <message>
        <source>%1 is not an audio file Quorvel can use.</source>
        <translation>%1 ist keine Audiodatei, die Quorvel verwenden kann.</translation>
    </message>
</context>
<context>
    <name>quorvel::MainViewController</name>
    <message>
        <source>DRM</source>
        <translation>DRM</translation>
    </message>
</context>
<context>
    <name>quorvel::MainViewWidget</name>
    <message>
        <source>Type the start</source>
        <translation>Beginn eintippen</translation>
    </message>
    <message>
        <source>Type the length</source>
        <translation>Länge eintippen</translation>
    </message>
    <message>
        <source>No song chosen</source>
        <translation>Kein Song gewählt</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>quorvel::MainWindow</name>
    <message>
        <source>No sound</source>
        <translation>Kein Ton</translation>
    </message>
    <message>
        <source>The sound device is gone. Sound plays again once a sound server is back.</source>
        <translation>Das Tongerät ist weg. Der Ton spielt wieder, sobald ein Tonserver zurück ist.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Choose a Song…</source>
        <translation>Song &amp;wählen …</translation>
    </message>
    <message>
        <source>Open &amp;Ringtones Folder</source>
        <translation>&amp;Klingeltonordner öffnen</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Ansicht</translation>
    </message>
    <message>
        <source>%1 %</source>
        <translation>%1 %</translation>
    </message>
    <message>
        <source>Song &amp;Waveform</source>
        <translation>Song-&amp;Wellenform</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>Quorvel &amp;Help</source>
        <translation>Quorvel-&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;About Quorvel</source>
        <translation>&amp;Über Quorvel</translation>
    </message>
    <message>
        <source>%1 — Quorvel</source>
        <translation>%1 — Quorvel</translation>
    </message>
</context>
<context>
    <name>quorvel::Navigator</name>
    <message>
        <source>%1 does not exist.</source>
        <translation>%1 gibt es nicht.</translation>
    </message>
    <message>
        <source>%1 is not a file.</source>
        <translation>%1 ist keine Datei.</translation>
    </message>
    <message>
        <source>%1 cannot be read (no permission).</source>
        <translation>%1 kann nicht gelesen werden (keine Berechtigung).</translation>
    </message>
    <message>
        <source>Cannot open the song</source>
        <translation>Der Song lässt sich nicht öffnen</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Not a song</source>
        <translation>Kein Song</translation>
    </message>
    <message>
        <source>%1 is not an audio file Quorvel can use.</source>
        <translation>%1 ist keine Audiodatei, die Quorvel verwenden kann.</translation>
    </message>
    <message>
        <source>Not now</source>
        <translation>Jetzt nicht</translation>
    </message>
    <message>
        <source>A ringtone is being exported. Choose the song again when it is done.</source>
        <translation>Gerade wird ein Klingelton exportiert. Wählen Sie das Lied noch einmal, wenn er fertig ist.</translation>
    </message>
    <message>
        <source>A recording is running. Stop it first.</source>
        <translation>Eine Aufnahme läuft. Beenden Sie sie zuerst.</translation>
    </message>
    <message>
        <source>Quorvel is still working on the ringtone. Choose the song again when it is done.</source>
        <translation>Quorvel arbeitet noch am Klingelton. Wählen Sie das Lied noch einmal, wenn er fertig ist.</translation>
    </message>
</context>
<context>
    <name>quorvel::PlayViewController</name>
    <message>
        <source>No sound output.</source>
        <translation>Keine Tonausgabe.</translation>
    </message>
    <message>
        <source>Yes</source>
        <translation>Ja</translation>
    </message>
    <message>
        <source>No</source>
        <translation>Nein</translation>
    </message>
</context>
<context>
    <name>quorvel::SongTableModel</name>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Artwork</source>
        <translation>Cover</translation>
    </message>
</context>
<context>
    <name>quorvel::StoreTroubleDialog</name>
    <message>
        <source>Your ringtones cannot be opened.</source>
        <translation>Ihre Klingeltöne können nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>Quorvel can move it aside and start a new, empty store. The damaged file is kept in the same folder as %1; nothing is deleted.</source>
        <translation>Quorvel kann ihn beiseitelegen und einen neuen, leeren Speicher anlegen. Die beschädigte Datei bleibt als %1 im selben Ordner; nichts wird gelöscht.</translation>
    </message>
    <message>
        <source>Move Aside and Start Anew</source>
        <translation>Beiseitelegen und neu beginnen</translation>
    </message>
    <message>
        <source>Nothing was changed. Quorvel ends now.</source>
        <translation>Es wurde nichts geändert. Quorvel wird jetzt beendet.</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>The store could not be moved aside: %1. Nothing was changed.</source>
        <translation>Der Speicher konnte nicht beiseitegelegt werden: %1. Es wurde nichts geändert.</translation>
    </message>
</context>
<context>
    <name>quorvel::TimeEntryField</name>
    <message>
        <source>1:23.4</source>
        <translation>1:23.4</translation>
    </message>
</context>
<context>
    <name>quorvel::WaysOutButtons</name>
    <message>
        <source>Send the ringtone to %1 with KDE Connect</source>
        <translation>Den Klingelton mit KDE Connect an %1 senden</translation>
    </message>
    <message>
        <source>Save a Copy</source>
        <translation>Kopie speichern</translation>
    </message>
</context>
</TS>
