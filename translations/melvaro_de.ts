<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>AudioFiles</name>
    <message>
        <source>Audio Files</source>
        <translation>Audiodateien</translation>
    </message>
    <message>
        <source>All Files</source>
        <translation>Alle Dateien</translation>
    </message>
</context>
<context>
    <name>FormatSettings</name>
    <message>
        <source>%1 kbit/s%2</source>
        <translation>%1 kbit/s%2</translation>
    </message>
    <message>
        <source>Quality %1</source>
        <translation>Qualität %1</translation>
    </message>
    <message>
        <source>Compression %1</source>
        <translation>Kompression %1</translation>
    </message>
    <message>
        <source>%1 bit</source>
        <translation>%1 Bit</translation>
    </message>
    <message>
        <source>Keep the source&apos;s</source>
        <translation>Wie die Quelle</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stereo</translation>
    </message>
    <message>
        <source>Mono</source>
        <translation>Mono</translation>
    </message>
</context>
<context>
    <name>IniFile</name>
    <message>
        <source>Unable to write to %1</source>
        <translation>%1 kann nicht geschrieben werden</translation>
    </message>
</context>
<context>
    <name>MelvaroConvert</name>
    <message>
        <source>converted: %1 -&gt; %2
</source>
        <translation>umgewandelt: %1 -&gt; %2
</translation>
    </message>
    <message>
        <source>warning: %1: %2
</source>
        <translation>Warnung: %1: %2
</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>angehalten</translation>
    </message>
    <message>
        <source>failed: %1: %2
</source>
        <translation>fehlgeschlagen: %1: %2
</translation>
    </message>
    <message>
        <source>%1 converted (%2 with problems), %3 failed
</source>
        <translation>%1 umgewandelt (%2 mit Problemen), %3 fehlgeschlagen
</translation>
    </message>
    <message>
        <source>%1 converted, %2 failed
</source>
        <translation>%1 umgewandelt, %2 fehlgeschlagen
</translation>
    </message>
    <message>
        <source>usage: melvaro-convert [-o FOLDER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITY]
                       [--rate HZ|keep] [--channels 1|2|keep] FILE...
       melvaro-convert [-o FOLDER] [-j N] --target TARGET FILE...
</source>
        <translation>Aufruf: melvaro-convert [-o ORDNER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITÄT]
                        [--rate HZ|keep] [--channels 1|2|keep] DATEI...
        melvaro-convert [-o ORDNER] [-j N] --target ZIEL DATEI...
</translation>
    </message>
    <message>
        <source>Converts each FILE and writes it to FOLDER/NAME.EXT, where NAME is the file&apos;s
name without its extension and EXT the format&apos;s. Video is left out of audio
formats. A &quot;.dat&quot; file is read as MPEG. Tags (title, artist, album, ...) and
cover art are carried over where the format can hold them.

  -o, --output FOLDER  where the files go (created when missing);
                       default: the current folder
  -j, --jobs N         convert N files at the same time (default 1)
  -f, --format FORMAT  mp3 (default), ogg, opus, m4a, flac or wav
  -b, --bitrate KBITS  mp3: CBR 64, 80, 96, 112, 128 (default), 160, 192, 224,
                       256 or 320; opus: 6 to 510 (default 128);
                       m4a (AAC): 32 to 320 (default 192)
  -q, --quality Q      mp3: VBR level 0 (best) to 9; ogg: Vorbis quality 0 to
                       10 (default 5); flac: compression level 0 to 12
                       (default 5); wav: 16 (default) or 24 bits per sample
      --rate HZ|keep   sample rate; default: mp3 44100, opus always 48000,
                       the others keep the source&apos;s
      --channels 1|2|keep  default: mp3 2, the others keep the source&apos;s
      --target TARGET  convert video for a disc or tape: vcd, svcd, dvd
                       (written as .mpg) or dv (.dv), each also with a
                       &quot;pal-&quot;, &quot;ntsc-&quot; or &quot;film-&quot; prefix
  -h, --help           show this text
      --version        show the program&apos;s version

FLAC keeps the source&apos;s bit depth up to 24 bits. A choice the format cannot
make (Opus at 44100 Hz, FLAC with a bit rate, ...) is refused before any file
is written.

An existing NAME.EXT is replaced once its new version is complete, except
when it is one of the FILEs or the output of an earlier FILE: then the
output becomes &quot;NAME (2).EXT&quot; (or the next free number) and a note says
so. Until a file is complete it is written under a hidden name in FOLDER;
a file that fails or is stopped leaves FOLDER as it was. While converting,
a terminal shows each running file&apos;s percentage. Every file ends with a
line saying where it went or why it failed; a file converted from an input
that ended early or had damaged parts gets a &quot;warning:&quot; line as well.
The last line counts them. Exit status: 0 when every file was converted
cleanly, 1 when any failed, 2 for a wrong command line, 3 when none failed
but some were converted with problems. Ctrl+C stops the running files and
starts no more.

The FFmpeg libraries are looked for in the folder &quot;Lib&quot; beside the
program first, then where the system keeps them.
</source>
        <translation>Wandelt jede DATEI um und schreibt sie nach ORDNER/NAME.ERW; NAME ist der Name
der Datei ohne ihre Endung, ERW die des Formats. Video wird bei Audioformaten
weggelassen. Eine &quot;.dat&quot;-Datei wird als MPEG gelesen. Tags (Titel, Interpret,
Album, ...) und Cover werden übernommen, wo das Format sie aufnehmen kann.

  -o, --output ORDNER  wohin die Dateien kommen (wird angelegt, wenn er fehlt);
                       Vorgabe: der aktuelle Ordner
  -j, --jobs N         N Dateien gleichzeitig umwandeln (Vorgabe 1)
  -f, --format FORMAT  mp3 (Vorgabe), ogg, opus, m4a, flac oder wav
  -b, --bitrate KBITS  mp3: CBR 64, 80, 96, 112, 128 (Vorgabe), 160, 192, 224,
                       256 oder 320; opus: 6 bis 510 (Vorgabe 128);
                       m4a (AAC): 32 bis 320 (Vorgabe 192)
  -q, --quality Q      mp3: VBR-Stufe 0 (beste) bis 9; ogg: Vorbis-Qualität 0
                       bis 10 (Vorgabe 5); flac: Kompressionsstufe 0 bis 12
                       (Vorgabe 5); wav: 16 (Vorgabe) oder 24 Bit pro Sample
      --rate HZ|keep   Abtastrate; Vorgabe: mp3 44100, opus immer 48000,
                       die anderen behalten die der Quelle
      --channels 1|2|keep  Vorgabe: mp3 2, die anderen wie die Quelle
      --target ZIEL    Video für eine Disc oder ein Band umwandeln: vcd, svcd,
                       dvd (als .mpg geschrieben) oder dv (.dv), jeweils auch
                       mit dem Präfix &quot;pal-&quot;, &quot;ntsc-&quot; oder &quot;film-&quot;
  -h, --help           diesen Text zeigen
      --version        die Version des Programms zeigen

FLAC behält die Bittiefe der Quelle bis 24 Bit. Eine Wahl, die das Format
nicht kann (Opus mit 44100 Hz, FLAC mit einer Bitrate, ...), wird abgelehnt,
bevor eine Datei geschrieben wird.

Ein vorhandenes NAME.ERW wird ersetzt, sobald seine neue Fassung vollständig
ist, außer wenn es eine der DATEIen oder die Ausgabe einer früheren DATEI ist:
dann wird die Ausgabe zu &quot;NAME (2).ERW&quot; (oder der nächsten freien Nummer), und
ein Hinweis sagt es. Bis eine Datei vollständig ist, wird sie unter einem
versteckten Namen in ORDNER geschrieben; eine Datei, die fehlschlägt oder
angehalten wird, lässt ORDNER, wie er war. Während der Umwandlung zeigt ein
Terminal den Fortschritt jeder laufenden Datei in Prozent. Jede Datei endet mit
einer Zeile, die sagt, wohin sie ging oder warum sie fehlschlug; eine Datei aus
einer Eingabe, die zu früh endete oder beschädigte Teile hatte, bekommt
zusätzlich eine &quot;Warnung:&quot;-Zeile. Die letzte Zeile zählt sie. Rückgabewert:
0, wenn jede Datei sauber umgewandelt wurde, 1, wenn eine fehlschlug, 2 bei
einer falschen Befehlszeile, 3, wenn keine fehlschlug, aber manche mit Problemen
umgewandelt wurden. Strg+C hält die laufenden Dateien an und startet keine
weiteren.

Die FFmpeg-Bibliotheken werden zuerst im Ordner &quot;Lib&quot; neben dem Programm
gesucht, dann dort, wo das System sie hat.
</translation>
    </message>
    <message>
        <source>melvaro-convert: -f wants mp3, ogg, opus, m4a, flac or wav, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: -f erwartet mp3, ogg, opus, m4a, flac oder wav, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a number or &quot;keep&quot;, not &quot;%2&quot;
</source>
        <translation>melvaro-convert: %1 erwartet eine Zahl oder &quot;keep&quot;, nicht &quot;%2&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a number, not &quot;%2&quot;
</source>
        <translation>melvaro-convert: %1 erwartet eine Zahl, nicht &quot;%2&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a positive number or &quot;keep&quot;, not &quot;%2&quot;
</source>
        <translation>melvaro-convert: %1 erwartet eine positive Zahl oder &quot;keep&quot;, nicht &quot;%2&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a positive number, not &quot;%2&quot;
</source>
        <translation>melvaro-convert: %1 erwartet eine positive Zahl, nicht &quot;%2&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 needs %2
</source>
        <translation>melvaro-convert: %1 braucht %2
</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>einen Ordner</translation>
    </message>
    <message>
        <source>a number</source>
        <translation>eine Zahl</translation>
    </message>
    <message>
        <source>melvaro-convert: -j wants a number from 1 to 64, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: -j erwartet eine Zahl von 1 bis 64, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>a format</source>
        <translation>ein Format</translation>
    </message>
    <message>
        <source>a bit rate in kbit/s</source>
        <translation>eine Bitrate in kbit/s</translation>
    </message>
    <message>
        <source>a quality</source>
        <translation>eine Qualität</translation>
    </message>
    <message>
        <source>a sample rate or &quot;keep&quot;</source>
        <translation>eine Abtastrate oder &quot;keep&quot;</translation>
    </message>
    <message>
        <source>1, 2 or &quot;keep&quot;</source>
        <translation>1, 2 oder &quot;keep&quot;</translation>
    </message>
    <message>
        <source>a target</source>
        <translation>ein Ziel</translation>
    </message>
    <message>
        <source>melvaro-convert: --target wants vcd, svcd, dvd or dv, optionally with a &quot;pal-&quot;, &quot;ntsc-&quot; or &quot;film-&quot; prefix, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --target erwartet vcd, svcd, dvd oder dv, wahlweise mit dem Präfix &quot;pal-&quot;, &quot;ntsc-&quot; oder &quot;film-&quot;, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: unknown option %1
</source>
        <translation>melvaro-convert: unbekannte Option %1
</translation>
    </message>
    <message>
        <source>melvaro-convert: --target sets the whole format; -f, -b, -q, --rate and --channels cannot go with it
</source>
        <translation>melvaro-convert: --target legt das ganze Format fest; -f, -b, -q, --rate und --channels gehen nicht damit zusammen
</translation>
    </message>
    <message>
        <source>melvaro-convert: cannot make the folder %1: %2
</source>
        <translation>melvaro-convert: der Ordner %1 kann nicht angelegt werden: %2
</translation>
    </message>
    <message>
        <source>note: %1</source>
        <translation>Hinweis: %1</translation>
    </message>
    <message>
        <source>stopping ...</source>
        <translation>wird angehalten ...</translation>
    </message>
    <message>
        <source>stopped before it started</source>
        <translation>angehalten, bevor sie begann</translation>
    </message>
</context>
<context>
    <name>Shell</name>
    <message>
        <source>it does not exist</source>
        <translation>es gibt sie nicht</translation>
    </message>
    <message>
        <source>no program of the desktop could open it (xdg-open is missing or failed)</source>
        <translation>kein Programm der Arbeitsumgebung konnte sie öffnen (xdg-open fehlt oder schlug fehl)</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>%1 of %2 done</source>
        <translation>%1 von %2 fertig</translation>
    </message>
    <message>
        <source>Time left: %1</source>
        <translation>Restzeit: %1</translation>
    </message>
    <message>
        <source>Done: %1 converted, %2 failed</source>
        <translation>Fertig: %1 umgewandelt, %2 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, %1 with problems</source>
        <translation>, %1 mit Problemen</translation>
    </message>
    <message>
        <source>, %1 stopped</source>
        <translation>, %1 angehalten</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>Stopped: %1 converted, %2 failed</source>
        <translation>Angehalten: %1 umgewandelt, %2 fehlgeschlagen</translation>
    </message>
    <message>
        <source>, %1 not started</source>
        <translation>, %1 nicht begonnen</translation>
    </message>
    <message>
        <source>Not started</source>
        <translation>Nicht begonnen</translation>
    </message>
</context>
<context>
    <name>TDetailsDialog</name>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Keine Datei ausgewählt</translation>
    </message>
</context>
<context>
    <name>TFileListView</name>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Größe</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Pfad</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Anhalten</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Umwandeln</translation>
    </message>
    <message>
        <source>The output folder %1 cannot be created: %2</source>
        <translation>Der Ausgabeordner %1 kann nicht angelegt werden: %2</translation>
    </message>
    <message>
        <source>The output folder %1 is not writable: %2</source>
        <translation>In den Ausgabeordner %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The media libraries cannot be loaded:
%1</source>
        <translation>Die Medienbibliotheken können nicht geladen werden:
%1</translation>
    </message>
    <message>
        <source>Please wait ...</source>
        <translation>Bitte warten ...</translation>
    </message>
    <message>
        <source>Output: %1</source>
        <translation>Ausgabe: %1</translation>
    </message>
    <message>
        <source>Files are being converted. Stop the conversions and quit?</source>
        <translation>Es werden Dateien umgewandelt. Die Umwandlungen anhalten und beenden?</translation>
    </message>
    <message>
        <source>The help %1 cannot be opened: %2</source>
        <translation>Die Hilfe %1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Nothing to convert: add files to the list first.</source>
        <translation>Nichts umzuwandeln: zuerst Dateien zur Liste hinzufügen.</translation>
    </message>
    <message>
        <source>No output folder is set: choose one in the settings.</source>
        <translation>Kein Ausgabeordner festgelegt: bitte in den Optionen einen wählen.</translation>
    </message>
    <message>
        <source>The output folder %1 cannot be opened: %2</source>
        <translation>Der Ausgabeordner %1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Not converted: the batch was stopped before this file began.</source>
        <translation>Nicht umgewandelt: die Umwandlung wurde angehalten, bevor diese Datei begann.</translation>
    </message>
</context>
<context>
    <name>TFset</name>
    <message>
        <source>Settings</source>
        <translation>Optionen</translation>
    </message>
    <message>
        <source>Output Path</source>
        <translation>Ausgabepfad</translation>
    </message>
    <message>
        <source>Please click button to change path</source>
        <translation>Pfad mit der Schaltfläche ändern</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Wählen</translation>
    </message>
    <message>
        <source>Save as default</source>
        <translation>Als Standard</translation>
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
        <source>Files at once</source>
        <translation>Gleichzeitig</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualität</translation>
    </message>
    <message>
        <source>Sample rate</source>
        <translation>Abtastrate</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Kanäle</translation>
    </message>
</context>
</TS>
