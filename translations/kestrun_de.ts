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
</TS>
