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
    <message>
        <source>, %1 copied</source>
        <translation>, %1 kopiert</translation>
    </message>
    <message>
        <source>, %1 up to date</source>
        <translation>, %1 aktuell</translation>
    </message>
    <message>
        <source>, %1 already there</source>
        <translation>, %1 schon vorhanden</translation>
    </message>
    <message>
        <source>, %1 pruned</source>
        <translation>, %1 entfernt</translation>
    </message>
    <message>
        <source>replace, skip or update</source>
        <translation>replace, skip oder update</translation>
    </message>
    <message>
        <source>melvaro-convert: --existing wants replace, skip or update, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --existing erwartet replace, skip oder update, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>flat, tree or beside</source>
        <translation>flat, tree oder beside</translation>
    </message>
    <message>
        <source>melvaro-convert: --layout wants flat, tree or beside, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --layout erwartet flat, tree oder beside, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>a pattern</source>
        <translation>ein Muster</translation>
    </message>
    <message>
        <source>melvaro-convert: --name wants a pattern such as &quot;{artist}/{album}/{track:02} {title}&quot;
</source>
        <translation>melvaro-convert: --name erwartet ein Muster wie &quot;{artist}/{album}/{track:02} {title}&quot;
</translation>
    </message>
    <message>
        <source>melvaro-convert: --prune needs --mirror or --existing update
</source>
        <translation>melvaro-convert: --prune braucht --mirror oder --existing update
</translation>
    </message>
    <message>
        <source>melvaro-convert: --copy-same-format cannot go with --target
</source>
        <translation>melvaro-convert: --copy-same-format geht nicht mit --target zusammen
</translation>
    </message>
    <message>
        <source>note: %1 is already an input; it is converted once</source>
        <translation>Hinweis: %1 ist bereits eine Eingabe; sie wird nur einmal umgewandelt</translation>
    </message>
    <message>
        <source>&quot;track&quot;</source>
        <translation>&quot;track&quot;</translation>
    </message>
    <message>
        <source>melvaro-convert: --replaygain wants &quot;track&quot; (album gain is not available yet), not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --replaygain erwartet &quot;track&quot; (Album-Gain gibt es noch nicht), nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>a loudness in LUFS</source>
        <translation>eine Lautheit in LUFS</translation>
    </message>
    <message>
        <source>melvaro-convert: --normalize wants a loudness from -70 to -1 LUFS, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --normalize erwartet eine Lautheit von -70 bis -1 LUFS, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>usage: melvaro-convert [-o FOLDER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITY]
                       [--rate HZ|keep] [--channels 1|2|keep]
                       [--layout flat|tree|beside] [--name PATTERN] FILE_OR_FOLDER...
       melvaro-convert [-o FOLDER] [-j N] --target TARGET FILE_OR_FOLDER...
       melvaro-convert --mirror [--prune] [--copy-same-format] -o FOLDER SOURCE...
  also: [--existing replace|skip|update] [-n|--dry-run] [--no-split | --chapters]
        [--verify | --no-verify] [--replaygain track] [--normalize LUFS]
        [--threads-per-file N] [--retry-failed] [--memory-limit MIB]
</source>
        <translation>Aufruf: melvaro-convert [-o ORDNER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITÄT]
                        [--rate HZ|keep] [--channels 1|2|keep]
                        [--layout flat|tree|beside] [--name MUSTER]
                        DATEI_ODER_ORDNER...
        melvaro-convert [-o ORDNER] [-j N] --target ZIEL DATEI_ODER_ORDNER...
        melvaro-convert --mirror [--prune] [--copy-same-format] -o ORDNER
                        QUELLE...
  außerdem: [--existing replace|skip|update] [-n|--dry-run]
            [--no-split | --chapters]
            [--verify | --no-verify] [--replaygain track] [--normalize LUFS]
            [--threads-per-file N] [--retry-failed] [--memory-limit MIB]
</translation>
    </message>
    <message>
        <source>Converts each FILE and writes it to FOLDER/NAME.EXT, where NAME is the file&apos;s
name without its extension and EXT the format&apos;s. A folder stands for the
audio files beneath it (sub-folders included, hidden ones left out); their
folders below it are kept under FOLDER. Video is left out of audio
formats. A &quot;.dat&quot; file is read as MPEG. Tags (title, artist, album, ...) and
cover art are carried over where the format can hold them.

  -o, --output FOLDER  where the files go (created when missing);
                       default: the current folder
  -j, --jobs N         convert N files at the same time (default 1)
      --threads-per-file N  encode one long MP3 file on N encoders at once;
                       default: a file alone (or the last of the batch)
                       gets the -j slots no other file takes; 1: never
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
      --layout LAYOUT  flat: every output in FOLDER; tree: a file found in a
                       given folder keeps its folders below it under FOLDER;
                       beside: next to its source. Default: tree for files
                       found in a folder, flat for files named one by one
                       and for a --name that makes folders
      --name PATTERN   the output&apos;s name (without extension) from fields:
                       {artist} {albumartist} {album} {title} {track}
                       {disc} {year} {genre} {name} {folder}; a number
                       takes a width, {track:02}; &quot;/&quot; makes folders
      --existing RULE  what to do when an output exists: replace it (the
                       default), skip the file, or update: convert only
                       when the output is missing, its source has changed
                       (size, time) or the settings have, as the record
                       Melvaro keeps in FOLDER says
      --mirror         keep FOLDER in step with the SOURCE folders: the
                       tree layout, --existing update, and the companion
                       pictures (cover.jpg, folder.jpg, front.png, ...)
                       when newer
      --prune          with update: also remove the outputs whose source is
                       gone (only files Melvaro made there, unchanged since,
                       and the folders this leaves empty)
      --copy-same-format  copy a source already in the output format (and
                       not above the chosen bit rate) instead of converting
  -n, --dry-run        print what would be done to each file (convert,
                       copy, up to date, prune) and write nothing
      --no-split       convert a file with a cue sheet whole
      --chapters       split a file with chapters (M4B, M4A, MKA, Ogg) into
                       one output per chapter
      --verify         decode every output completely before it is put in
                       place (the default): one that does not decode to the
                       length it was given (or, for FLAC and WAV, to
                       exactly its samples) fails and replaces nothing
      --no-verify      put each output in place without decoding it first
      --replaygain track  measure each file first (a decode-only pass) and
                       write ReplayGain 2.0 tags, relative to -18 LUFS with
                       the true peak (FLAC, Ogg, MP3); Opus gets
                       R128_TRACK_GAIN (relative to -23 LUFS) instead
      --normalize LUFS bring each file to LUFS (e.g. -16) in the same
                       conversion, with less gain where the true peak would
                       pass -1 dBTP (no limiter); the log says which
      --retry-failed   with update: convert again the files whose
                       conversion crashed on an earlier run (the record
                       keeps them; otherwise they are reported, not run)
      --memory-limit MIB  the memory (address space) each file&apos;s conversion
                       may take, in MiB (default 1024; 0: no limit)
  -h, --help           show this text
      --version        show the program&apos;s version

Names from tags: {albumartist} is the artist when missing, {title} the
file&apos;s name, {name} is the file&apos;s name without extension and {folder} its
folder below the folder given. A missing field is &quot;Unknown Artist&quot;,
&quot;Unknown Album&quot;, &quot;Unknown Genre&quot; or &quot;Unknown Year&quot;, a missing {track}
or {disc} is 0. Names are made safe for FAT and exFAT: / \ : * ? &quot; &lt; &gt; |
and control characters become &quot;_&quot;, trailing dots and spaces go, and each
name is cut to 255 bytes; no tag can place a file outside FOLDER.

A file with a cue sheet (NAME.cue beside it, the one .cue of its folder
that names it, or one embedded in it) becomes one output per track, named
&quot;{track:02} {title}&quot; unless --name says otherwise, and tagged with the
track&apos;s title, performer and number and the album&apos;s title, performer,
date and genre. A sheet that cannot be used fails the file, naming the
sheet and the line; --no-split converts it whole.

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
der Datei ohne ihre Endung, ERW die des Formats. Ein Ordner steht für die
Audiodateien darunter (Unterordner eingeschlossen, versteckte ausgelassen);
ihre Ordner unterhalb von ihm bleiben unter ORDNER erhalten. Video wird bei
Audioformaten weggelassen. Eine &quot;.dat&quot;-Datei wird als MPEG gelesen. Tags
(Titel, Interpret, Album, ...) und Cover werden übernommen, wo das Format sie
aufnehmen kann.

  -o, --output ORDNER  wohin die Dateien kommen (wird angelegt, wenn er fehlt);
                       Vorgabe: der aktuelle Ordner
  -j, --jobs N         N Dateien gleichzeitig umwandeln (Vorgabe 1)
      --threads-per-file N  eine lange MP3-Datei mit N Encodern zugleich
                       codieren; Vorgabe: eine Datei allein (oder die letzte
                       des Stapels) bekommt die -j-Plätze, die keine andere
                       nimmt; 1: nie
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
      --layout AUFBAU  flat: jede Ausgabe in ORDNER; tree: eine Datei aus einem
                       angegebenen Ordner behält ihre Ordner unterhalb von ihm
                       unter ORDNER; beside: neben ihrer Quelle. Vorgabe: tree
                       für Dateien aus einem Ordner, flat für einzeln genannte
                       Dateien und für ein --name, das Ordner anlegt
      --name MUSTER    der Name der Ausgabe (ohne Endung) aus Feldern:
                       {artist} {albumartist} {album} {title} {track}
                       {disc} {year} {genre} {name} {folder}; eine Zahl
                       nimmt eine Breite an, {track:02}; &quot;/&quot; legt Ordner an
      --existing REGEL was tun, wenn eine Ausgabe existiert: replace ersetzt
                       sie (die Vorgabe), skip überspringt die Datei, update
                       wandelt nur um, wenn die Ausgabe fehlt oder sich ihre
                       Quelle (Größe, Zeit) oder die Einstellungen geändert
                       haben, laut der Liste, die Melvaro in ORDNER führt
      --mirror         ORDNER mit den Ordnern QUELLE gleich halten: Aufbau
                       tree, --existing update und die Begleitbilder
                       (cover.jpg, folder.jpg, front.png, ...), wenn sie
                       neuer sind
      --prune          mit update: auch die Ausgaben entfernen, deren Quelle
                       fehlt (nur Dateien, die Melvaro dort angelegt hat und
                       die seitdem unverändert sind, und die Ordner, die
                       dadurch leer werden)
      --copy-same-format  eine Quelle, die schon im Ausgabeformat ist (und
                       nicht über der gewählten Bitrate liegt), kopieren statt
                       umwandeln
  -n, --dry-run        zeigen, was mit jeder Datei geschähe (umwandeln,
                       kopieren, aktuell, entfernen), und nichts schreiben
      --no-split       eine Datei mit Cue-Sheet als Ganzes umwandeln
      --chapters       eine Datei mit Kapiteln (M4B, M4A, MKA, Ogg) in eine
                       Ausgabe pro Kapitel aufteilen
      --verify         jede Ausgabe vollständig decodieren, bevor sie an ihren
                       Platz kommt (die Vorgabe): eine, die nicht zu der ihr
                       gegebenen Länge (bei FLAC und WAV: nicht genau zu ihren
                       Samples) decodiert, schlägt fehl und ersetzt nichts
      --no-verify      jede Ausgabe an ihren Platz stellen, ohne sie vorher zu
                       decodieren
      --replaygain track  jede Datei zuerst messen (ein Durchgang, der nur
                       decodiert) und ReplayGain-2.0-Tags schreiben, bezogen
                       auf -18 LUFS, mit dem True Peak (FLAC, Ogg, MP3); Opus
                       bekommt stattdessen R128_TRACK_GAIN (bezogen auf
                       -23 LUFS)
      --normalize LUFS jede Datei in derselben Umwandlung auf LUFS (z. B. -16)
                       bringen, mit weniger Verstärkung, wo der True Peak
                       -1 dBTP überschreiten würde (ohne Limiter); die Ausgabe
                       sagt, bei welchen
      --retry-failed   mit update: die Dateien erneut umwandeln, deren
                       Umwandlung in einem früheren Lauf abgestürzt ist (das
                       Verzeichnis behält sie; sonst werden sie gemeldet, nicht
                       umgewandelt)
      --memory-limit MIB  der Speicher (Adressraum), den die Umwandlung einer
                       Datei belegen darf, in MiB (Vorgabe 1024; 0: keine
                       Grenze)
  -h, --help           diesen Text zeigen
      --version        die Version des Programms zeigen

Namen aus Tags: {albumartist} ist, wenn es fehlt, der Interpret, {title} der
Name der Datei, {name} der Name der Datei ohne Endung und {folder} ihr Ordner
unterhalb des angegebenen Ordners. Ein fehlendes Feld wird zu &quot;Unknown Artist&quot;,
&quot;Unknown Album&quot;, &quot;Unknown Genre&quot; oder &quot;Unknown Year&quot;, ein fehlendes {track}
oder {disc} zu 0. Namen werden für FAT und exFAT sicher gemacht:
/ \ : * ? &quot; &lt; &gt; | und Steuerzeichen werden zu &quot;_&quot;, Punkte und Leerzeichen am
Ende fallen weg, und jeder Name wird auf 255 Byte gekürzt; kein Tag kann eine
Datei außerhalb von ORDNER ablegen.

Eine Datei mit Cue-Sheet (NAME.cue daneben, die einzige .cue-Datei ihres
Ordners, die sie nennt, oder ein eingebettetes) wird zu einer Ausgabe pro
Titel, benannt &quot;{track:02} {title}&quot;, sofern --name nichts anderes sagt, und
versehen mit Titel, Interpret und Nummer des Stücks sowie Titel, Interpret,
Datum und Genre des Albums. Ein unbrauchbares Sheet lässt die Datei
fehlschlagen und nennt Sheet und Zeile; --no-split wandelt sie als Ganzes um.

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
einer falschen Befehlszeile, 3, wenn keine fehlschlug, aber manche mit
Problemen umgewandelt wurden. Strg+C hält die laufenden Dateien an und startet
keine weiteren.

Die FFmpeg-Bibliotheken werden zuerst im Ordner &quot;Lib&quot; neben dem Programm
gesucht, dann dort, wo das System sie hat.
</translation>
    </message>
    <message>
        <source>melvaro-convert: --threads-per-file wants a number from 1 to 64, not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --threads-per-file erwartet eine Zahl von 1 bis 64, nicht &quot;%1&quot;
</translation>
    </message>
    <message>
        <source>a size in MiB</source>
        <translation>eine Größe in MiB</translation>
    </message>
    <message>
        <source>melvaro-convert: --memory-limit wants a number of MiB (0: no limit), not &quot;%1&quot;
</source>
        <translation>melvaro-convert: --memory-limit erwartet eine Zahl von MiB (0: keine Grenze), nicht &quot;%1&quot;
</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Output: %1</source>
        <translation>Ausgabe: %1</translation>
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
    <message>
        <source>, %1 up to date</source>
        <translation>, %1 aktuell</translation>
    </message>
    <message>
        <source>, %1 already there</source>
        <translation>, %1 schon vorhanden</translation>
    </message>
    <message>
        <source>Up to date</source>
        <translation>Aktuell</translation>
    </message>
    <message>
        <source>Exists</source>
        <translation>Vorhanden</translation>
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
    <message>
        <source>Duration</source>
        <translation>Dauer</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titel</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Interpret</translation>
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
    <message>
        <source>Output folder</source>
        <translation>Ausgabe</translation>
    </message>
    <message>
        <source>Change...</source>
        <translation>Ändern...</translation>
    </message>
    <message numerus="yes">
        <source>Done; %n file(s) already in the list left out</source>
        <translation>
            <numerusform>Fertig; %n Datei schon in der Liste, ausgelassen</numerusform>
            <numerusform>Fertig; %n Dateien schon in der Liste, ausgelassen</numerusform>
        </translation>
    </message>
    <message>
        <source>Not added:</source>
        <translation>Nicht hinzugefügt:</translation>
    </message>
    <message numerus="yes">
        <source>... and %n more</source>
        <translation>
            <numerusform>... und %n weitere</numerusform>
            <numerusform>... und %n weitere</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n tracks</source>
        <translation>
            <numerusform>%n Titel</numerusform>
            <numerusform>%n Titel</numerusform>
        </translation>
    </message>
    <message>
        <source>Up to date</source>
        <translation>Aktuell</translation>
    </message>
    <message>
        <source>Left as it was</source>
        <translation>Unverändert gelassen</translation>
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
    <message>
        <source>Existing</source>
        <translation>Existiert</translation>
    </message>
    <message>
        <source>Replace existing outputs</source>
        <translation>Vorhandene ersetzen</translation>
    </message>
    <message>
        <source>Skip existing outputs</source>
        <translation>Vorhandene überspringen</translation>
    </message>
    <message>
        <source>Update what changed</source>
        <translation>Nur Geändertes erneuern</translation>
    </message>
    <message>
        <source>Names</source>
        <translation>Namen</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Aufbau</translation>
    </message>
    <message>
        <source>Tree for folders, else flat</source>
        <translation>Ordner: Baum, sonst flach</translation>
    </message>
    <message>
        <source>Flat: all in the output folder</source>
        <translation>Flach: alles in einen Ordner</translation>
    </message>
    <message>
        <source>Tree: the added folder&apos;s folders</source>
        <translation>Baum: wie hinzugefügt</translation>
    </message>
    <message>
        <source>Beside the source</source>
        <translation>Neben der Quelle</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>{artist} {albumartist} {album} {title} {track}
{disc} {year} {genre} {name} {folder}
{track:02} gives 07; / makes a folder</source>
        <translation>{artist} {albumartist} {album} {title} {track}
{disc} {year} {genre} {name} {folder}
{track:02} ergibt 07; / legt einen Ordner an</translation>
    </message>
    <message>
        <source>beside the source</source>
        <translation>neben der Quelle</translation>
    </message>
    <message>
        <source>in the output folder</source>
        <translation>im Ausgabeordner</translation>
    </message>
    <message>
        <source>Selected file, %1:</source>
        <translation>Ausgewählte Datei, %1:</translation>
    </message>
    <message>
        <source>Example, %1:</source>
        <translation>Beispiel, %1:</translation>
    </message>
    <message>
        <source>Loudness</source>
        <translation>Lautheit</translation>
    </message>
    <message>
        <source>Verify each file before it replaces anything</source>
        <translation>Vor dem Ersetzen jede Datei prüfen</translation>
    </message>
    <message>
        <source>Write ReplayGain tags</source>
        <translation>ReplayGain-Tags schreiben</translation>
    </message>
    <message>
        <source>Memory per file (MiB)</source>
        <translation>Speicher je Datei (MiB)</translation>
    </message>
    <message>
        <source>No limit</source>
        <translation>Keine Grenze</translation>
    </message>
    <message>
        <source>Normalise to (LUFS)</source>
        <translation>Normalisieren (LUFS)</translation>
    </message>
    <message>
        <source>Encode a long file on several cores</source>
        <translation>Eine lange Datei auf mehreren Kernen codieren</translation>
    </message>
</context>
</TS>
