<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="de_DE">
<context>
    <name>CANChannelSelectDlg</name>
    <message>
        <source>Korvel - CAN Kanal auswählen</source>
        <translation>Korvel - Select CAN channel</translation>
    </message>
</context>
<context>
    <name>CANWindow</name>
    <message>
        <source>Korvel - CAN-Aktivität</source>
        <translation>Korvel - CAN activity</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Intervall (ms)</source>
        <translation>Interval (ms)</translation>
    </message>
    <message>
        <source>DLC</source>
        <translation>DLC</translation>
    </message>
    <message>
        <source>Daten</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>Leeren</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>Richtung</source>
        <translation>Direction</translation>
    </message>
</context>
<context>
    <name>CanViewer</name>
    <message>
        <source>Richtung</source>
        <translation>Direction</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Intervall (ms)</source>
        <translation>Interval (ms)</translation>
    </message>
    <message>
        <source>DLC</source>
        <translation>DLC</translation>
    </message>
    <message>
        <source>Daten</source>
        <translation>Data</translation>
    </message>
    <message>
        <source>… 1 weitere Kennung</source>
        <translation>… 1 more identifier</translation>
    </message>
    <message>
        <source>… %1 weitere Kennungen</source>
        <translation>… %1 more identifiers</translation>
    </message>
</context>
<context>
    <name>ISOTPTX</name>
    <message>
        <source>das Gerät meldet Überlauf</source>
        <translation>the device reports an overflow</translation>
    </message>
    <message>
        <source>keine Flusskontrolle nach einem Block</source>
        <translation>no flow control after a block</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Korvel - Konsole</source>
        <translation>Korvel - Console</translation>
    </message>
    <message>
        <source>Bedienung</source>
        <translation>Controls</translation>
    </message>
    <message>
        <source>Zeige CAN Aktivität</source>
        <translation>Show CAN activity</translation>
    </message>
    <message>
        <source>NMH Senden</source>
        <translation>Send NMH</translation>
    </message>
    <message>
        <source>TP Diagnose aktivieren</source>
        <translation>Activate TP diagnosis</translation>
    </message>
    <message>
        <source>Touchpad Rohdaten</source>
        <translation>Touchpad raw data</translation>
    </message>
    <message>
        <source>Drucksensor - Kalibrierung</source>
        <translation>Pressure sensor - calibration</translation>
    </message>
    <message>
        <source>gusPressureCali_mN</source>
        <translation>gusPressureCali_mN</translation>
    </message>
    <message>
        <source>-</source>
        <translation>-</translation>
    </message>
    <message>
        <source>gusPressureRaw1Div100</source>
        <translation>gusPressureRaw1Div100</translation>
    </message>
    <message>
        <source>gusPressureRaw2Div100</source>
        <translation>gusPressureRaw2Div100</translation>
    </message>
    <message>
        <source>Kalibrierung speichern</source>
        <translation>Save calibration</translation>
    </message>
    <message>
        <source>gucPressureCalDiv</source>
        <translation>gucPressureCalDiv</translation>
    </message>
    <message>
        <source>gucPressureCalMul</source>
        <translation>gucPressureCalMul</translation>
    </message>
    <message>
        <source>gucPressureSens1Div</source>
        <translation>gucPressureSens1Div</translation>
    </message>
    <message>
        <source>gucPressureSens1Mul</source>
        <translation>gucPressureSens1Mul</translation>
    </message>
    <message>
        <source>zurücksetzen</source>
        <translation>Reset</translation>
    </message>
    <message>
        <source>unbelastet</source>
        <translation>Unloaded</translation>
    </message>
    <message>
        <source>belastet mit 5N</source>
        <translation>Loaded with 5N</translation>
    </message>
    <message>
        <source>TP-Diagnose gesendet</source>
        <translation>TP diagnosis sent</translation>
    </message>
    <message>
        <source>Kanal neu geöffnet</source>
        <translation>Channel reopened</translation>
    </message>
    <message>
        <source>Touchpad-Download abgebrochen: keine Antwort seit %1 s</source>
        <translation>Touchpad download stopped: no answer for %1 s</translation>
    </message>
    <message>
        <source>, neuer Versuch in %1 s</source>
        <translation>, next attempt in %1 s</translation>
    </message>
    <message>
        <source>Touchpad - Rohdaten</source>
        <translation>Touchpad - raw data</translation>
    </message>
    <message>
        <source>Touchpad - Rohdaten (init)</source>
        <translation>Touchpad - raw data (init)</translation>
    </message>
    <message>
        <source>Touchpad - Rohdaten (%1%)</source>
        <translation>Touchpad - raw data (%1%)</translation>
    </message>
</context>
<context>
    <name>PressureChart</name>
    <message>
        <source>Korvel - Druckverlauf</source>
        <translation>Korvel - Pressure history</translation>
    </message>
    <message>
        <source>Zeit [s]</source>
        <translation>Time [s]</translation>
    </message>
    <message>
        <source>mN</source>
        <translation>mN</translation>
    </message>
    <message>
        <source>Rohwert [Digits/100]</source>
        <translation>Raw value [digits/100]</translation>
    </message>
    <message>
        <source>Roh 1</source>
        <translation>Raw 1</translation>
    </message>
    <message>
        <source>Roh 2</source>
        <translation>Raw 2</translation>
    </message>
    <message>
        <source>Als CSV speichern…</source>
        <translation>Save as CSV…</translation>
    </message>
    <message>
        <source>Druckverlauf speichern</source>
        <translation>Save pressure history</translation>
    </message>
    <message>
        <source>CSV-Datei (*.csv)</source>
        <translation>CSV file (*.csv)</translation>
    </message>
    <message>
        <source>Konnte %1 nicht schreiben: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
</context>
<context>
    <name>Touchview</name>
    <message>
        <source>Zeile %1, Spalte %2: %3</source>
        <translation>Row %1, column %2: %3</translation>
    </message>
    <message>
        <source>Matrix speichern…</source>
        <translation>Save matrix…</translation>
    </message>
    <message>
        <source>Matrix kopieren</source>
        <translation>Copy matrix</translation>
    </message>
    <message>
        <source>Matrix festhalten</source>
        <translation>Keep matrix as reference</translation>
    </message>
    <message>
        <source>Differenz zur Referenz</source>
        <translation>Difference to reference</translation>
    </message>
    <message>
        <source>PNG-Bild (*.png)</source>
        <translation>PNG image (*.png)</translation>
    </message>
    <message>
        <source>CSV-Datei (*.csv)</source>
        <translation>CSV file (*.csv)</translation>
    </message>
    <message>
        <source>Matrix speichern</source>
        <translation>Save matrix</translation>
    </message>
    <message>
        <source>Konnte %1 nicht schreiben: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
</context>
<context>
    <name>app::CalibrationWriter</name>
    <message>
        <source>Achtung: Last hat die Sensorwerte nicht erhöht</source>
        <translation>Caution: the load did not raise the sensor values</translation>
    </message>
    <message>
        <source>Keine Faktoren gemessen: erst „unbelastet“ und „belastet mit 5N“ drücken</source>
        <translation>No factors measured: press “Unloaded” and “Loaded with 5N” first</translation>
    </message>
    <message>
        <source>Kalibrierung gesendet</source>
        <translation>Calibration sent</translation>
    </message>
    <message>
        <source>Kalibrierung zurückgesetzt</source>
        <translation>Calibration reset</translation>
    </message>
    <message>
        <source>Die Faktoren werden nicht angezeigt.</source>
        <translation>The factors are not shown.</translation>
    </message>
    <message>
        <source>Die Last hat die Sensorwerte nicht erhöht (Sensor 1: %1 → %2, Sensor 2: %3 → %4).</source>
        <translation>The load did not raise the sensor values (sensor 1: %1 → %2, sensor 2: %3 → %4).</translation>
    </message>
    <message>
        <source>Diese Faktoren, gemessen um %1, in das Gerät schreiben?</source>
        <translation>Write these factors, measured at %1, into the device?</translation>
    </message>
    <message>
        <source>Kalibrierung speichern</source>
        <translation>Save calibration</translation>
    </message>
    <message>
        <source>Ja</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Nein</source>
        <translation>No</translation>
    </message>
    <message>
        <source>Kalibrierung nicht gesendet</source>
        <translation>Calibration not sent</translation>
    </message>
    <message>
        <source>%1 (Faktoren %2/%3/%4/%5)</source>
        <translation>%1 (factors %2/%3/%4/%5)</translation>
    </message>
</context>
<context>
    <name>app::DeviceData</name>
    <message>
        <source>A&amp;nsicht</source>
        <translation>&amp;View</translation>
    </message>
    <message>
        <source>&amp;Druckverlauf</source>
        <translation>&amp;Pressure history</translation>
    </message>
    <message>
        <source>&amp;Werkzeugleiste</source>
        <translation>&amp;Tool bar</translation>
    </message>
    <message>
        <source>&amp;Gerät</source>
        <translation>&amp;Device</translation>
    </message>
    <message>
        <source>Kalibrierprotokoll ö&amp;ffnen</source>
        <translation>&amp;Open calibration record</translation>
    </message>
    <message>
        <source>Kalibrierprotokoll %1 nicht geschrieben: %2</source>
        <translation>Calibration record %1 not written: %2</translation>
    </message>
    <message>
        <source>Matrix gespeichert: %1</source>
        <translation>Matrix saved: %1</translation>
    </message>
    <message>
        <source>Matrix kopiert (%1 × %2)</source>
        <translation>Matrix copied (%1 × %2)</translation>
    </message>
    <message>
        <source>Matrix als Referenz festgehalten (%1 × %2)</source>
        <translation>Matrix kept as reference (%1 × %2)</translation>
    </message>
    <message>
        <source>Kalibrierprotokoll</source>
        <translation>Calibration record</translation>
    </message>
    <message>
        <source>Noch keine Kalibrierung aufgezeichnet. Das Protokoll entsteht unter %1.</source>
        <translation>No calibration recorded yet. The record will be written to %1.</translation>
    </message>
    <message>
        <source>Das Kalibrierprotokoll liegt unter %1.</source>
        <translation>The calibration record is at %1.</translation>
    </message>
    <message>
        <source>Druckverlauf gespeichert: %1</source>
        <translation>Pressure history saved: %1</translation>
    </message>
</context>
<context>
    <name>app::Session</name>
    <message>
        <source>Verbindung vom Bus getrennt</source>
        <translation>Disconnected from the bus</translation>
    </message>
    <message>
        <source>Bus nicht erreichbar</source>
        <translation>Bus not reachable</translation>
    </message>
    <message>
        <source>CAN-Adapter getrennt</source>
        <translation>CAN adapter unplugged</translation>
    </message>
    <message>
        <source>&amp;Kanal</source>
        <translation>&amp;Channel</translation>
    </message>
    <message>
        <source>Kanal &amp;wechseln…</source>
        <translation>&amp;Switch channel…</translation>
    </message>
    <message>
        <source>&amp;Neu verbinden</source>
        <translation>&amp;Reconnect</translation>
    </message>
    <message>
        <source>&amp;Beenden</source>
        <translation>&amp;Quit</translation>
    </message>
    <message>
        <source>&amp;Aufzeichnung</source>
        <translation>Re&amp;cording</translation>
    </message>
    <message>
        <source>Aufzeichnung &amp;starten…</source>
        <translation>&amp;Start recording…</translation>
    </message>
    <message>
        <source>Aufzeichnung &amp;beenden</source>
        <translation>S&amp;top recording</translation>
    </message>
    <message>
        <source>Aufzeichnung</source>
        <translation>Recording</translation>
    </message>
    <message>
        <source>Aufzeichnung starten oder beenden (Strg+R)</source>
        <translation>Start or stop recording (Ctrl+R)</translation>
    </message>
    <message>
        <source>Gerät antwortet nicht</source>
        <translation>Device not responding</translation>
    </message>
    <message>
        <source>Gerät antwortet</source>
        <translation>Device responding</translation>
    </message>
    <message>
        <source>CAN Fehler</source>
        <translation>CAN error</translation>
    </message>
    <message>
        <source>Konnte CAN Kanal nicht aktivieren!</source>
        <translation>Could not activate the CAN channel!</translation>
    </message>
    <message>
        <source>Kanal gewechselt</source>
        <translation>Channel switched</translation>
    </message>
    <message>
        <source>Neu verbunden</source>
        <translation>Reconnected</translation>
    </message>
    <message>
        <source>Aufzeichnung läuft: %1</source>
        <translation>Recording: %1</translation>
    </message>
    <message>
        <source>Aufzeichnung starten</source>
        <translation>Start recording</translation>
    </message>
    <message>
        <source>CAN-Aufzeichnung (*.log)</source>
        <translation>CAN recording (*.log)</translation>
    </message>
    <message>
        <source>Konnte %1 nicht schreiben: %2</source>
        <translation>Could not write %1: %2</translation>
    </message>
    <message>
        <source>Aufzeichnung beendet: %1, %2 Frames</source>
        <translation>Recording stopped: %1, %2 frames</translation>
    </message>
    <message>
        <source>Aufzeichnung abgebrochen</source>
        <translation>Recording stopped</translation>
    </message>
    <message>
        <source>Die Aufzeichnung in %1 wurde abgebrochen: %2</source>
        <translation>The recording to %1 was stopped: %2</translation>
    </message>
    <message>
        <source>%1 Frames verworfen</source>
        <translation>%1 frames dropped</translation>
    </message>
    <message>
        <source>kein Kanal</source>
        <translation>no channel</translation>
    </message>
    <message>
        <source>%1 · verbunden</source>
        <translation>%1 · connected</translation>
    </message>
    <message>
        <source>%1 · getrennt: %2</source>
        <translation>%1 · disconnected: %2</translation>
    </message>
    <message>
        <source>Aufzeichnung: %1 Frames</source>
        <translation>Recording: %1 frames</translation>
    </message>
</context>
<context>
    <name>app::TransferReport</name>
    <message>
        <source>übertragen</source>
        <translation>transferred</translation>
    </message>
    <message>
        <source>abgebrochen: %1</source>
        <translation>abandoned: %1</translation>
    </message>
</context>
<context>
    <name>korvelctl</name>
    <message>
        <source>abgebrochen vor „%1“: %2</source>
        <translation>stopped before “%1”: %2</translation>
    </message>
    <message>
        <source>%1 nicht geschrieben: %2</source>
        <translation>%1 not written: %2</translation>
    </message>
    <message>
        <source>%1: kein beschreibbarer Ordner für den Bericht</source>
        <translation>%1: no writable folder for the report</translation>
    </message>
    <message>
        <source>Ohne Last: Enter drücken</source>
        <translation>No load: press Enter</translation>
    </message>
    <message>
        <source>Mit 5 N belastet: Enter drücken</source>
        <translation>Loaded with 5 N: press Enter</translation>
    </message>
    <message>
        <source>Achtung: Last hat die Sensorwerte nicht erhöht (Sensor 1: %1 → %2, Sensor 2: %3 → %4)</source>
        <translation>Caution: the load did not raise the sensor values (sensor 1: %1 → %2, sensor 2: %3 → %4)</translation>
    </message>
    <message>
        <source>Kalibrierung nicht gesendet (--force schreibt sie trotzdem)</source>
        <translation>Calibration not sent (--force writes it all the same)</translation>
    </message>
    <message>
        <source>Kalibrierung %1 (Faktoren %2/%3/%4/%5)</source>
        <translation>Calibration %1 (factors %2/%3/%4/%5)</translation>
    </message>
    <message>
        <source>Kalibrierung zurückgesetzt: %1</source>
        <translation>Calibration reset: %1</translation>
    </message>
    <message>
        <source>Gerät antwortet (%1 ms)</source>
        <translation>Device responding (%1 ms)</translation>
    </message>
    <message>
        <source>Touchpad-Download abgebrochen: keine Antwort seit %1 s</source>
        <translation>Touchpad download stopped: no answer for %1 s</translation>
    </message>
    <message>
        <source>Matrix %1 × %2 in %3 (%4 ms)</source>
        <translation>Matrix %1 × %2 in %3 (%4 ms)</translation>
    </message>
    <message>
        <source>TP-Diagnose %1</source>
        <translation>TP diagnosis %1</translation>
    </message>
    <message>
        <source>NMH gesendet: %1 Rahmen in %2 s</source>
        <translation>NMH sent: %1 frames in %2 s</translation>
    </message>
    <message>
        <source>Aufzeichnung in %1 abgebrochen: %2</source>
        <translation>Recording to %1 stopped: %2</translation>
    </message>
    <message>
        <source>%1 Rahmen aufgezeichnet in %2</source>
        <translation>%1 frames recorded in %2</translation>
    </message>
    <message>
        <source>gesendet</source>
        <translation>sent</translation>
    </message>
    <message>
        <source>abgebrochen</source>
        <translation>abandoned</translation>
    </message>
    <message>
        <source>Kein Kanal „%1“; die Kanäle sind: %2</source>
        <translation>No channel “%1”; the channels are: %2</translation>
    </message>
    <message>
        <source>%1 lässt sich nicht öffnen</source>
        <translation>%1 cannot be opened</translation>
    </message>
    <message>
        <source>Übertragung abgebrochen: </source>
        <translation>Transfer abandoned: </translation>
    </message>
    <message>
        <source>durch ein Signal beendet</source>
        <translation>ended by a signal</translation>
    </message>
    <message>
        <source>%1 getrennt: %2</source>
        <translation>%1 disconnected: %2</translation>
    </message>
    <message>
        <source>keine Antwort vom Gerät in %1 ms</source>
        <translation>no answer from the device within %1 ms</translation>
    </message>
    <message>
        <source>Eingabe beendet</source>
        <translation>input ended</translation>
    </message>
</context>
<context>
    <name>service::Recorder</name>
    <message>
        <source>die Datei wurde entfernt</source>
        <translation>the file was removed</translation>
    </message>
</context>
</TS>
