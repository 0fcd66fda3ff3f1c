<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr_FR">
<context>
    <name>AudioFiles</name>
    <message>
        <source>Audio Files</source>
        <translation>Fichiers audio</translation>
    </message>
    <message>
        <source>All Files</source>
        <translation>Tous les fichiers</translation>
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
        <translation>Qualité %1</translation>
    </message>
    <message>
        <source>Compression %1</source>
        <translation>Compression %1</translation>
    </message>
    <message>
        <source>%1 bit</source>
        <translation>%1 bits</translation>
    </message>
    <message>
        <source>Keep the source&apos;s</source>
        <translation>Comme la source</translation>
    </message>
    <message>
        <source>%1 Hz</source>
        <translation>%1 Hz</translation>
    </message>
    <message>
        <source>Stereo</source>
        <translation>Stéréo</translation>
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
        <translation>Impossible d&apos;écrire dans %1</translation>
    </message>
</context>
<context>
    <name>MelvaroConvert</name>
    <message>
        <source>converted: %1 -&gt; %2
</source>
        <translation>converti : %1 -&gt; %2
</translation>
    </message>
    <message>
        <source>warning: %1: %2
</source>
        <translation>avertissement : %1 : %2
</translation>
    </message>
    <message>
        <source>stopped</source>
        <translation>arrêté</translation>
    </message>
    <message>
        <source>failed: %1: %2
</source>
        <translation>échec : %1 : %2
</translation>
    </message>
    <message>
        <source>%1 converted (%2 with problems), %3 failed
</source>
        <translation>%1 converti(s) (%2 avec des problèmes), %3 en échec
</translation>
    </message>
    <message>
        <source>%1 converted, %2 failed
</source>
        <translation>%1 converti(s), %2 en échec
</translation>
    </message>
    <message>
        <source>usage: melvaro-convert [-o FOLDER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITY]
                       [--rate HZ|keep] [--channels 1|2|keep] FILE...
       melvaro-convert [-o FOLDER] [-j N] --target TARGET FILE...
</source>
        <translation>usage : melvaro-convert [-o DOSSIER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITÉ]
                        [--rate HZ|keep] [--channels 1|2|keep] FICHIER...
        melvaro-convert [-o DOSSIER] [-j N] --target CIBLE FICHIER...
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
        <translation>Convertit chaque FICHIER et l&apos;écrit dans DOSSIER/NOM.EXT, où NOM est le nom du
fichier sans son extension et EXT celle du format. La vidéo est laissée de côté
pour les formats audio. Un fichier « .dat » est lu comme du MPEG. Les étiquettes
(titre, artiste, album, ...) et la pochette sont reprises là où le format peut
les contenir.

  -o, --output DOSSIER  où vont les fichiers (créé s&apos;il manque) ;
                        par défaut : le dossier courant
  -j, --jobs N          convertir N fichiers à la fois (par défaut 1)
  -f, --format FORMAT   mp3 (par défaut), ogg, opus, m4a, flac ou wav
  -b, --bitrate KBITS   mp3 : CBR 64, 80, 96, 112, 128 (par défaut), 160, 192,
                        224, 256 ou 320 ; opus : 6 à 510 (par défaut 128) ;
                        m4a (AAC) : 32 à 320 (par défaut 192)
  -q, --quality Q       mp3 : niveau VBR 0 (le meilleur) à 9 ; ogg : qualité
                        Vorbis 0 à 10 (par défaut 5) ; flac : niveau de
                        compression 0 à 12 (par défaut 5) ; wav : 16 (par
                        défaut) ou 24 bits par échantillon
      --rate HZ|keep    fréquence d&apos;échantillonnage ; par défaut : mp3 44100,
                        opus toujours 48000, les autres celle de la source
      --channels 1|2|keep  par défaut : mp3 2, les autres comme la source
      --target CIBLE    convertir de la vidéo pour un disque ou une bande : vcd,
                        svcd, dvd (écrit en .mpg) ou dv (.dv), chacun aussi avec
                        le préfixe « pal- », « ntsc- » ou « film- »
  -h, --help            afficher ce texte
      --version         afficher la version du programme

FLAC garde la profondeur de la source jusqu&apos;à 24 bits. Un choix que le format ne
peut pas faire (Opus à 44100 Hz, FLAC avec un débit, ...) est refusé avant
qu&apos;aucun fichier ne soit écrit.

Un NOM.EXT existant est remplacé dès que sa nouvelle version est complète, sauf
s&apos;il est l&apos;un des FICHIERs ou la sortie d&apos;un FICHIER précédent : la sortie
devient alors « NOM (2).EXT » (ou le prochain numéro libre) et une note le dit.
Tant qu&apos;un fichier n&apos;est pas complet, il est écrit sous un nom caché dans
DOSSIER ; un fichier en échec ou arrêté laisse DOSSIER tel qu&apos;il était. Pendant
la conversion, un terminal affiche le pourcentage de chaque fichier en cours.
Chaque fichier se termine par une ligne qui dit où il est allé ou pourquoi il a
échoué ; un fichier converti depuis une entrée qui s&apos;est terminée trop tôt ou
avait des parties abîmées reçoit aussi une ligne « avertissement : ». La
dernière ligne les compte. Code de sortie : 0 quand chaque fichier a été
converti proprement, 1 quand l&apos;un a échoué, 2 pour une ligne de commande
erronée, 3 quand aucun n&apos;a échoué mais que certains ont été convertis avec des
problèmes. Ctrl+C arrête les fichiers en cours et n&apos;en démarre plus d&apos;autres.

Les bibliothèques FFmpeg sont cherchées d&apos;abord dans le dossier « Lib » à côté
du programme, puis là où le système les garde.
</translation>
    </message>
    <message>
        <source>melvaro-convert: -f wants mp3, ogg, opus, m4a, flac or wav, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : -f attend mp3, ogg, opus, m4a, flac ou wav, pas « %1 »
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a number or &quot;keep&quot;, not &quot;%2&quot;
</source>
        <translation>melvaro-convert : %1 attend un nombre ou « keep », pas « %2 »
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a number, not &quot;%2&quot;
</source>
        <translation>melvaro-convert : %1 attend un nombre, pas « %2 »
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a positive number or &quot;keep&quot;, not &quot;%2&quot;
</source>
        <translation>melvaro-convert : %1 attend un nombre positif ou « keep », pas « %2 »
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 wants a positive number, not &quot;%2&quot;
</source>
        <translation>melvaro-convert : %1 attend un nombre positif, pas « %2 »
</translation>
    </message>
    <message>
        <source>melvaro-convert: %1 needs %2
</source>
        <translation>melvaro-convert : %1 demande %2
</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>un dossier</translation>
    </message>
    <message>
        <source>a number</source>
        <translation>un nombre</translation>
    </message>
    <message>
        <source>melvaro-convert: -j wants a number from 1 to 64, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : -j attend un nombre de 1 à 64, pas « %1 »
</translation>
    </message>
    <message>
        <source>a format</source>
        <translation>un format</translation>
    </message>
    <message>
        <source>a bit rate in kbit/s</source>
        <translation>un débit en kbit/s</translation>
    </message>
    <message>
        <source>a quality</source>
        <translation>une qualité</translation>
    </message>
    <message>
        <source>a sample rate or &quot;keep&quot;</source>
        <translation>une fréquence d&apos;échantillonnage ou « keep »</translation>
    </message>
    <message>
        <source>1, 2 or &quot;keep&quot;</source>
        <translation>1, 2 ou « keep »</translation>
    </message>
    <message>
        <source>a target</source>
        <translation>une cible</translation>
    </message>
    <message>
        <source>melvaro-convert: --target wants vcd, svcd, dvd or dv, optionally with a &quot;pal-&quot;, &quot;ntsc-&quot; or &quot;film-&quot; prefix, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --target attend vcd, svcd, dvd ou dv, avec au choix le préfixe « pal- », « ntsc- » ou « film- », pas « %1 »
</translation>
    </message>
    <message>
        <source>melvaro-convert: unknown option %1
</source>
        <translation>melvaro-convert : option inconnue %1
</translation>
    </message>
    <message>
        <source>melvaro-convert: --target sets the whole format; -f, -b, -q, --rate and --channels cannot go with it
</source>
        <translation>melvaro-convert : --target fixe tout le format ; -f, -b, -q, --rate et --channels ne peuvent pas l&apos;accompagner
</translation>
    </message>
    <message>
        <source>melvaro-convert: cannot make the folder %1: %2
</source>
        <translation>melvaro-convert : impossible de créer le dossier %1 : %2
</translation>
    </message>
    <message>
        <source>note: %1</source>
        <translation>note : %1</translation>
    </message>
    <message>
        <source>stopping ...</source>
        <translation>arrêt en cours ...</translation>
    </message>
    <message>
        <source>stopped before it started</source>
        <translation>arrêté avant de commencer</translation>
    </message>
</context>
<context>
    <name>Shell</name>
    <message>
        <source>it does not exist</source>
        <translation>il n&apos;existe pas</translation>
    </message>
    <message>
        <source>no program of the desktop could open it (xdg-open is missing or failed)</source>
        <translation>aucun programme du bureau n&apos;a pu l&apos;ouvrir (xdg-open est absent ou a échoué)</translation>
    </message>
</context>
<context>
    <name>StatusTexts</name>
    <message>
        <source>%1 of %2 done</source>
        <translation>%1 sur %2 terminés</translation>
    </message>
    <message>
        <source>Time left: %1</source>
        <translation>Temps restant : %1</translation>
    </message>
    <message>
        <source>Done: %1 converted, %2 failed</source>
        <translation>Terminé : %1 converti(s), %2 en échec</translation>
    </message>
    <message>
        <source>, %1 with problems</source>
        <translation>, %1 avec des problèmes</translation>
    </message>
    <message>
        <source>, %1 stopped</source>
        <translation>, %1 arrêté(s)</translation>
    </message>
    <message>
        <source>Stopped</source>
        <translation>Arrêté</translation>
    </message>
    <message>
        <source>Stopped: %1 converted, %2 failed</source>
        <translation>Arrêté : %1 converti(s), %2 en échec</translation>
    </message>
    <message>
        <source>, %1 not started</source>
        <translation>, %1 non commencé(s)</translation>
    </message>
    <message>
        <source>Not started</source>
        <translation>Non commencé</translation>
    </message>
</context>
<context>
    <name>TDetailsDialog</name>
    <message>
        <source>Details</source>
        <translation>Détails</translation>
    </message>
    <message>
        <source>No file selected</source>
        <translation>Aucun fichier sélectionné</translation>
    </message>
</context>
<context>
    <name>TFileListView</name>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>Size</source>
        <translation>Taille</translation>
    </message>
    <message>
        <source>Status</source>
        <translation>État</translation>
    </message>
    <message>
        <source>Path</source>
        <translation>Chemin</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Add</source>
        <translation>Ajouter</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Retirer</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Vider</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Details</source>
        <translation>Détails</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Arrêter</translation>
    </message>
    <message>
        <source>Convert</source>
        <translation>Convertir</translation>
    </message>
    <message>
        <source>The output folder %1 cannot be created: %2</source>
        <translation>Impossible de créer le dossier de sortie %1 : %2</translation>
    </message>
    <message>
        <source>The output folder %1 is not writable: %2</source>
        <translation>Impossible d&apos;écrire dans le dossier de sortie %1 : %2</translation>
    </message>
    <message>
        <source>The media libraries cannot be loaded:
%1</source>
        <translation>Impossible de charger les bibliothèques multimédias :
%1</translation>
    </message>
    <message>
        <source>Please wait ...</source>
        <translation>Veuillez patienter ...</translation>
    </message>
    <message>
        <source>Output: %1</source>
        <translation>Sortie : %1</translation>
    </message>
    <message>
        <source>Files are being converted. Stop the conversions and quit?</source>
        <translation>Des fichiers sont en cours de conversion. Arrêter les conversions et quitter ?</translation>
    </message>
    <message>
        <source>The help %1 cannot be opened: %2</source>
        <translation>Impossible d&apos;ouvrir l&apos;aide %1 : %2</translation>
    </message>
    <message>
        <source>Nothing to convert: add files to the list first.</source>
        <translation>Rien à convertir : ajoutez d&apos;abord des fichiers à la liste.</translation>
    </message>
    <message>
        <source>No output folder is set: choose one in the settings.</source>
        <translation>Aucun dossier de sortie n&apos;est défini : choisissez-en un dans les réglages.</translation>
    </message>
    <message>
        <source>The output folder %1 cannot be opened: %2</source>
        <translation>Impossible d&apos;ouvrir le dossier de sortie %1 : %2</translation>
    </message>
    <message>
        <source>Not converted: the batch was stopped before this file began.</source>
        <translation>Non converti : la conversion a été arrêtée avant que ce fichier ne commence.</translation>
    </message>
</context>
<context>
    <name>TFset</name>
    <message>
        <source>Settings</source>
        <translation>Réglages</translation>
    </message>
    <message>
        <source>Output Path</source>
        <translation>Dossier de sortie</translation>
    </message>
    <message>
        <source>Please click button to change path</source>
        <translation>Changer de dossier avec le bouton</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Parcourir</translation>
    </message>
    <message>
        <source>Save as default</source>
        <translation>Par défaut</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
    <message>
        <source>Files at once</source>
        <translation>Fichiers à la fois</translation>
    </message>
    <message>
        <source>Format</source>
        <translation>Format</translation>
    </message>
    <message>
        <source>Quality</source>
        <translation>Qualité</translation>
    </message>
    <message>
        <source>Sample rate</source>
        <translation>Fréquence</translation>
    </message>
    <message>
        <source>Channels</source>
        <translation>Canaux</translation>
    </message>
</context>
</TS>
