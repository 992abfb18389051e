<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Mail</name>
    <message>
        <source>it failed</source>
        <translation>es schlug fehl</translation>
    </message>
    <message>
        <source>it refused its command line</source>
        <translation>es wies seine Befehlszeile zurück</translation>
    </message>
    <message>
        <source>a file to attach does not exist</source>
        <translation>eine anzuhängende Datei gibt es nicht</translation>
    </message>
    <message>
        <source>no mail program is set up on this desktop</source>
        <translation>auf dieser Arbeitsoberfläche ist kein E-Mail-Programm eingerichtet</translation>
    </message>
    <message>
        <source>the mail program could not take the message</source>
        <translation>das E-Mail-Programm konnte die Nachricht nicht übernehmen</translation>
    </message>
    <message>
        <source>a file to attach cannot be read</source>
        <translation>eine anzuhängende Datei kann nicht gelesen werden</translation>
    </message>
    <message>
        <source>%1 ended with exit status %2: %3</source>
        <translation>%1 endete mit dem Exit-Status %2: %3</translation>
    </message>
</context>
<context>
    <name>Fields</name>
    <message>
        <source>Count &quot;%1&quot; is no number of fields: a whole number from 0 to %2</source>
        <translation>Count „%1“ ist keine Anzahl von Feldern: eine ganze Zahl von 0 bis %2</translation>
    </message>
    <message>
        <source>%1 is missing: every field needs a name and a type</source>
        <translation>%1 fehlt: Jedes Feld braucht einen Namen und einen Typ</translation>
    </message>
    <message>
        <source>%1 fields are more than the %2 a settings file may define</source>
        <translation>%1 Felder sind mehr als die %2, die eine Einstellungsdatei festlegen darf</translation>
    </message>
    <message>
        <source>Name%1 is empty: every field needs a name</source>
        <translation>Name%1 ist leer: Jedes Feld braucht einen Namen</translation>
    </message>
    <message>
        <source>Name%1 &quot;%2&quot; is the name of field %3 too: every field needs a name of its own</source>
        <translation>Name%1 „%2“ ist auch der Name von Feld %3: Jedes Feld braucht einen eigenen Namen</translation>
    </message>
    <message>
        <source>%1 holds a line break, which a settings file cannot keep</source>
        <translation>%1 enthält einen Zeilenumbruch, den eine Einstellungsdatei nicht aufnehmen kann</translation>
    </message>
    <message>
        <source>%1 is empty: every field needs a name</source>
        <translation>%1 ist leer: Jedes Feld braucht einen Namen</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is no field type: the types are u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 or text</source>
        <translation>%1 „%2“ ist kein Feldtyp: Die Typen sind u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 oder text</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is no offset: an offset is a whole number from -%3 to %3 (-1 is the last byte)</source>
        <translation>%1 „%2“ ist kein Offset: Ein Offset ist eine ganze Zahl von -%3 bis %3 (-1 ist das letzte Byte)</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is neither 1 (most significant byte first) nor 0</source>
        <translation>%1 „%2“ ist weder 1 (höchstwertiges Byte zuerst) noch 0</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is no bit slice: write START,LENGTH (bit 0 the least significant, LENGTH 1 or more)</source>
        <translation>%1 „%2“ ist kein Bitbereich: Schreiben Sie START,LÄNGE (Bit 0 ist das niedrigstwertige, LÄNGE 1 oder mehr)</translation>
    </message>
    <message>
        <source>%1 is empty: write &quot;space&quot; for a blank, &quot;tab&quot; for a tab</source>
        <translation>%1 ist leer: Schreiben Sie „space“ für ein Leerzeichen, „tab“ für einen Tabulator</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is no separator: one ASCII character, &quot;space&quot; or &quot;tab&quot;</source>
        <translation>%1 „%2“ ist kein Trennzeichen: ein ASCII-Zeichen, „space“ oder „tab“</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is no token index: a whole number from 0 (the first token) to %3</source>
        <translation>%1 „%2“ ist kein Token-Index: eine ganze Zahl von 0 (das erste Token) bis %3</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is no finite decimal number</source>
        <translation>%1 „%2“ ist keine endliche Dezimalzahl</translation>
    </message>
    <message>
        <source>%1 &quot;%2&quot; is not OFFSET:HEX (an offset a whole number from -%3 to %3, then whole HEX bytes, ?? for any byte, e.g. 0:24 ?? 47)</source>
        <translation>%1 „%2“ ist nicht OFFSET:HEX (ein Offset als ganze Zahl von -%3 bis %3, dann ganze HEX-Bytes, ?? für ein beliebiges Byte, z. B. 0:24 ?? 47)</translation>
    </message>
    <message>
        <source>Offset%1 is missing: a field of type %2 needs the offset of its first byte</source>
        <translation>Offset%1 fehlt: Ein Feld vom Typ %2 braucht den Offset seines ersten Bytes</translation>
    </message>
    <message>
        <source>Index%1 is missing: a text field needs the index of its token (0 = the first)</source>
        <translation>Index%1 fehlt: Ein Textfeld braucht den Index seines Tokens (0 = das erste)</translation>
    </message>
    <message>
        <source>Bits%1 is set, but a field of type %2 has no bit slices (integer types only)</source>
        <translation>Bits%1 ist gesetzt, aber ein Feld vom Typ %2 hat keine Bitbereiche (nur ganzzahlige Typen)</translation>
    </message>
    <message>
        <source>Bits%1 &quot;%2&quot; lies outside the %3 bits of type %4</source>
        <translation>Bits%1 „%2“ liegt außerhalb der %3 Bits des Typs %4</translation>
    </message>
</context>
<context>
    <name>FileIO</name>
    <message>
        <source>Could not open &apos;%1&apos; for writing</source>
        <translation>„%1“ konnte nicht zum Schreiben geöffnet werden</translation>
    </message>
    <message>
        <source>Could not write &apos;%1&apos;: %2</source>
        <translation>„%1“ konnte nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>Could not open &apos;%1&apos; for reading</source>
        <translation>„%1“ konnte nicht zum Lesen geöffnet werden</translation>
    </message>
    <message>
        <source>Could not read &apos;%1&apos;: %2</source>
        <translation>„%1“ konnte nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>ein Ordner</translation>
    </message>
    <message>
        <source>a symbolic link</source>
        <translation>ein symbolischer Link</translation>
    </message>
    <message>
        <source>a FIFO (named pipe)</source>
        <translation>ein FIFO (benannte Pipe)</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>ein Gerät</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ein Socket</translation>
    </message>
    <message>
        <source>Exception occured: %1</source>
        <translation>Ausnahme aufgetreten: %1</translation>
    </message>
</context>
<context>
    <name>Filter</name>
    <message>
        <source>Input buffer overflow</source>
        <translation>Überlauf des Eingangspuffers</translation>
    </message>
</context>
<context>
    <name>FramePcap</name>
    <message>
        <source>This is not a protocol name Wireshark can decode by: &quot;%1&quot; (1 to 64 letters, digits, &apos;.&apos;, &apos;_&apos; or &apos;-&apos;, e.g. &quot;mbrtu&quot;)</source>
        <translation>Das ist kein Protokollname, nach dem Wireshark dekodieren kann: „%1“ (1 bis 64 Buchstaben, Ziffern, „.“, „_“ oder „-“, z. B. „mbrtu“)</translation>
    </message>
    <message>
        <source>The Wireshark capture is already open: &quot;%1&quot;</source>
        <translation>Der Wireshark-Mitschnitt ist schon geöffnet: „%1“</translation>
    </message>
</context>
<context>
    <name>FrameSettings</name>
    <message>
        <source>SilenceGap %1 is outside 15..1000 (tenths of a character time)</source>
        <translation>SilenceGap %1 liegt außerhalb von 15..1000 (Zehntel einer Zeichenzeit)</translation>
    </message>
    <message>
        <source>SilenceGapMs %1 is outside 0..60000 (milliseconds)</source>
        <translation>SilenceGapMs %1 liegt außerhalb von 0..60000 (Millisekunden)</translation>
    </message>
    <message>
        <source>A checksum is checked in frames only: choose a capture mode that frames (between start and stop triggers, start trigger with a fixed or a dynamic size, or frames separated by silence), or set the checksum to none!</source>
        <translation>Eine Prüfsumme wird nur in Rahmen geprüft: Wählen Sie eine Aufzeichnungsart, die Rahmen bildet (zwischen Start- und Stoppauslöser, Startauslöser mit fester oder dynamischer Größe oder durch Pausen getrennte Rahmen), oder stellen Sie die Prüfsumme auf keine!</translation>
    </message>
</context>
<context>
    <name>LogFiles</name>
    <message>
        <source>No free log file name in &apos;%1&apos;: %2 names in a row were taken</source>
        <translation>Kein freier Name für eine Protokolldatei in „%1“: %2 Namen in Folge waren vergeben</translation>
    </message>
</context>
<context>
    <name>Logger</name>
    <message>
        <source>The Wireshark capture could not be created: every name is taken in &quot;%1&quot;</source>
        <translation>Der Wireshark-Mitschnitt konnte nicht angelegt werden: Jeder Name in „%1“ ist vergeben</translation>
    </message>
    <message>
        <source>The CSV file could not be created: every name is taken in &quot;%1&quot;</source>
        <translation>Die CSV-Datei konnte nicht angelegt werden: Jeder Name in „%1“ ist vergeben</translation>
    </message>
    <message>
        <source>Cannot change settings while capture is running!</source>
        <translation>Die Einstellungen können während der Aufzeichnung nicht geändert werden!</translation>
    </message>
    <message>
        <source>File not found: %1: it is a folder, and a settings file must be a regular file</source>
        <translation>Datei nicht gefunden: %1: Das ist ein Ordner, und eine Einstellungsdatei muss eine gewöhnliche Datei sein</translation>
    </message>
    <message>
        <source>File not found: %1</source>
        <translation>Datei nicht gefunden: %1</translation>
    </message>
    <message>
        <source>%1: the file %2</source>
        <translation>%1: Die Datei %2</translation>
    </message>
    <message>
        <source>%1, and a settings file must be a regular file</source>
        <translation>%1, und eine Einstellungsdatei muss eine gewöhnliche Datei sein</translation>
    </message>
    <message>
        <source>File already exists: %1</source>
        <translation>Die Datei gibt es schon: %1</translation>
    </message>
    <message>
        <source>File could not be created: %1</source>
        <translation>Die Datei konnte nicht angelegt werden: %1</translation>
    </message>
</context>
<context>
    <name>LossCounter</name>
    <message>
        <source>%1 %2 lost (%3)</source>
        <translation>%1 %2 verloren (%3)</translation>
    </message>
    <message>
        <source>log lines</source>
        <translation>Protokollzeilen</translation>
    </message>
    <message>
        <source>received bytes</source>
        <translation>empfangene Bytes</translation>
    </message>
    <message>
        <source>sent bytes</source>
        <translation>gesendete Bytes</translation>
    </message>
    <message>
        <source>forwarded bytes</source>
        <translation>weitergeleitete Bytes</translation>
    </message>
    <message>
        <source>port gone or full</source>
        <translation>Anschluss weg oder voll</translation>
    </message>
    <message>
        <source>driver overrun</source>
        <translation>Treiberüberlauf</translation>
    </message>
    <message>
        <source>queue full</source>
        <translation>Warteschlange voll</translation>
    </message>
</context>
<context>
    <name>PortTable</name>
    <message>
        <source>%1 is out of range: ports are COM1 to COM%2.</source>
        <translation>%1 liegt außerhalb des Bereichs: Die Anschlüsse sind COM1 bis COM%2.</translation>
    </message>
    <message>
        <source>%1 is not present (COM97 to COM99 need an override link).</source>
        <translation>%1 ist nicht vorhanden (COM97 bis COM99 brauchen eine Verknüpfung, die sie festlegt).</translation>
    </message>
    <message>
        <source>%1 is not present (%2).</source>
        <translation>%1 ist nicht vorhanden (%2).</translation>
    </message>
</context>
<context>
    <name>RawRecorder</name>
    <message>
        <source>The raw recording file could not be created: %1: a file of that name exists</source>
        <translation>Die Rohaufzeichnungsdatei konnte nicht angelegt werden: %1: Eine Datei dieses Namens gibt es schon</translation>
    </message>
    <message>
        <source>The raw recording file could not be created: %1: %2</source>
        <translation>Die Rohaufzeichnungsdatei konnte nicht angelegt werden: %1: %2</translation>
    </message>
    <message>
        <source>The raw recording could not be written: %1</source>
        <translation>Die Rohaufzeichnung konnte nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The raw recording could not be written: %1: %2</source>
        <translation>Die Rohaufzeichnung konnte nicht geschrieben werden: %1: %2</translation>
    </message>
</context>
<context>
    <name>Recording</name>
    <message>
        <source>The recording file could not be created: %1: a file of that name exists</source>
        <translation>Die Aufzeichnungsdatei konnte nicht angelegt werden: %1: Eine Datei dieses Namens gibt es schon</translation>
    </message>
    <message>
        <source>The recording file could not be created: %1: %2</source>
        <translation>Die Aufzeichnungsdatei konnte nicht angelegt werden: %1: %2</translation>
    </message>
    <message>
        <source>The recording file could not be written: %1: %2</source>
        <translation>Die Aufzeichnungsdatei konnte nicht geschrieben werden: %1: %2</translation>
    </message>
</context>
<context>
    <name>SendSequence</name>
    <message>
        <source>&quot;%1&quot; at position %2 is not a HEX digit (0-9, A-F).</source>
        <translation>„%1“ an Stelle %2 ist keine HEX-Ziffer (0-9, A-F).</translation>
    </message>
    <message>
        <source>Odd number of HEX digits (%1): every byte takes two.</source>
        <translation>Ungerade Anzahl HEX-Ziffern (%1): Jedes Byte braucht zwei.</translation>
    </message>
    <message>
        <source>The &quot;\&quot; at position %1 ends the text: write &quot;\\&quot; for a backslash.</source>
        <translation>Das „\“ an Stelle %1 beendet den Text: Schreiben Sie „\\“ für einen Rückstrich.</translation>
    </message>
    <message>
        <source>The &quot;\x&quot; at position %1 needs two HEX digits (\x00 to \xFF).</source>
        <translation>Das „\x“ an Stelle %1 braucht zwei HEX-Ziffern (\x00 bis \xFF).</translation>
    </message>
    <message>
        <source>Unknown escape &quot;\%1&quot; at position %2: use \r, \n, \t, \\ or \xNN.</source>
        <translation>Unbekannte Escape-Folge „\%1“ an Stelle %2: Verwenden Sie \r, \n, \t, \\ oder \xNN.</translation>
    </message>
</context>
<context>
    <name>Proxy</name>
    <message>
        <source>The link path exists already: &quot;%1&quot;. Choose a path that does not.</source>
        <translation>Den Pfad für den Link gibt es schon: „%1“. Wählen Sie einen Pfad, den es nicht gibt.</translation>
    </message>
    <message>
        <source>The link could not be made: &quot;%1&quot;: %2</source>
        <translation>Der Link konnte nicht angelegt werden: „%1“: %2</translation>
    </message>
    <message>
        <source>The program set %1 baud, 2 stop bits</source>
        <translation>Das Programm stellte %1 Baud, 2 Stoppbits ein</translation>
    </message>
    <message>
        <source>The program set %1 baud, 1 stop bit</source>
        <translation>Das Programm stellte %1 Baud, 1 Stoppbit ein</translation>
    </message>
    <message>
        <source>%1, which the device refused</source>
        <translation>%1, was das Gerät ablehnte</translation>
    </message>
</context>
<context>
    <name>SerialCapture</name>
    <message>
        <source>The COM port is back: %1</source>
        <translation>Der COM-Anschluss ist wieder da: %1</translation>
    </message>
    <message>
        <source>The COM port of line %1 is back: %2</source>
        <translation>Der COM-Anschluss der Leitung %1 ist wieder da: %2</translation>
    </message>
    <message>
        <source>The COM port of line %1 was lost (device %2 hung up or was removed)</source>
        <translation>Der COM-Anschluss der Leitung %1 ging verloren (das Gerät %2 hat aufgelegt oder wurde entfernt)</translation>
    </message>
    <message>
        <source>The COM port of line %1: %2</source>
        <translation>Der COM-Anschluss der Leitung %1: %2</translation>
    </message>
    <message>
        <source>The settings for the second line&apos;s COM port could not be read from file &quot;%1&quot;</source>
        <translation>Die Einstellungen des COM-Anschlusses der zweiten Leitung konnten nicht aus der Datei „%1“ gelesen werden</translation>
    </message>
    <message>
        <source>The COM port was lost (device %1 hung up or was removed)</source>
        <translation>Der COM-Anschluss ging verloren (das Gerät %1 hat aufgelegt oder wurde entfernt)</translation>
    </message>
    <message>
        <source>The sequence is too long to send: %1 bytes (at most %2).</source>
        <translation>Die Folge ist zu lang zum Senden: %1 Bytes (höchstens %2).</translation>
    </message>
    <message>
        <source>Nothing was sent: the COM port was lost.</source>
        <translation>Nichts wurde gesendet: Der COM-Anschluss ging verloren.</translation>
    </message>
    <message>
        <source>Nothing was sent: no COM port is open.</source>
        <translation>Nichts wurde gesendet: Kein COM-Anschluss ist geöffnet.</translation>
    </message>
    <message>
        <source>Nothing was sent: %1 bytes still wait to go out.</source>
        <translation>Nichts wurde gesendet: %1 Bytes warten noch auf das Senden.</translation>
    </message>
    <message>
        <source>The COM port did not take the bytes (%1 of %2 sent): %3 hung up or was removed.</source>
        <translation>Der COM-Anschluss hat die Bytes nicht angenommen (%1 von %2 gesendet): %3 hat aufgelegt oder wurde entfernt.</translation>
    </message>
    <message>
        <source>The COM port did not take the bytes (%1 of %2 sent): %3.</source>
        <translation>Der COM-Anschluss hat die Bytes nicht angenommen (%1 von %2 gesendet): %3.</translation>
    </message>
    <message>
        <source>The settings for the COM port could not be read from file &quot;%1&quot;</source>
        <translation>Die Einstellungen des COM-Anschlusses konnten nicht aus der Datei „%1“ gelesen werden</translation>
    </message>
</context>
<context>
    <name>SerialPort</name>
    <message>
        <source>Cannot connect to %1: the connection was refused (no server listens there).</source>
        <translation>Keine Verbindung zu %1: Die Verbindung wurde abgelehnt (dort wartet kein Server).</translation>
    </message>
    <message>
        <source>Cannot connect to %1: the host is unreachable.</source>
        <translation>Keine Verbindung zu %1: Der Rechner ist nicht erreichbar.</translation>
    </message>
    <message>
        <source>Cannot connect to %1: timed out after %2 s.</source>
        <translation>Keine Verbindung zu %1: Zeitüberschreitung nach %2 s.</translation>
    </message>
    <message>
        <source>Cannot connect to %1: no such host.</source>
        <translation>Keine Verbindung zu %1: Diesen Rechner gibt es nicht.</translation>
    </message>
    <message>
        <source>Cannot connect to %1: the host name could not be resolved now (no answer from the name server).</source>
        <translation>Keine Verbindung zu %1: Der Rechnername ließ sich jetzt nicht auflösen (keine Antwort vom Namensserver).</translation>
    </message>
    <message>
        <source>Cannot connect to %1: the server does not speak RFC 2217 (no Telnet COM-PORT-OPTION).</source>
        <translation>Keine Verbindung zu %1: Der Server spricht kein RFC 2217 (keine Telnet-COM-PORT-OPTION).</translation>
    </message>
    <message>
        <source>Cannot connect to %1: the server closed the connection.</source>
        <translation>Keine Verbindung zu %1: Der Server hat die Verbindung geschlossen.</translation>
    </message>
    <message>
        <source>Cannot connect to %1: stopped before the connection was made.</source>
        <translation>Keine Verbindung zu %1: Abgebrochen, bevor die Verbindung stand.</translation>
    </message>
    <message>
        <source>%1 is not a network port address (rfc2217://HOST:PORT or tcp://HOST:PORT).</source>
        <translation>%1 ist keine Adresse eines Netzwerkanschlusses (rfc2217://RECHNER:PORT oder tcp://RECHNER:PORT).</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2.</source>
        <translation>Keine Verbindung zu %1: %2.</translation>
    </message>
    <message>
        <source>No serial port is chosen.</source>
        <translation>Kein serieller Anschluss ist gewählt.</translation>
    </message>
    <message>
        <source>%1 does not accept these line settings: %2.</source>
        <translation>%1 nimmt diese Leitungseinstellungen nicht an: %2.</translation>
    </message>
    <message>
        <source>Permission denied for %1: add the user to the &quot;dialout&quot; group (sudo usermod -aG dialout $USER) and log in again.</source>
        <translation>Keine Berechtigung für %1: Nehmen Sie den Benutzer in die Gruppe „dialout“ auf (sudo usermod -aG dialout $USER) und melden Sie sich neu an.</translation>
    </message>
    <message>
        <source>%1 is in use by another program.</source>
        <translation>%1 wird von einem anderen Programm benutzt.</translation>
    </message>
    <message>
        <source>%1 is not present (unplugged?).</source>
        <translation>%1 ist nicht vorhanden (ausgesteckt?).</translation>
    </message>
    <message>
        <source>%1 is not a serial port.</source>
        <translation>%1 ist kein serieller Anschluss.</translation>
    </message>
    <message>
        <source>%1 does not accept these line settings (baud rate, data bits, parity, stop bits).</source>
        <translation>%1 nimmt diese Leitungseinstellungen nicht an (Baudrate, Datenbits, Parität, Stoppbits).</translation>
    </message>
    <message>
        <source>%1 cannot be opened: %2.</source>
        <translation>%1 kann nicht geöffnet werden: %2.</translation>
    </message>
</context>
<context>
    <name>Settings</name>
    <message>
        <source>The settings in file &quot;%1&quot; cannot be used: %2</source>
        <translation>Die Einstellungen in der Datei „%1“ können nicht verwendet werden: %2</translation>
    </message>
    <message>
        <source>The log directory contains the byte %1, which is no UTF-8 text</source>
        <translation>Das Protokollverzeichnis enthält das Byte %1, das kein UTF-8-Text ist</translation>
    </message>
    <message>
        <source>The log directory contains the control character %1, which a folder name cannot hold</source>
        <translation>Das Protokollverzeichnis enthält das Steuerzeichen %1, das ein Ordnername nicht enthalten kann</translation>
    </message>
    <message>
        <source>You have to define a start trigger first!</source>
        <translation>Zuerst muss ein Startauslöser festgelegt werden!</translation>
    </message>
    <message>
        <source>You have to define a stop trigger first!</source>
        <translation>Zuerst muss ein Stoppauslöser festgelegt werden!</translation>
    </message>
</context>
<context>
    <name>ParityNames</name>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>odd</source>
        <translation>ungerade</translation>
    </message>
    <message>
        <source>even</source>
        <translation>gerade</translation>
    </message>
    <message>
        <source>mark</source>
        <translation>Mark</translation>
    </message>
    <message>
        <source>space</source>
        <translation>Space</translation>
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
        <translation>&amp;Datenbits</translation>
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
    <name>Tfrm_BufEditor</name>
    <message>
        <source>index [%1]</source>
        <translation>Index [%1]</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>&quot;%1&quot; is not a hexadecimal byte: type 00 to FF, or ?? for any byte.</source>
        <translation>„%1“ ist kein hexadezimales Byte: 00 bis FF eingeben, oder ?? für ein beliebiges Byte.</translation>
    </message>
</context>
<context>
    <name>Tfrm_Debug</name>
    <message>
        <source>Error history</source>
        <translation>Fehlerprotokoll</translation>
    </message>
    <message>
        <source>Log</source>
        <translation>Protokoll</translation>
    </message>
    <message>
        <source>Nothing has been recorded.</source>
        <translation>Es wurde nichts aufgezeichnet.</translation>
    </message>
    <message>
        <source>  Information  </source>
        <translation>  Information  </translation>
    </message>
    <message>
        <source>  Error        </source>
        <translation>  Fehler       </translation>
    </message>
</context>
<context>
    <name>Tfrm_Log</name>
    <message>
        <source>Live data view in progress...</source>
        <translation>Live-Datenansicht läuft...</translation>
    </message>
    <message>
        <source>Live data view paused!</source>
        <translation>Live-Datenansicht angehalten!</translation>
    </message>
    <message>
        <source>Live view buffer overflow!</source>
        <translation>Pufferüberlauf der Live-Ansicht!</translation>
    </message>
    <message>
        <source>Live data view in progress... (buffer overflow occured)</source>
        <translation>Live-Datenansicht läuft... (Pufferüberlauf aufgetreten)</translation>
    </message>
    <message>
        <source>Live data view in progress... (the view keeps the last %1 rows: HistoryEntries in [_view] of the settings file sets how many)</source>
        <translation>Live-Datenansicht läuft... (die Ansicht behält die letzten %1 Zeilen: HistoryEntries in [_view] der Einstellungsdatei legt die Anzahl fest)</translation>
    </message>
    <message>
        <source>Following stopped — End to follow</source>
        <translation>Mitlaufen angehalten — Ende zum Mitlaufen</translation>
    </message>
    <message>
        <source>Capture stopped</source>
        <translation>Aufzeichnung beendet</translation>
    </message>
    <message>
        <source>Show trash data or not — filters the live view</source>
        <translation>Verworfene Daten zeigen oder nicht — filtert die Live-Ansicht</translation>
    </message>
    <message>
        <source>Trash (%1 bytes)</source>
        <translation>Verworfen (%1 Bytes)</translation>
    </message>
    <message>
        <source>Show start trigger data or not — filters the live view</source>
        <translation>Startauslöser zeigen oder nicht — filtert die Live-Ansicht</translation>
    </message>
    <message>
        <source>Start trigger</source>
        <translation>Startauslöser</translation>
    </message>
    <message>
        <source>Start trigger (checksum wrong)</source>
        <translation>Startauslöser (Prüfsumme falsch)</translation>
    </message>
    <message>
        <source>Show data bytes or not — filters the live view</source>
        <translation>Datenbytes zeigen oder nicht — filtert die Live-Ansicht</translation>
    </message>
    <message>
        <source>Data (%1 bytes)</source>
        <translation>Daten (%1 Bytes)</translation>
    </message>
    <message>
        <source>Data (%1 bytes, checksum wrong)</source>
        <translation>Daten (%1 Bytes, Prüfsumme falsch)</translation>
    </message>
    <message>
        <source>Show stop trigger data or not — filters the live view</source>
        <translation>Stoppauslöser zeigen oder nicht — filtert die Live-Ansicht</translation>
    </message>
    <message>
        <source>Stop trigger</source>
        <translation>Stoppauslöser</translation>
    </message>
    <message>
        <source>Stop trigger (checksum wrong)</source>
        <translation>Stoppauslöser (Prüfsumme falsch)</translation>
    </message>
    <message>
        <source>Show sent data or not — filters the live view</source>
        <translation>Gesendete Daten zeigen oder nicht — filtert die Live-Ansicht</translation>
    </message>
    <message>
        <source>Sent: %1 bytes</source>
        <translation>Gesendet: %1 Bytes</translation>
    </message>
    <message>
        <source>Flushed (%1 bytes)</source>
        <translation>Ausgegeben (%1 Bytes)</translation>
    </message>
    <message>
        <source>Timestamp</source>
        <translation>Zeitstempel</translation>
    </message>
    <message>
        <source>Hex-Format</source>
        <translation>Hex-Format</translation>
    </message>
    <message>
        <source>ASCII-Format</source>
        <translation>ASCII-Format</translation>
    </message>
    <message>
        <source>Informational</source>
        <translation>Information</translation>
    </message>
    <message>
        <source>Live data view (Kestrun)</source>
        <translation>Live-Datenansicht (Kestrun)</translation>
    </message>
    <message>
        <source>Start/Stop data live view</source>
        <translation>Live-Datenansicht starten/anhalten</translation>
    </message>
    <message>
        <source>Show or hide timestamps</source>
        <translation>Zeitstempel zeigen oder verbergen</translation>
    </message>
    <message>
        <source>Show HEX data or not</source>
        <translation>HEX-Daten zeigen oder nicht</translation>
    </message>
    <message>
        <source>Show ASCII data or not</source>
        <translation>ASCII-Daten zeigen oder nicht</translation>
    </message>
    <message>
        <source>Show data information or not</source>
        <translation>Dateninformation zeigen oder nicht</translation>
    </message>
    <message>
        <source>Show milliseconds in the timestamps or not</source>
        <translation>Millisekunden in den Zeitstempeln zeigen oder nicht</translation>
    </message>
    <message>
        <source>Live data view</source>
        <translation>Live-Datenansicht</translation>
    </message>
    <message>
        <source>Find:</source>
        <translation>Suchen:</translation>
    </message>
    <message>
        <source>&amp;HEX</source>
        <translation>&amp;HEX</translation>
    </message>
    <message>
        <source>&amp;Text</source>
        <translation>&amp;Text</translation>
    </message>
    <message>
        <source>&amp;Previous</source>
        <translation>&amp;Vorheriger</translation>
    </message>
    <message>
        <source>Find an older entry (Enter)</source>
        <translation>Einen älteren Eintrag suchen (Eingabe)</translation>
    </message>
    <message>
        <source>&amp;Next</source>
        <translation>&amp;Nächster</translation>
    </message>
    <message>
        <source>Find a newer entry (Shift+Enter)</source>
        <translation>Einen neueren Eintrag suchen (Umschalt+Eingabe)</translation>
    </message>
    <message>
        <source>Not a HEX sequence: pairs of hex digits or ??</source>
        <translation>Keine HEX-Folge: Paare von Hex-Ziffern oder ??</translation>
    </message>
    <message>
        <source>Type a text of Latin-1 characters</source>
        <translation>Einen Text aus Latin-1-Zeichen eingeben</translation>
    </message>
    <message>
        <source>Not found</source>
        <translation>Nicht gefunden</translation>
    </message>
    <message>
        <source>Found entry %1 of %2</source>
        <translation>Eintrag %1 von %2 gefunden</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>Leitung</translation>
    </message>
    <message>
        <source>Show the blocks of the line</source>
        <translation>Blöcke der Leitung anzeigen</translation>
    </message>
    <message>
        <source>Show the blocks of both lines or of one — filters the live view</source>
        <translation>Blöcke beider Leitungen oder einer anzeigen — filtert die Live-Ansicht</translation>
    </message>
    <message>
        <source>Both lines</source>
        <translation>Beide Leitungen</translation>
    </message>
</context>
<context>
    <name>Tfrm_Main</name>
    <message>
        <source>%1 (%2 bytes)</source>
        <translation>%1 (%2 Bytes)</translation>
    </message>
    <message>
        <source>Checksums: %1 good, %2 bad</source>
        <translation>Prüfsummen: %1 gut, %2 falsch</translation>
    </message>
    <message>
        <source>Show error history (%1)</source>
        <translation>Fehlerprotokoll zeigen (%1)</translation>
    </message>
    <message>
        <source>Show error history</source>
        <translation>Fehlerprotokoll zeigen</translation>
    </message>
    <message>
        <source>Error creating the standard output directory: 
&quot;%1&quot;

---&gt;

%2</source>
        <translation>Fehler beim Anlegen des Standard-Ausgabeverzeichnisses: 
„%1“

---&gt;

%2</translation>
    </message>
    <message>
        <source>Error creating the settings directory: 
&quot;%1&quot;

---&gt;

%2</source>
        <translation>Fehler beim Anlegen des Einstellungsverzeichnisses: 
„%1“

---&gt;

%2</translation>
    </message>
    <message>
        <source>Bugreport</source>
        <translation>Fehlerbericht</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>General</source>
        <translation>Allgemein</translation>
    </message>
    <message>
        <source>Frame trigger settings</source>
        <translation>Rahmenauslöser</translation>
    </message>
    <message>
        <source>Data triggers</source>
        <translation>Datenauslöser</translation>
    </message>
    <message>
        <source>Stati</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Total bytes:</source>
        <translation>Bytes gesamt:</translation>
    </message>
    <message>
        <source>Data packets:</source>
        <translation>Datenpakete:</translation>
    </message>
    <message>
        <source>Bytes thrown:</source>
        <translation>Verworfene Bytes:</translation>
    </message>
    <message>
        <source>Start triggers:</source>
        <translation>Startauslöser:</translation>
    </message>
    <message>
        <source>Stop triggers:</source>
        <translation>Stoppauslöser:</translation>
    </message>
    <message>
        <source>Bytes sent:</source>
        <translation>Gesendete Bytes:</translation>
    </message>
    <message>
        <source>The errors recorded since the program started (Ctrl+E)</source>
        <translation>Die seit dem Programmstart aufgezeichneten Fehler (Strg+E)</translation>
    </message>
    <message>
        <source>Not a valid settings file...</source>
        <translation>Keine gültige Einstellungsdatei...</translation>
    </message>
    <message>
        <source>Stati (capture stopped)</source>
        <translation>Status (Aufzeichnung beendet)</translation>
    </message>
    <message>
        <source>Stati (waiting for the COM port to come back...)</source>
        <translation>Status (warte auf die Rückkehr der COM-Schnittstelle...)</translation>
    </message>
    <message>
        <source>Stati (the COM port was lost — nothing more is captured until Stop)</source>
        <translation>Status (die COM-Schnittstelle ging verloren — bis „Stopp“ wird nichts mehr aufgezeichnet)</translation>
    </message>
    <message>
        <source>Stati (capture in progress — log files are NOT written: %1)</source>
        <translation>Status (Aufzeichnung läuft — Protokolldateien werden NICHT geschrieben: %1)</translation>
    </message>
    <message>
        <source>Stati (capture in progress...)</source>
        <translation>Status (Aufzeichnung läuft...)</translation>
    </message>
    <message>
        <source>The COM port could not be opened...</source>
        <translation>Die COM-Schnittstelle konnte nicht geöffnet werden...</translation>
    </message>
    <message>
        <source>Opening COM%1...</source>
        <translation>COM%1 wird geöffnet...</translation>
    </message>
    <message>
        <source>Connecting to %1...</source>
        <translation>Verbindung zu %1 wird hergestellt...</translation>
    </message>
    <message>
        <source>Opening the COM port</source>
        <translation>Die COM-Schnittstelle wird geöffnet</translation>
    </message>
    <message>
        <source>Start capture</source>
        <translation>Aufzeichnung starten</translation>
    </message>
    <message>
        <source>Capture could not be stopped!</source>
        <translation>Die Aufzeichnung konnte nicht beendet werden!</translation>
    </message>
    <message>
        <source>Load settings</source>
        <translation>Einstellungen laden</translation>
    </message>
    <message>
        <source>Save settings</source>
        <translation>Einstellungen speichern</translation>
    </message>
    <message>
        <source>Serial Capture Settings (*.scs)</source>
        <translation>Aufzeichnungseinstellungen (*.scs)</translation>
    </message>
    <message>
        <source>Set the size of the start trigger sequence in bytes to: (old trigger will be cleared!)</source>
        <translation>Länge der Startauslöser-Folge in Bytes festlegen auf: (der alte Auslöser wird gelöscht!)</translation>
    </message>
    <message>
        <source>Set the size of the stop trigger sequence in bytes to: (old trigger will be cleared!)</source>
        <translation>Länge der Stoppauslöser-Folge in Bytes festlegen auf: (der alte Auslöser wird gelöscht!)</translation>
    </message>
    <message>
        <source>Size of the start trigger sequence in bytes</source>
        <translation>Länge der Startauslöser-Folge in Bytes</translation>
    </message>
    <message>
        <source>Size of the stop trigger sequence in bytes</source>
        <translation>Länge der Stoppauslöser-Folge in Bytes</translation>
    </message>
    <message>
        <source>Edit</source>
        <translation>Bearbeiten</translation>
    </message>
    <message>
        <source>Edit start trigger as HEX</source>
        <translation>Startauslöser als HEX bearbeiten</translation>
    </message>
    <message>
        <source>Edit stop trigger as HEX</source>
        <translation>Stoppauslöser als HEX bearbeiten</translation>
    </message>
    <message>
        <source>Edit start trigger as string</source>
        <translation>Startauslöser als Zeichenkette bearbeiten</translation>
    </message>
    <message>
        <source>Edit stop trigger as string</source>
        <translation>Stoppauslöser als Zeichenkette bearbeiten</translation>
    </message>
    <message>
        <source>HEX:</source>
        <translation>HEX:</translation>
    </message>
    <message>
        <source>String:</source>
        <translation>Zeichen:</translation>
    </message>
    <message>
        <source>Start trigger</source>
        <translation>Startauslöser</translation>
    </message>
    <message>
        <source>Amount of data bytes (fixed size)</source>
        <translation>Anzahl der Datenbytes (feste Länge)</translation>
    </message>
    <message>
        <source>Data sequence is always</source>
        <translation>Die Datenfolge ist immer</translation>
    </message>
    <message>
        <source>Data sequence length in bytes</source>
        <translation>Länge der Datenfolge in Bytes</translation>
    </message>
    <message>
        <source>bytes long...</source>
        <translation>Bytes lang...</translation>
    </message>
    <message>
        <source>Amount of data bytes (dynamic)</source>
        <translation>Anzahl der Datenbytes (veränderlich)</translation>
    </message>
    <message>
        <source>Defined in start trigger at index</source>
        <translation>Angegeben im Startauslöser an Index</translation>
    </message>
    <message>
        <source>Index of the length field in the start trigger</source>
        <translation>Index des Längenfelds im Startauslöser</translation>
    </message>
    <message>
        <source>The width is</source>
        <translation>Die Breite ist</translation>
    </message>
    <message>
        <source>Width of the length field in bytes</source>
        <translation>Breite des Längenfelds in Bytes</translation>
    </message>
    <message>
        <source>MSB first</source>
        <translation>MSB zuerst</translation>
    </message>
    <message>
        <source>bytes, </source>
        <translation>Bytes, </translation>
    </message>
    <message>
        <source>Length adjust</source>
        <translation>Längenausgleich</translation>
    </message>
    <message>
        <source>Bytes added to the value of the length field</source>
        <translation>Bytes, die zum Wert des Längenfelds addiert werden</translation>
    </message>
    <message>
        <source>Stop trigger</source>
        <translation>Stoppauslöser</translation>
    </message>
    <message>
        <source>Checksum</source>
        <translation>Prüfsumme</translation>
    </message>
    <message>
        <source>Algorithm</source>
        <translation>Verfahren</translation>
    </message>
    <message>
        <source>Checksum algorithm</source>
        <translation>Prüfsummenverfahren</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>Skip start</source>
        <translation>Anfang auslassen</translation>
    </message>
    <message>
        <source>Gap</source>
        <translation>Lücke</translation>
    </message>
    <message>
        <source>Skip end</source>
        <translation>Ende auslassen</translation>
    </message>
    <message>
        <source>%1 (bytes)</source>
        <translation>%1 (Bytes)</translation>
    </message>
    <message>
        <source>Drop bad frames</source>
        <translation>Falsche Rahmen verwerfen</translation>
    </message>
    <message>
        <source>Frames with a wrong checksum are counted but not logged</source>
        <translation>Rahmen mit falscher Prüfsumme werden gezählt, aber nicht protokolliert</translation>
    </message>
    <message>
        <source>Show as</source>
        <translation>Anzeigen als</translation>
    </message>
    <message>
        <source>both</source>
        <translation>beides</translation>
    </message>
    <message>
        <source>Add a data trigger</source>
        <translation>Datenauslöser hinzufügen</translation>
    </message>
    <message>
        <source>Size in bytes:</source>
        <translation>Länge in Bytes:</translation>
    </message>
    <message>
        <source>Add an ASCII data trigger</source>
        <translation>Einen ASCII-Datenauslöser hinzufügen</translation>
    </message>
    <message>
        <source>Add a HEX data trigger</source>
        <translation>Einen HEX-Datenauslöser hinzufügen</translation>
    </message>
    <message>
        <source>Remove data trigger</source>
        <translation>Datenauslöser entfernen</translation>
    </message>
    <message>
        <source>Remove selected</source>
        <translation>Ausgewählten entfernen</translation>
    </message>
    <message>
        <source>Remove all</source>
        <translation>Alle entfernen</translation>
    </message>
    <message>
        <source>Reset data trigger</source>
        <translation>Datenauslöser zurücksetzen</translation>
    </message>
    <message>
        <source>Reset selected</source>
        <translation>Ausgewählten zurücksetzen</translation>
    </message>
    <message>
        <source>Reset all</source>
        <translation>Alle zurücksetzen</translation>
    </message>
    <message>
        <source>Data triggers and their counts</source>
        <translation>Datenauslöser und ihre Zählerstände</translation>
    </message>
    <message>
        <source>Start trigger — HEX editor</source>
        <translation>Startauslöser — HEX-Editor</translation>
    </message>
    <message>
        <source>Start trigger:</source>
        <translation>Startauslöser:</translation>
    </message>
    <message>
        <source>Stop trigger — HEX editor</source>
        <translation>Stoppauslöser — HEX-Editor</translation>
    </message>
    <message>
        <source>Stop trigger:</source>
        <translation>Stoppauslöser:</translation>
    </message>
    <message>
        <source>Frames of this capture mode have no start trigger.</source>
        <translation>Rahmen dieser Aufzeichnungsart haben keinen Startauslöser.</translation>
    </message>
    <message>
        <source>SLIP and COBS frames end at their own delimiter byte.</source>
        <translation>SLIP- und COBS-Rahmen enden an ihrem eigenen Trennbyte.</translation>
    </message>
    <message>
        <source>Data trigger:</source>
        <translation>Datenauslöser:</translation>
    </message>
    <message>
        <source>Data trigger — HEX editor</source>
        <translation>Datenauslöser — HEX-Editor</translation>
    </message>
    <message>
        <source>Fields</source>
        <translation>Felder</translation>
    </message>
    <message>
        <source>You have to define a start trigger first!</source>
        <translation>Zuerst muss ein Startauslöser festgelegt werden!</translation>
    </message>
    <message>
        <source>You have to define a stop trigger first!</source>
        <translation>Zuerst muss ein Stoppauslöser festgelegt werden!</translation>
    </message>
    <message>
        <source>Stati (replaying a recording at its recorded times...)</source>
        <translation>Status (Wiedergabe eines Mitschnitts zu seinen aufgezeichneten Zeiten...)</translation>
    </message>
    <message>
        <source>Stati (replaying a recording at the time of the replay...)</source>
        <translation>Status (Wiedergabe eines Mitschnitts zur Zeit der Wiedergabe...)</translation>
    </message>
    <message>
        <source>Open recording</source>
        <translation>Mitschnitt öffnen</translation>
    </message>
    <message>
        <source>Recordings (*.bin *.pcapng);;All files (*)</source>
        <translation>Mitschnitte (*.bin *.pcapng);;Alle Dateien (*)</translation>
    </message>
    <message>
        <source>A capture is running: stop it to open a recording.</source>
        <translation>Eine Aufzeichnung läuft: beenden Sie sie, um einen Mitschnitt zu öffnen.</translation>
    </message>
    <message>
        <source>A program can be served only without a second line of its own: the program&apos;s side is the second line. Take one of the two back.</source>
        <translation>Ein Programm kann nur ohne eigene zweite Leitung bedient werden: Die Seite des Programms ist die zweite Leitung. Nehmen Sie eines von beiden zurück.</translation>
    </message>
</context>
<context>
    <name>Tfrm_StringEditor</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>ZApplication</name>
    <message>
        <source>Unknown error.</source>
        <translation>Unbekannter Fehler.</translation>
    </message>
</context>
<context>
    <name>ZGeneralPage</name>
    <message>
        <source>Action</source>
        <translation>Aktion</translation>
    </message>
    <message>
        <source>Start capture</source>
        <translation>Aufzeichnung starten</translation>
    </message>
    <message>
        <source>Stop capture</source>
        <translation>Aufzeichnung beenden</translation>
    </message>
    <message>
        <source>Show capture window</source>
        <translation>Aufzeichnungsfenster zeigen</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Load from file</source>
        <translation>Aus Datei laden</translation>
    </message>
    <message>
        <source>Save to file</source>
        <translation>In Datei speichern</translation>
    </message>
    <message>
        <source>Port</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <source>COM port</source>
        <translation>COM-Schnittstelle</translation>
    </message>
    <message>
        <source>Baud rate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Extended COM port settings</source>
        <translation>Erweiterte Einstellungen der COM-Schnittstelle</translation>
    </message>
    <message>
        <source>Logfile options</source>
        <translation>Protokolldateien</translation>
    </message>
    <message>
        <source>Set output directory</source>
        <translation>Ausgabeverzeichnis wählen</translation>
    </message>
    <message>
        <source>Output directory</source>
        <translation>Ausgabeverzeichnis</translation>
    </message>
    <message>
        <source>Add timestamp to each captured packet</source>
        <translation>Jedem aufgezeichneten Paket einen Zeitstempel geben</translation>
    </message>
    <message>
        <source>Log the start trigger sequence</source>
        <translation>Startauslöser-Folge protokollieren</translation>
    </message>
    <message>
        <source>Log the stop trigger sequence</source>
        <translation>Stoppauslöser-Folge protokollieren</translation>
    </message>
    <message>
        <source>Log the data field between the triggers</source>
        <translation>Datenfeld zwischen den Auslösern protokollieren</translation>
    </message>
    <message>
        <source>Log captured bytes in HEX format</source>
        <translation>Aufgezeichnete Bytes im HEX-Format protokollieren</translation>
    </message>
    <message>
        <source>Log captured bytes in ASCII format</source>
        <translation>Aufgezeichnete Bytes im ASCII-Format protokollieren</translation>
    </message>
    <message>
        <source>Separate files for ASCII and HEX output</source>
        <translation>Getrennte Dateien für ASCII- und HEX-Ausgabe</translation>
    </message>
    <message>
        <source>Max. amount of bytes in one log line:</source>
        <translation>Höchstzahl der Bytes in einer Protokollzeile:</translation>
    </message>
    <message>
        <source>Max. amount of lines in one log file:</source>
        <translation>Höchstzahl der Zeilen in einer Protokolldatei:</translation>
    </message>
    <message>
        <source>Reconnect when the port comes back</source>
        <translation>Wieder verbinden, wenn die Schnittstelle zurückkommt</translation>
    </message>
    <message>
        <source>Also record the raw bytes</source>
        <translation>Auch die Rohdaten aufzeichnen</translation>
    </message>
    <message>
        <source>Time stamps to the microsecond</source>
        <translation>Zeitstempel auf die Mikrosekunde</translation>
    </message>
    <message>
        <source>with time stamps (.pcapng)</source>
        <translation>mit Zeitstempeln (.pcapng)</translation>
    </message>
    <message>
        <source>Also write a Wireshark capture (.pcapng)</source>
        <translation>Auch eine Wireshark-Aufzeichnung schreiben (.pcapng)</translation>
    </message>
    <message>
        <source>Protocol:</source>
        <translation>Protokoll:</translation>
    </message>
    <message>
        <source>Wireshark protocol</source>
        <translation>Wireshark-Protokoll</translation>
    </message>
    <message>
        <source>The dissector Wireshark decodes each frame with</source>
        <translation>Der Dissector, mit dem Wireshark jeden Rahmen entschlüsselt</translation>
    </message>
    <message>
        <source>Capture mode</source>
        <translation>Aufzeichnungsart</translation>
    </message>
    <message>
        <source>Capture all bytes received</source>
        <translation>Alle empfangenen Bytes aufzeichnen</translation>
    </message>
    <message>
        <source>Capture between start an stop triggers</source>
        <translation>Zwischen Start- und Stoppauslöser aufzeichnen</translation>
    </message>
    <message>
        <source>Use only start trigger (fixed size)</source>
        <translation>Nur Startauslöser (feste Länge)</translation>
    </message>
    <message>
        <source>Use only start trigger (dynamic size)</source>
        <translation>Nur Startauslöser (veränderliche Länge)</translation>
    </message>
    <message>
        <source>Frames separated by silence</source>
        <translation>Durch Pausen getrennte Rahmen</translation>
    </message>
    <message>
        <source>Frames ending with the stop trigger</source>
        <translation>Rahmen, die mit dem Stoppauslöser enden</translation>
    </message>
    <message>
        <source>SLIP frames (C0 ends a frame)</source>
        <translation>SLIP-Rahmen (C0 beendet einen Rahmen)</translation>
    </message>
    <message>
        <source>COBS frames (00 ends a frame)</source>
        <translation>COBS-Rahmen (00 beendet einen Rahmen)</translation>
    </message>
    <message>
        <source>Silence gap (tenths of a character):</source>
        <translation>Pausenlänge (Zehntel eines Zeichens):</translation>
    </message>
    <message>
        <source>or ms:</source>
        <translation>oder ms:</translation>
    </message>
    <message>
        <source>This is not a valid network port address!</source>
        <translation>Das ist keine gültige Adresse einer Netzwerkschnittstelle!</translation>
    </message>
    <message>
        <source>Changes will take effect after restarting the capture...</source>
        <translation>Änderungen wirken erst nach einem Neustart der Aufzeichnung...</translation>
    </message>
    <message>
        <source>This is not a valid COM port!</source>
        <translation>Das ist keine gültige COM-Schnittstelle!</translation>
    </message>
    <message>
        <source>This is not a valid baudrate!</source>
        <translation>Das ist keine gültige Baudrate!</translation>
    </message>
    <message>
        <source>Select directory to output log data:</source>
        <translation>Verzeichnis für die Protokolldaten wählen:</translation>
    </message>
    <message>
        <source>tshark gave no list of its dissectors (is it installed?): type the dissector&apos;s name</source>
        <translation>tshark lieferte keine Liste seiner Dissectoren (ist es installiert?): den Namen des Dissectors eingeben</translation>
    </message>
    <message>
        <source>Network port...</source>
        <translation>Netzwerkschnittstelle...</translation>
    </message>
    <message>
        <source>Show terminal window</source>
        <translation>Terminalfenster anzeigen</translation>
    </message>
    <message>
        <source>Also write the values as CSV</source>
        <translation>Die Werte auch als CSV schreiben</translation>
    </message>
    <message>
        <source>The values of the fields, beside the log files as &quot;&lt;first log file&#x27;s name&gt;.csv&quot;</source>
        <translation>Die Werte der Felder, neben den Logdateien als „&lt;Name der ersten Logdatei&gt;.csv“</translation>
    </message>
    <message>
        <source>Show plot window</source>
        <translation>Diagrammfenster zeigen</translation>
    </message>
    <message>
        <source>Open recording...</source>
        <translation>Mitschnitt öffnen...</translation>
    </message>
    <message>
        <source>Stop replay</source>
        <translation>Wiedergabe beenden</translation>
    </message>
    <message>
        <source>Also write log files</source>
        <translation>Auch Protokolldateien schreiben</translation>
    </message>
    <message>
        <source>At recorded speed</source>
        <translation>In aufgezeichneter Geschwindigkeit</translation>
    </message>
    <message>
        <source>A capture is running: stop it to open a recording.</source>
        <translation>Eine Aufzeichnung läuft: beenden Sie sie, um einen Mitschnitt zu öffnen.</translation>
    </message>
    <message>
        <source>A recording is being replayed: stop the replay first.</source>
        <translation>Ein Mitschnitt wird wiedergegeben: beenden Sie zuerst die Wiedergabe.</translation>
    </message>
    <message>
        <source>Second line (the other direction)</source>
        <translation>Zweite Leitung (die andere Richtung)</translation>
    </message>
    <message>
        <source>Capture a second line:</source>
        <translation>Eine zweite Leitung mitschneiden:</translation>
    </message>
    <message>
        <source>Name of the first line:</source>
        <translation>Name der ersten Leitung:</translation>
    </message>
    <message>
        <source>Name of the second line:</source>
        <translation>Name der zweiten Leitung:</translation>
    </message>
    <message>
        <source>Empty: the line takes its port&apos;s name</source>
        <translation>Leer: Die Leitung trägt den Namen ihres Anschlusses</translation>
    </message>
    <message>
        <source>Serve this port to a program at:</source>
        <translation>Diesen Anschluss einem Programm bereitstellen unter:</translation>
    </message>
    <message>
        <source>a path that does not exist yet, e.g. /tmp/ttyDEVICE</source>
        <translation>ein Pfad, den es noch nicht gibt, z. B. /tmp/ttyDEVICE</translation>
    </message>
    <message>
        <source>Choose the path to serve the port at</source>
        <translation>Pfad wählen, unter dem der Anschluss bereitgestellt wird</translation>
    </message>
    <message>
        <source>A program served is the second line: device to program is &quot;device&quot;, program to device &quot;program&quot;. Serving and a second line of its own exclude each other.</source>
        <translation>Ein bedientes Programm ist die zweite Leitung: Gerät zum Programm ist „device“, Programm zum Gerät „program“. Bereitstellen und eine eigene zweite Leitung schließen einander aus.</translation>
    </message>
    <message>
        <source>A program is served: its side is the second line.</source>
        <translation>Ein Programm wird bedient: Seine Seite ist die zweite Leitung.</translation>
    </message>
    <message>
        <source>A second line is captured: a program cannot be served as well.</source>
        <translation>Eine zweite Leitung wird mitgeschnitten: Ein Programm kann nicht zugleich bedient werden.</translation>
    </message>
    <message>
        <source>COM port of the second line</source>
        <translation>COM-Schnittstelle der zweiten Leitung</translation>
    </message>
    <message>
        <source>Baud rate of the second line</source>
        <translation>Baudrate der zweiten Leitung</translation>
    </message>
    <message>
        <source>Extended COM port settings of the second line</source>
        <translation>Erweiterte Einstellungen der COM-Schnittstelle der zweiten Leitung</translation>
    </message>
</context>
<context>
    <name>ZMessageBox</name>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>Information</translation>
    </message>
</context>
<context>
    <name>ZReportPage</name>
    <message>
        <source>In order to send a bugreport to %1, </source>
        <translation>Um einen Fehlerbericht an %1 zu senden, </translation>
    </message>
    <message>
        <source>you have to create a system report first.</source>
        <translation>muss zuerst ein Systembericht erstellt werden.</translation>
    </message>
    <message>
        <source>To do this, simply click on the button below. This will take some seconds... </source>
        <translation>Dazu einfach unten auf die Schaltfläche klicken. Das dauert einige Sekunden... </translation>
    </message>
    <message>
        <source>please be patient. Only needed information is collected from your system.</source>
        <translation>bitte etwas Geduld. Es werden nur die nötigen Angaben über Ihr System gesammelt.</translation>
    </message>
    <message>
        <source>System report</source>
        <translation>Systembericht</translation>
    </message>
    <message>
        <source>Error description</source>
        <translation>Fehlerbeschreibung</translation>
    </message>
    <message>
        <source>Type in your error description here...</source>
        <translation>Geben Sie hier Ihre Fehlerbeschreibung ein...</translation>
    </message>
    <message>
        <source>Create system report</source>
        <translation>Systembericht erstellen</translation>
    </message>
    <message>
        <source>Send to %1</source>
        <translation>An %1 senden</translation>
    </message>
    <message>
        <source>Error: %1</source>
        <translation>Fehler: %1</translation>
    </message>
    <message>
        <source>Bugreport successfully sent to %1</source>
        <translation>Fehlerbericht erfolgreich an %1 gesendet</translation>
    </message>
    <message>
        <source>the mail program is still open</source>
        <translation>das E-Mail-Programm ist noch geöffnet</translation>
    </message>
    <message>
        <source>Bugreport</source>
        <translation>Fehlerbericht</translation>
    </message>
    <message>
        <source>Kestrun Bugreport</source>
        <translation>Kestrun-Fehlerbericht</translation>
    </message>
</context>
<context>
    <name>ZSendPage</name>
    <message>
        <source>Nothing can be sent: no COM port is open. Start a capture first.</source>
        <translation>Nichts kann gesendet werden: keine COM-Schnittstelle ist geöffnet. Zuerst eine Aufzeichnung starten.</translation>
    </message>
    <message>
        <source>, every %1 ms</source>
        <translation>, alle %1 ms</translation>
    </message>
    <message>
        <source>Sequence</source>
        <translation>Folge</translation>
    </message>
    <message>
        <source>Entry format</source>
        <translation>Eingabeformat</translation>
    </message>
    <message>
        <source>Text with escapes</source>
        <translation>Text mit Escapes</translation>
    </message>
    <message>
        <source>Bytes to send</source>
        <translation>Zu sendende Bytes</translation>
    </message>
    <message>
        <source>Bytes that will be sent</source>
        <translation>Bytes, die gesendet werden</translation>
    </message>
    <message>
        <source>Checksum appended</source>
        <translation>Angehängte Prüfsumme</translation>
    </message>
    <message>
        <source>none</source>
        <translation>keine</translation>
    </message>
    <message>
        <source>low byte first</source>
        <translation>niederwertiges Byte zuerst</translation>
    </message>
    <message>
        <source>Checksum low byte first</source>
        <translation>Prüfsumme mit niederwertigem Byte zuerst</translation>
    </message>
    <message>
        <source>Line end appended</source>
        <translation>Angehängtes Zeilenende</translation>
    </message>
    <message>
        <source>Send</source>
        <translation>Senden</translation>
    </message>
    <message>
        <source>Repeat interval in ms</source>
        <translation>Wiederholungsabstand in ms</translation>
    </message>
    <message>
        <source>Start repeat</source>
        <translation>Wiederholung starten</translation>
    </message>
    <message>
        <source>Start or stop the repeat</source>
        <translation>Wiederholung starten oder beenden</translation>
    </message>
    <message>
        <source>Sends</source>
        <translation>Sendungen</translation>
    </message>
    <message>
        <source>Why nothing can be sent</source>
        <translation>Warum nichts gesendet werden kann</translation>
    </message>
    <message>
        <source>&amp;Format:</source>
        <translation>&amp;Format:</translation>
    </message>
    <message>
        <source>&amp;Data:</source>
        <translation>&amp;Daten:</translation>
    </message>
    <message>
        <source>&amp;Checksum:</source>
        <translation>&amp;Prüfsumme:</translation>
    </message>
    <message>
        <source>&amp;Line end:</source>
        <translation>&amp;Zeilenende:</translation>
    </message>
    <message>
        <source>Enc&amp;ode as:</source>
        <translation>K&amp;odieren als:</translation>
    </message>
    <message>
        <source>Frame encoding</source>
        <translation>Rahmenkodierung</translation>
    </message>
    <message>
        <source>, as %1</source>
        <translation>, als %1</translation>
    </message>
    <message>
        <source>Repeat &amp;every</source>
        <translation>Wiederholen &amp;alle</translation>
    </message>
    <message>
        <source>Saved sequences</source>
        <translation>Gespeicherte Folgen</translation>
    </message>
    <message>
        <source>Sequence name</source>
        <translation>Name der Folge</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Aktualisieren</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Send selected</source>
        <translation>Ausgewählte senden</translation>
    </message>
    <message>
        <source>&amp;Name:</source>
        <translation>&amp;Name:</translation>
    </message>
    <message>
        <source>Modem lines</source>
        <translation>Modemleitungen</translation>
    </message>
    <message>
        <source>DTR output line</source>
        <translation>Ausgangsleitung DTR</translation>
    </message>
    <message>
        <source>RTS output line</source>
        <translation>Ausgangsleitung RTS</translation>
    </message>
    <message>
        <source>Holds the line in break for 250 ms</source>
        <translation>Hält die Leitung 250 ms im Break-Zustand</translation>
    </message>
    <message>
        <source>CTS input line</source>
        <translation>Eingangsleitung CTS</translation>
    </message>
    <message>
        <source>DSR input line</source>
        <translation>Eingangsleitung DSR</translation>
    </message>
    <message>
        <source>RI input line</source>
        <translation>Eingangsleitung RI</translation>
    </message>
    <message>
        <source>DCD input line</source>
        <translation>Eingangsleitung DCD</translation>
    </message>
    <message>
        <source>%1 bytes: </source>
        <translation>%1 Bytes: </translation>
    </message>
    <message>
        <source>Choose how often to repeat first: the interval says none.</source>
        <translation>Zuerst wählen, wie oft wiederholt wird: der Abstand lautet „keine“.</translation>
    </message>
    <message>
        <source>Stop repeat</source>
        <translation>Wiederholung beenden</translation>
    </message>
    <message>
        <source>Sends: %1, skipped: %2</source>
        <translation>Sendungen: %1, ausgelassen: %2</translation>
    </message>
    <message>
        <source>Sequence %1</source>
        <translation>Folge %1</translation>
    </message>
    <message>
        <source>on</source>
        <translation>ein</translation>
    </message>
    <message>
        <source>off</source>
        <translation>aus</translation>
    </message>
    <message>
        <source>The line could not be changed: no COM port is open, or the device has no such line.</source>
        <translation>Die Leitung konnte nicht geändert werden: keine COM-Schnittstelle ist geöffnet, oder das Gerät hat diese Leitung nicht.</translation>
    </message>
    <message>
        <source>No break was sent: no COM port is open, or the device refused it.</source>
        <translation>Es wurde kein Break gesendet: keine COM-Schnittstelle ist geöffnet, oder das Gerät hat es abgelehnt.</translation>
    </message>
    <message>
        <source>Leading bytes the checksum leaves out</source>
        <translation>Führende Bytes, die die Prüfsumme auslässt</translation>
    </message>
    <message>
        <source>as the protocol says</source>
        <translation>wie das Protokoll sagt</translation>
    </message>
    <message>
        <source> bytes</source>
        <translation> Bytes</translation>
    </message>
    <message>
        <source>NMEA leaves out the leading $, UBX the sync characters B5 62</source>
        <translation>NMEA lässt das führende $ aus, UBX die Synchronzeichen B5 62</translation>
    </message>
    <message>
        <source>Wait for an answer before the next send, in ms</source>
        <translation>Vor dem nächsten Senden auf eine Antwort warten, in ms</translation>
    </message>
    <message>
        <source>no wait</source>
        <translation>nicht warten</translation>
    </message>
    <message>
        <source>Least gap between two frames sent, in ms</source>
        <translation>Kleinster Abstand zwischen zwei gesendeten Rahmen, in ms</translation>
    </message>
    <message>
        <source>the line's least</source>
        <translation>der kleinste der Leitung</translation>
    </message>
    <message>
        <source>Checksum s&amp;kips:</source>
        <translation>Prüfsumme über&amp;springt:</translation>
    </message>
    <message>
        <source>&amp;Wait for an answer:</source>
        <translation>Auf Antwort &amp;warten:</translation>
    </message>
    <message>
        <source>&amp;Gap between frames:</source>
        <translation>&amp;Abstand zwischen Rahmen:</translation>
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
        <source>New lines</source>
        <translation>Neue Zeilen</translation>
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
    <name>ZFieldsPage</name>
    <message>
        <source>Write the values into the log files</source>
        <translation>Die Werte in die Logdateien schreiben</translation>
    </message>
    <message>
        <source>A line &quot;Values: name=value, ...&quot; after every data block with values</source>
        <translation>Eine Zeile &quot;Values: Name=Wert, ...&quot; nach jedem Datenblock mit Werten</translation>
    </message>
    <message>
        <source>Name</source>
        <comment>column</comment>
        <translation>Name</translation>
    </message>
    <message>
        <source>Type</source>
        <comment>column</comment>
        <translation>Typ</translation>
    </message>
    <message>
        <source>Offset</source>
        <comment>column</comment>
        <translation>Versatz</translation>
    </message>
    <message>
        <source>Byte order</source>
        <comment>column</comment>
        <translation>Bytefolge</translation>
    </message>
    <message>
        <source>Bits</source>
        <comment>column</comment>
        <translation>Bitbereich</translation>
    </message>
    <message>
        <source>Scale</source>
        <comment>column</comment>
        <translation>Faktor</translation>
    </message>
    <message>
        <source>Add</source>
        <comment>column</comment>
        <translation>Summand</translation>
    </message>
    <message>
        <source>Unit</source>
        <comment>column</comment>
        <translation>Einheit</translation>
    </message>
    <message>
        <source>Match</source>
        <comment>column</comment>
        <translation>Bedingung</translation>
    </message>
    <message>
        <source>Separator</source>
        <comment>column</comment>
        <translation>Trennzeichen</translation>
    </message>
    <message>
        <source>Index</source>
        <comment>column</comment>
        <translation>Token-Nr.</translation>
    </message>
    <message>
        <source>Prefix</source>
        <comment>column</comment>
        <translation>Präfix</translation>
    </message>
    <message>
        <source>MSB first</source>
        <translation>MSB zuerst</translation>
    </message>
    <message>
        <source>LSB first</source>
        <translation>LSB zuerst</translation>
    </message>
    <message>
        <source>Fields decoded from every data block</source>
        <translation>Aus jedem Datenblock gelesene Felder</translation>
    </message>
    <message>
        <source>Type: u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 or text. Bits: START,LENGTH. Match: OFFSET:HEX, ?? for any byte. F2 edits a cell.</source>
        <translation>Typ: u8, i8, u16, i16, u24, i24, u32, i32, u64, i64, f32, f64 oder text. Bitbereich: START,LÄNGE. Bedingung: VERSATZ:HEX, ?? für ein beliebiges Byte. F2 bearbeitet eine Zelle.</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Add a field</source>
        <translation>Ein Feld hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Remove the selected field</source>
        <translation>Das gewählte Feld entfernen</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Nach oben</translation>
    </message>
    <message>
        <source>Move the selected field up</source>
        <translation>Das gewählte Feld nach oben schieben</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Nach unten</translation>
    </message>
    <message>
        <source>Move the selected field down</source>
        <translation>Das gewählte Feld nach unten schieben</translation>
    </message>
    <message>
        <source>Try the fields</source>
        <translation>Die Felder ausprobieren</translation>
    </message>
    <message>
        <source>Try on the last frame</source>
        <translation>Am letzten Rahmen ausprobieren</translation>
    </message>
    <message>
        <source>or on these HEX bytes:</source>
        <translation>oder an diesen HEX-Bytes:</translation>
    </message>
    <message>
        <source>HEX bytes to try the fields on</source>
        <translation>HEX-Bytes zum Ausprobieren der Felder</translation>
    </message>
    <message>
        <source>e.g. 24 01 7F 00</source>
        <translation>z. B. 24 01 7F 00</translation>
    </message>
    <message>
        <source>Try these bytes</source>
        <translation>Diese Bytes ausprobieren</translation>
    </message>
    <message>
        <source>The values tried</source>
        <translation>Die ausprobierten Werte</translation>
    </message>
    <message>
        <source>Field</source>
        <translation>Feld</translation>
    </message>
    <message>
        <source>Value, or why it is absent</source>
        <translation>Wert, oder warum er fehlt</translation>
    </message>
    <message>
        <source>not read by type %1</source>
        <translation>vom Typ %1 nicht gelesen</translation>
    </message>
    <message>
        <source>not set</source>
        <translation>nicht gesetzt</translation>
    </message>
    <message>
        <source>The capture window has received no data block yet.</source>
        <translation>Das Aufzeichnungsfenster hat noch keinen Datenblock erhalten.</translation>
    </message>
    <message>
        <source>Type the bytes of a data block in HEX first.</source>
        <translation>Zuerst die Bytes eines Datenblocks in HEX eingeben.</translation>
    </message>
    <message>
        <source>No field is defined: add one first.</source>
        <translation>Kein Feld ist festgelegt: zuerst eines hinzufügen.</translation>
    </message>
    <message>
        <source>Tried on a data block of %1 bytes:</source>
        <translation>An einem Datenblock von %1 Bytes ausprobiert:</translation>
    </message>
</context>
<context>
    <name>ZScriptPane</name>
    <message>
        <source>Script</source>
        <translation>Skript</translation>
    </message>
    <message>
        <source>Run script...</source>
        <translation>Skript ausführen...</translation>
    </message>
    <message>
        <source>Runs a Lua script against the running capture</source>
        <translation>Führt ein Lua-Skript mit der laufenden Aufzeichnung aus</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Stop the script</source>
        <translation>Skript anhalten</translation>
    </message>
    <message>
        <source>Output of the script</source>
        <translation>Ausgabe des Skripts</translation>
    </message>
    <message>
        <source>Run script</source>
        <translation>Skript ausführen</translation>
    </message>
    <message>
        <source>Lua scripts (*.lua)</source>
        <translation>Lua-Skripte (*.lua)</translation>
    </message>
    <message>
        <source>Running %1</source>
        <translation>%1 läuft</translation>
    </message>
    <message>
        <source>The script ended with exit code %1.</source>
        <translation>Das Skript endete mit dem Exit-Code %1.</translation>
    </message>
</context>
<context>
    <name>Tfrm_Plot</name>
    <message>
        <source>Plot</source>
        <translation>Diagramm</translation>
    </message>
    <message>
        <source>Fields to plot</source>
        <translation>Felder im Diagramm</translation>
    </message>
    <message>
        <source>Fixed &amp;Y range</source>
        <translation>&amp;Y-Bereich fest</translation>
    </message>
    <message>
        <source>Fixed Y range of the selected field</source>
        <translation>Fester Y-Bereich des gewählten Felds</translation>
    </message>
    <message>
        <source>Y range from</source>
        <translation>Y-Bereich von</translation>
    </message>
    <message>
        <source>Y range to</source>
        <translation>Y-Bereich bis</translation>
    </message>
    <message>
        <source>fro&amp;m:</source>
        <translation>vo&amp;n:</translation>
    </message>
    <message>
        <source>&amp;to:</source>
        <translation>b&amp;is:</translation>
    </message>
    <message>
        <source>The Y range needs its lower bound below its upper one.</source>
        <translation>Beim Y-Bereich muss die untere Grenze unter der oberen liegen.</translation>
    </message>
    <message>
        <source>&amp;Pause</source>
        <translation>&amp;Anhalten</translation>
    </message>
    <message>
        <source>Back to &amp;live</source>
        <translation>&amp;Zurück zur Live-Ansicht</translation>
    </message>
    <message>
        <source>One &amp;shared axis</source>
        <translation>&amp;Gemeinsame Achse</translation>
    </message>
    <message>
        <source> s</source>
        <translation> s</translation>
    </message>
    <message>
        <source>Seconds shown</source>
        <translation>Gezeigte Sekunden</translation>
    </message>
    <message>
        <source>Sho&amp;w:</source>
        <translation>Zeit&amp;raum:</translation>
    </message>
    <message>
        <source>Save &amp;picture...</source>
        <translation>&amp;Bild speichern...</translation>
    </message>
    <message>
        <source>Save &amp;values...</source>
        <translation>&amp;Werte speichern...</translation>
    </message>
    <message>
        <source>At most %1 fields are plotted at once.</source>
        <translation>Höchstens %1 Felder werden zugleich gezeichnet.</translation>
    </message>
    <message>
        <source>Time (s)</source>
        <translation>Zeit (s)</translation>
    </message>
    <message>
        <source>All fields</source>
        <translation>Alle Felder</translation>
    </message>
    <message>
        <source>%1: no value over the last %2 s</source>
        <translation>%1: kein Wert in den letzten %2 s</translation>
    </message>
    <message>
        <source>%1: last %2, minimum %3, maximum %4 over the last %5 s</source>
        <translation>%1: zuletzt %2, Minimum %3, Maximum %4 in den letzten %5 s</translation>
    </message>
    <message>
        <source>Time %1</source>
        <translation>Zeit %1</translation>
    </message>
    <message>
        <source>Save picture</source>
        <translation>Bild speichern</translation>
    </message>
    <message>
        <source>PNG picture (*.png)</source>
        <translation>PNG-Bild (*.png)</translation>
    </message>
    <message>
        <source>The picture could not be saved to &quot;%1&quot;.</source>
        <translation>Das Bild konnte nicht als „%1“ gespeichert werden.</translation>
    </message>
    <message>
        <source>Save values</source>
        <translation>Werte speichern</translation>
    </message>
    <message>
        <source>Values as CSV (*.csv)</source>
        <translation>Werte als CSV (*.csv)</translation>
    </message>
</context>
<context>
    <name>IniFile</name>
    <message>
        <source>is %1</source>
        <translation>ist %1</translation>
    </message>
    <message>
        <source>not a regular file</source>
        <translation>keine gewöhnliche Datei</translation>
    </message>
    <message>
        <source>is a symbolic link</source>
        <translation>ist ein symbolischer Link</translation>
    </message>
    <message>
        <source>is larger than 16 MB</source>
        <translation>ist größer als 16 MB</translation>
    </message>
    <message>
        <source>cannot be read (%1)</source>
        <translation>kann nicht gelesen werden (%1)</translation>
    </message>
</context>
<context>
    <name>LogFileManager</name>
    <message>
        <source>Log files cannot be written into the folder &quot;%1&quot;: %2</source>
        <translation>Protokolldateien können nicht in den Ordner „%1“ geschrieben werden: %2</translation>
    </message>
    <message>
        <source>no log folder is set.</source>
        <translation>Es ist kein Protokollverzeichnis eingestellt.</translation>
    </message>
    <message>
        <source>%1.</source>
        <translation>%1.</translation>
    </message>
    <message>
        <source>it cannot be made (%1).</source>
        <translation>Er kann nicht angelegt werden (%1).</translation>
    </message>
    <message>
        <source>it is not a folder.</source>
        <translation>Das ist kein Ordner.</translation>
    </message>
    <message>
        <source>the folder is read-only.</source>
        <translation>Der Ordner ist schreibgeschützt.</translation>
    </message>
    <message>
        <source>no file can be created there (%1).</source>
        <translation>Dort kann keine Datei angelegt werden (%1).</translation>
    </message>
    <message>
        <source>no file can be created there (every trial name is taken).</source>
        <translation>Dort kann keine Datei angelegt werden (jeder Probename ist vergeben).</translation>
    </message>
</context>
<context>
    <name>PcapngReader</name>
    <message>
        <source>The recording &quot;%1&quot; %2</source>
        <translation>Der Mitschnitt „%1“ %2</translation>
    </message>
    <message>
        <source>cannot be read: %1</source>
        <translation>kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>is %1, and a recording must be a regular file.</source>
        <translation>ist %1, und ein Mitschnitt muss eine gewöhnliche Datei sein.</translation>
    </message>
    <message>
        <source>is not a pcapng file.</source>
        <translation>ist keine pcapng-Datei.</translation>
    </message>
    <message>
        <source>ends inside a block at offset %1.</source>
        <translation>endet innerhalb eines Blocks bei Offset %1.</translation>
    </message>
    <message>
        <source>has a block of impossible length %1 at offset %2.</source>
        <translation>hat bei Offset %2 einen Block der unmöglichen Länge %1.</translation>
    </message>
    <message>
        <source>has a malformed block at offset %1.</source>
        <translation>hat bei Offset %1 einen fehlerhaften Block.</translation>
    </message>
    <message>
        <source>has pcapng version %1, not 1.</source>
        <translation>hat die pcapng-Version %1, nicht 1.</translation>
    </message>
    <message>
        <source>holds packets of link type %1, not of link type %2.</source>
        <translation>enthält Pakete des Link-Typs %1, nicht des Link-Typs %2.</translation>
    </message>
    <message>
        <source>has a time resolution it cannot use at offset %1.</source>
        <translation>hat bei Offset %1 eine Zeitauflösung, die nicht verwendet werden kann.</translation>
    </message>
    <message>
        <source>has a malformed packet block at offset %1.</source>
        <translation>hat bei Offset %1 einen fehlerhaften Paketblock.</translation>
    </message>
    <message>
        <source>has a packet with a time after the year 9999 (packet %1 at offset %2).</source>
        <translation>hat ein Paket mit einer Zeit nach dem Jahr 9999 (Paket %1 bei Offset %2).</translation>
    </message>
</context>
<context>
    <name>RecordingReplay</name>
    <message>
        <source>File could not be read: &quot;%1&quot;: %2</source>
        <translation>Die Datei konnte nicht gelesen werden: „%1“: %2</translation>
    </message>
    <message>
        <source>Capture mode 4 (frames separated by silence) needs a timed recording (.pcapng): &quot;%1&quot; holds no time of its reads</source>
        <translation>Aufzeichnungsart 4 (durch Pausen getrennte Rahmen) braucht einen Mitschnitt mit Zeiten (.pcapng): „%1“ enthält keine Zeiten seiner Lesevorgänge</translation>
    </message>
    <message>
        <source>File could not be read: &quot;%1&quot;: it is %2, and a recording must be a regular file</source>
        <translation>Die Datei konnte nicht gelesen werden: „%1“: Sie ist %2, und ein Mitschnitt muss eine gewöhnliche Datei sein</translation>
    </message>
    <message>
        <source>File not found: &quot;%1&quot;</source>
        <translation>Datei nicht gefunden: „%1“</translation>
    </message>
</context>
<context>
    <name>SystemError</name>
    <message>
        <source>Operation not permitted</source>
        <translation>Die Operation ist nicht erlaubt</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>Datei oder Verzeichnis nicht gefunden</translation>
    </message>
    <message>
        <source>Interrupted system call</source>
        <translation>Unterbrochener Systemaufruf</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>Eingabe-/Ausgabefehler</translation>
    </message>
    <message>
        <source>No such device or address</source>
        <translation>Kein solches Gerät und keine solche Adresse</translation>
    </message>
    <message>
        <source>Argument list too long</source>
        <translation>Die Argumentliste ist zu lang</translation>
    </message>
    <message>
        <source>Bad file descriptor</source>
        <translation>Ungültiger Dateideskriptor</translation>
    </message>
    <message>
        <source>Resource temporarily unavailable</source>
        <translation>Die Ressource ist zurzeit nicht verfügbar</translation>
    </message>
    <message>
        <source>Cannot allocate memory</source>
        <translation>Es kann kein Speicher reserviert werden</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Keine Berechtigung</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>Das Gerät oder die Ressource ist belegt</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>Die Datei existiert bereits</translation>
    </message>
    <message>
        <source>No such device</source>
        <translation>Kein solches Gerät</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>Kein Verzeichnis</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>Ist ein Verzeichnis</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>Ungültiges Argument</translation>
    </message>
    <message>
        <source>Too many open files in system</source>
        <translation>Zu viele offene Dateien im System</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>Zu viele offene Dateien</translation>
    </message>
    <message>
        <source>Inappropriate ioctl for device</source>
        <translation>Unpassende Gerätesteuerung (ioctl) für dieses Gerät</translation>
    </message>
    <message>
        <source>File too large</source>
        <translation>Die Datei ist zu groß</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>Auf dem Gerät ist kein Platz mehr frei</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>Das Dateisystem ist nur lesbar</translation>
    </message>
    <message>
        <source>Broken pipe</source>
        <translation>Die Pipe wurde unterbrochen</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>Der Dateiname ist zu lang</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <translation>Zu viele Ebenen symbolischer Links</translation>
    </message>
    <message>
        <source>No data available</source>
        <translation>Keine Daten verfügbar</translation>
    </message>
    <message>
        <source>Protocol error</source>
        <translation>Protokollfehler</translation>
    </message>
    <message>
        <source>Address already in use</source>
        <translation>Die Adresse wird bereits verwendet</translation>
    </message>
    <message>
        <source>Cannot assign requested address</source>
        <translation>Die angeforderte Adresse kann nicht zugewiesen werden</translation>
    </message>
    <message>
        <source>Network is down</source>
        <translation>Das Netzwerk ist nicht aktiv</translation>
    </message>
    <message>
        <source>Network is unreachable</source>
        <translation>Das Netzwerk ist nicht erreichbar</translation>
    </message>
    <message>
        <source>Software caused connection abort</source>
        <translation>Die Software hat den Verbindungsabbruch verursacht</translation>
    </message>
    <message>
        <source>Connection reset by peer</source>
        <translation>Die Verbindung wurde von der Gegenstelle zurückgesetzt</translation>
    </message>
    <message>
        <source>Transport endpoint is not connected</source>
        <translation>Der Transportendpunkt ist nicht verbunden</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>Zeitüberschreitung der Verbindung</translation>
    </message>
    <message>
        <source>Connection refused</source>
        <translation>Die Verbindung wurde abgelehnt</translation>
    </message>
    <message>
        <source>Host is down</source>
        <translation>Der Rechner ist nicht aktiv</translation>
    </message>
    <message>
        <source>No route to host</source>
        <translation>Keine Route zum Rechner</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>Das Plattenkontingent ist überschritten</translation>
    </message>
</context>
<context>
    <name>TextFile</name>
    <message>
        <source>CSV file</source>
        <translation>CSV-Datei</translation>
    </message>
    <message>
        <source>frame file</source>
        <translation>Rahmendatei</translation>
    </message>
    <message>
        <source>The %1 is already open: &quot;%2&quot;</source>
        <translation>Die %1 ist bereits geöffnet: „%2“</translation>
    </message>
    <message>
        <source>The %1 could not be created: &quot;%2&quot;: %3</source>
        <translation>Die %1 konnte nicht angelegt werden: „%2“: %3</translation>
    </message>
    <message>
        <source>The %1 could not be written: &quot;%2&quot;: %3</source>
        <translation>Die %1 konnte nicht geschrieben werden: „%2“: %3</translation>
    </message>
</context>
</TS>
