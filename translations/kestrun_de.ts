<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>TFormCOMSetup</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source> Format </source>
        <translation> Format </translation>
    </message>
    <message>
        <source> Handshake </source>
        <translation> Handshake </translation>
    </message>
    <message>
        <source>RTS/CTS handshake</source>
        <translation>RTS/CTS-Handshake</translation>
    </message>
    <message>
        <source>D&amp;TR/DSR handshake</source>
        <translation>D&amp;TR/DSR-Handshake</translation>
    </message>
    <message>
        <source>&amp;XOn/XOff protocol</source>
        <translation>&amp;XOn/XOff-Protokoll</translation>
    </message>
    <message>
        <source> Transfer buffers </source>
        <translation> Übertragungspuffer </translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;Ok</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>&amp;Serial port</source>
        <translation>&amp;Schnittstelle</translation>
    </message>
    <message>
        <source>&amp;Baud rate</source>
        <translation>&amp;Baudrate</translation>
    </message>
    <message>
        <source>&amp;Data bits</source>
        <translation>&amp;Datenbit</translation>
    </message>
    <message>
        <source>&amp;Parity</source>
        <translation>&amp;Paritätsbit</translation>
    </message>
    <message>
        <source>St&amp;op bits</source>
        <translation>St&amp;oppbits</translation>
    </message>
    <message>
        <source>R&amp;eceive buffer</source>
        <translation>&amp;Empfangspuffer</translation>
    </message>
    <message>
        <source>Se&amp;nd buffer</source>
        <translation>Se&amp;ndepuffer</translation>
    </message>
    <message>
        <source>Receive buffer</source>
        <translation>Empfangspuffer</translation>
    </message>
    <message>
        <source>Send buffer</source>
        <translation>Sendepuffer</translation>
    </message>
    <message>
        <source>This is not a valid baudrate!</source>
        <translation>Dies ist keine gültige Baudrate!</translation>
    </message>
</context>
<context>
    <name>TFormCommConfig</name>
    <message>
        <source>Settings for %1</source>
        <translation>Einstellungen für %1</translation>
    </message>
    <message>
        <source>&amp;Bits per second</source>
        <translation>&amp;Bits pro Sekunde</translation>
    </message>
    <message>
        <source>&amp;Data bits</source>
        <translation>&amp;Datenbits</translation>
    </message>
    <message>
        <source>&amp;Parity</source>
        <translation>&amp;Parität</translation>
    </message>
    <message>
        <source>&amp;Stop bits</source>
        <translation>&amp;Stoppbits</translation>
    </message>
    <message>
        <source>&amp;Flow control</source>
        <translation>&amp;Flusssteuerung</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>XOn/XOff</source>
        <translation>XOn/XOff</translation>
    </message>
    <message>
        <source>Hardware (RTS/CTS)</source>
        <translation>Hardware (RTS/CTS)</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;Ok</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>TFormSerSel</name>
    <message>
        <source>Serial port</source>
        <translation>Serielle Schnittstelle</translation>
    </message>
    <message>
        <source>&amp;Serial port</source>
        <translation>&amp;Schnittstelle</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;Ok</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbruch</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
</context>
<context>
    <name>TCOMComboBox</name>
    <message>
        <source>none</source>
        <translation>keinen</translation>
    </message>
</context>
<context>
    <name>Tfrm_Term</name>
    <message>
        <source>Terminal</source>
        <translation>Terminal</translation>
    </message>
    <message>
        <source>New line on LF</source>
        <translation>Neue Zeile bei LF</translation>
    </message>
    <message>
        <source>New line on CR</source>
        <translation>Neue Zeile bei CR</translation>
    </message>
    <message>
        <source>New line on CR LF</source>
        <translation>Neue Zeile bei CR LF</translation>
    </message>
    <message>
        <source>New line on</source>
        <translation>Neue Zeile bei</translation>
    </message>
    <message>
        <source>Character set</source>
        <translation>Zeichensatz</translation>
    </message>
    <message>
        <source>No time stamps</source>
        <translation>Keine Zeitstempel</translation>
    </message>
    <message>
        <source>Time stamps</source>
        <translation>Zeitstempel</translation>
    </message>
    <message>
        <source>Show what is sent</source>
        <translation>Gesendetes anzeigen</translation>
    </message>
    <message>
        <source>Show control characters</source>
        <translation>Steuerzeichen anzeigen</translation>
    </message>
    <message>
        <source>Terminal text</source>
        <translation>Terminaltext</translation>
    </message>
    <message>
        <source>Find</source>
        <translation>Suchen</translation>
    </message>
    <message>
        <source>Find result</source>
        <translation>Suchergebnis</translation>
    </message>
    <message>
        <source>Find:</source>
        <translation>Suchen:</translation>
    </message>
    <message>
        <source>Line to send</source>
        <translation>Zu sendende Zeile</translation>
    </message>
    <message>
        <source>No line end</source>
        <translation>Kein Zeilenende</translation>
    </message>
    <message>
        <source>Line end sent</source>
        <translation>Gesendetes Zeilenende</translation>
    </message>
    <message>
        <source>Local echo</source>
        <translation>Lokales Echo</translation>
    </message>
    <message>
        <source>Type straight to the device</source>
        <translation>Direkt an das Gerät tippen</translation>
    </message>
    <message>
        <source>Paste to the device</source>
        <translation>An das Gerät einfügen</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Save as text...</source>
        <translation>Als Text speichern...</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Start capture to talk to the device</source>
        <translation>Aufzeichnung starten, um mit dem Gerät zu sprechen</translation>
    </message>
    <message>
        <source>%1 bytes were not shown: the window did not keep up (they are in the capture).</source>
        <translation>%1 Bytes wurden nicht angezeigt: Das Fenster kam nicht mit (sie sind in der Aufzeichnung).</translation>
    </message>
    <message>
        <source>Save as text</source>
        <translation>Als Text speichern</translation>
    </message>
    <message>
        <source>Text files (*.txt)</source>
        <translation>Textdateien (*.txt)</translation>
    </message>
    <message>
        <source>The text could not be saved in %1: %2</source>
        <translation>Der Text konnte nicht in %1 gespeichert werden: %2</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Not sent: %1</source>
        <translation>Nicht gesendet: %1</translation>
    </message>
    <message>
        <source>Keys go straight to the device; press Escape twice to stop</source>
        <translation>Tasten gehen direkt an das Gerät; zum Beenden zweimal Escape drücken</translation>
    </message>
</context>
<context>
    <name>ZGeneralPage</name>
    <message>
        <source>Show terminal window</source>
        <translation>Terminalfenster anzeigen</translation>
    </message>
</context>
</TS>
