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
    <message>
        <source>, %1 copied</source>
        <translation>, %1 copié(s)</translation>
    </message>
    <message>
        <source>, %1 up to date</source>
        <translation>, %1 à jour</translation>
    </message>
    <message>
        <source>, %1 already there</source>
        <translation>, %1 déjà présent(s)</translation>
    </message>
    <message>
        <source>, %1 pruned</source>
        <translation>, %1 supprimé(s)</translation>
    </message>
    <message>
        <source>replace, skip or update</source>
        <translation>replace, skip ou update</translation>
    </message>
    <message>
        <source>melvaro-convert: --existing wants replace, skip or update, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --existing attend replace, skip ou update, pas « %1 »
</translation>
    </message>
    <message>
        <source>flat, tree or beside</source>
        <translation>flat, tree ou beside</translation>
    </message>
    <message>
        <source>melvaro-convert: --layout wants flat, tree or beside, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --layout attend flat, tree ou beside, pas « %1 »
</translation>
    </message>
    <message>
        <source>a pattern</source>
        <translation>un modèle</translation>
    </message>
    <message>
        <source>melvaro-convert: --name wants a pattern such as &quot;{artist}/{album}/{track:02} {title}&quot;
</source>
        <translation>melvaro-convert : --name attend un modèle comme « {artist}/{album}/{track:02} {title} »
</translation>
    </message>
    <message>
        <source>melvaro-convert: --prune needs --mirror or --existing update
</source>
        <translation>melvaro-convert : --prune demande --mirror ou --existing update
</translation>
    </message>
    <message>
        <source>melvaro-convert: --copy-same-format cannot go with --target
</source>
        <translation>melvaro-convert : --copy-same-format ne peut pas accompagner --target
</translation>
    </message>
    <message>
        <source>note: %1 is already an input; it is converted once</source>
        <translation>note : %1 est déjà une entrée ; il n&apos;est converti qu&apos;une fois</translation>
    </message>
    <message>
        <source>&quot;track&quot;</source>
        <translation>« track »</translation>
    </message>
    <message>
        <source>melvaro-convert: --replaygain wants &quot;track&quot; (album gain is not available yet), not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --replaygain attend « track » (le gain par album n&apos;est pas encore disponible), pas « %1 »
</translation>
    </message>
    <message>
        <source>a loudness in LUFS</source>
        <translation>un niveau sonore en LUFS</translation>
    </message>
    <message>
        <source>melvaro-convert: --normalize wants a loudness from -70 to -1 LUFS, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --normalize attend un niveau sonore de -70 à -1 LUFS, pas « %1 »
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
        <translation>usage : melvaro-convert [-o DOSSIER] [-j N] [-f FORMAT] [-b KBITS | -q QUALITÉ]
                        [--rate HZ|keep] [--channels 1|2|keep]
                        [--layout flat|tree|beside] [--name MODÈLE]
                        FICHIER_OU_DOSSIER...
        melvaro-convert [-o DOSSIER] [-j N] --target CIBLE
                        FICHIER_OU_DOSSIER...
        melvaro-convert --mirror [--prune] [--copy-same-format] -o DOSSIER
                        SOURCE...
  aussi : [--existing replace|skip|update] [-n|--dry-run]
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
        <translation>Convertit chaque FICHIER et l&apos;écrit dans DOSSIER/NOM.EXT, où NOM est le nom du
fichier sans son extension et EXT celle du format. Un dossier représente les
fichiers audio qu&apos;il contient (sous-dossiers compris, dossiers cachés exclus) ;
leurs dossiers sous lui sont conservés sous DOSSIER. La vidéo est laissée de
côté pour les formats audio. Un fichier « .dat » est lu comme du MPEG. Les
étiquettes (titre, artiste, album, ...) et la pochette sont reprises là où le
format peut les contenir.

  -o, --output DOSSIER  où vont les fichiers (créé s&apos;il manque) ;
                        par défaut : le dossier courant
  -j, --jobs N          convertir N fichiers à la fois (par défaut 1)
      --threads-per-file N  encoder un long fichier MP3 sur N encodeurs à la
                        fois ; par défaut : un fichier seul (ou le dernier du
                        lot) reçoit les places de -j qu&apos;aucun autre ne
                        prend ; 1 : jamais
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
      --target CIBLE    convertir de la vidéo pour un disque ou une bande :
                        vcd, svcd, dvd (écrit en .mpg) ou dv (.dv), chacun
                        aussi avec le préfixe « pal- », « ntsc- » ou « film- »
      --layout MODE     flat : chaque sortie dans DOSSIER ; tree : un fichier
                        trouvé dans un dossier donné garde ses dossiers sous
                        celui-ci sous DOSSIER ; beside : à côté de sa source.
                        Par défaut : tree pour les fichiers trouvés dans un
                        dossier, flat pour les fichiers nommés un par un et
                        pour un --name qui crée des dossiers
      --name MODÈLE     le nom de la sortie (sans extension) à partir des
                        champs {artist} {albumartist} {album} {title} {track}
                        {disc} {year} {genre} {name} {folder} ; un nombre
                        prend une largeur, {track:02} ; « / » crée des dossiers
      --existing RÈGLE  que faire quand une sortie existe : replace la remplace
                        (par défaut), skip ignore le fichier, update ne
                        convertit que si la sortie manque, si sa source a
                        changé (taille, date) ou si les réglages ont changé,
                        selon le relevé que Melvaro tient dans DOSSIER
      --mirror          garder DOSSIER à l&apos;image des dossiers SOURCE : la
                        structure tree, --existing update, et les images
                        d&apos;accompagnement (cover.jpg, folder.jpg, front.png,
                        ...) quand elles sont plus récentes
      --prune           avec update : supprimer aussi les sorties dont la
                        source a disparu (seulement les fichiers que Melvaro y
                        a créés, inchangés depuis, et les dossiers que cela
                        laisse vides)
      --copy-same-format  copier une source déjà dans le format de sortie (et
                        pas au-dessus du débit choisi) au lieu de la convertir
  -n, --dry-run         afficher ce qui serait fait pour chaque fichier
                        (convertir, copier, à jour, supprimer) sans rien écrire
      --no-split        convertir en entier un fichier avec une feuille cue
      --chapters        découper un fichier à chapitres (M4B, M4A, MKA, Ogg) en
                        une sortie par chapitre
      --verify          décoder entièrement chaque sortie avant de la mettre en
                        place (par défaut) : une sortie qui ne se décode pas à
                        la durée qui lui a été donnée (ou, pour FLAC et WAV,
                        pas exactement en ses échantillons) échoue et ne
                        remplace rien
      --no-verify       mettre chaque sortie en place sans la décoder d&apos;abord
      --replaygain track  mesurer d&apos;abord chaque fichier (une passe de décodage
                        seul) et écrire des étiquettes ReplayGain 2.0, par
                        rapport à -18 LUFS, avec la crête réelle (FLAC, Ogg,
                        MP3) ; Opus reçoit à la place R128_TRACK_GAIN (par
                        rapport à -23 LUFS)
      --normalize LUFS  amener chaque fichier à LUFS (par ex. -16) dans la même
                        conversion, avec moins de gain là où la crête réelle
                        dépasserait -1 dBTP (sans limiteur) ; la sortie du
                        programme dit pour lesquels
      --retry-failed    avec update : convertir à nouveau les fichiers dont la
                        conversion a planté lors d&apos;une exécution précédente
                        (l&apos;enregistrement les garde ; sinon ils sont signalés,
                        pas convertis)
      --memory-limit MIB  la mémoire (espace d&apos;adressage) que la conversion
                        d&apos;un fichier peut prendre, en Mio (1024 par défaut ;
                        0 : sans limite)
  -h, --help            afficher ce texte
      --version         afficher la version du programme

Noms tirés des étiquettes : {albumartist} est l&apos;artiste s&apos;il manque, {title} le
nom du fichier, {name} est le nom du fichier sans extension et {folder} son
dossier sous le dossier donné. Un champ manquant devient « Unknown Artist »,
« Unknown Album », « Unknown Genre » ou « Unknown Year », un {track} ou un
{disc} manquant vaut 0. Les noms sont rendus sûrs pour FAT et exFAT :
/ \ : * ? &quot; &lt; &gt; | et les caractères de contrôle deviennent « _ », les points et
espaces finaux disparaissent, et chaque nom est coupé à 255 octets ; aucune
étiquette ne peut placer un fichier hors de DOSSIER.

Un fichier avec une feuille cue (NOM.cue à côté de lui, le seul .cue de son
dossier qui le nomme, ou une feuille intégrée) devient une sortie par piste,
nommée « {track:02} {title} » sauf si --name dit autrement, et étiquetée avec
le titre, l&apos;interprète et le numéro de la piste et le titre, l&apos;interprète, la
date et le genre de l&apos;album. Une feuille inutilisable fait échouer le fichier,
en nommant la feuille et la ligne ; --no-split le convertit en entier.

FLAC garde la profondeur de la source jusqu&apos;à 24 bits. Un choix que le format
ne peut pas faire (Opus à 44100 Hz, FLAC avec un débit, ...) est refusé avant
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
        <source>melvaro-convert: --threads-per-file wants a number from 1 to 64, not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --threads-per-file attend un nombre de 1 à 64, pas « %1 »
</translation>
    </message>
    <message>
        <source>a size in MiB</source>
        <translation>une taille en Mio</translation>
    </message>
    <message>
        <source>melvaro-convert: --memory-limit wants a number of MiB (0: no limit), not &quot;%1&quot;
</source>
        <translation>melvaro-convert : --memory-limit attend un nombre de Mio (0 : sans limite), pas « %1 »
</translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>Output: %1</source>
        <translation>Sortie : %1</translation>
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
    <message>
        <source>, %1 up to date</source>
        <translation>, %1 à jour</translation>
    </message>
    <message>
        <source>, %1 already there</source>
        <translation>, %1 déjà présent(s)</translation>
    </message>
    <message>
        <source>Up to date</source>
        <translation>À jour</translation>
    </message>
    <message>
        <source>Exists</source>
        <translation>Existe</translation>
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
    <message>
        <source>Duration</source>
        <translation>Durée</translation>
    </message>
    <message>
        <source>Title</source>
        <translation>Titre</translation>
    </message>
    <message>
        <source>Artist</source>
        <translation>Artiste</translation>
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
    <message>
        <source>Output folder</source>
        <translation>Sortie</translation>
    </message>
    <message>
        <source>Change...</source>
        <translation>Changer...</translation>
    </message>
    <message numerus="yes">
        <source>Done; %n file(s) already in the list left out</source>
        <translation>
            <numerusform>Terminé ; %n fichier déjà dans la liste laissé de côté</numerusform>
            <numerusform>Terminé ; %n fichiers déjà dans la liste laissés de côté</numerusform>
        </translation>
    </message>
    <message>
        <source>Not added:</source>
        <translation>Non ajoutés :</translation>
    </message>
    <message numerus="yes">
        <source>... and %n more</source>
        <translation>
            <numerusform>... et %n autre</numerusform>
            <numerusform>... et %n autres</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n tracks</source>
        <translation>
            <numerusform>%n piste</numerusform>
            <numerusform>%n pistes</numerusform>
        </translation>
    </message>
    <message>
        <source>Up to date</source>
        <translation>À jour</translation>
    </message>
    <message>
        <source>Left as it was</source>
        <translation>Laissé tel quel</translation>
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
    <message>
        <source>Existing</source>
        <translation>Existant</translation>
    </message>
    <message>
        <source>Replace existing outputs</source>
        <translation>Remplacer l&apos;existant</translation>
    </message>
    <message>
        <source>Skip existing outputs</source>
        <translation>Ignorer l&apos;existant</translation>
    </message>
    <message>
        <source>Update what changed</source>
        <translation>Mettre à jour si modifié</translation>
    </message>
    <message>
        <source>Names</source>
        <translation>Noms</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Structure</translation>
    </message>
    <message>
        <source>Tree for folders, else flat</source>
        <translation>Arbre si dossier, sinon à plat</translation>
    </message>
    <message>
        <source>Flat: all in the output folder</source>
        <translation>À plat : tout dans un dossier</translation>
    </message>
    <message>
        <source>Tree: the added folder&apos;s folders</source>
        <translation>Arbre : comme le dossier ajouté</translation>
    </message>
    <message>
        <source>Beside the source</source>
        <translation>À côté de la source</translation>
    </message>
    <message>
        <source>Name</source>
        <translation>Nom</translation>
    </message>
    <message>
        <source>{artist} {albumartist} {album} {title} {track}
{disc} {year} {genre} {name} {folder}
{track:02} gives 07; / makes a folder</source>
        <translation>{artist} {albumartist} {album} {title} {track}
{disc} {year} {genre} {name} {folder}
{track:02} donne 07 ; / crée un dossier</translation>
    </message>
    <message>
        <source>beside the source</source>
        <translation>à côté de la source</translation>
    </message>
    <message>
        <source>in the output folder</source>
        <translation>dans le dossier de sortie</translation>
    </message>
    <message>
        <source>Selected file, %1:</source>
        <translation>Fichier sélectionné, %1 :</translation>
    </message>
    <message>
        <source>Example, %1:</source>
        <translation>Exemple, %1 :</translation>
    </message>
    <message>
        <source>Loudness</source>
        <translation>Volume</translation>
    </message>
    <message>
        <source>Verify each file before it replaces anything</source>
        <translation>Vérifier avant tout remplacement</translation>
    </message>
    <message>
        <source>Write ReplayGain tags</source>
        <translation>Écrire les étiquettes ReplayGain</translation>
    </message>
    <message>
        <source>Memory per file (MiB)</source>
        <translation>Mémoire par fichier (Mio)</translation>
    </message>
    <message>
        <source>No limit</source>
        <translation>Sans limite</translation>
    </message>
    <message>
        <source>Normalise to (LUFS)</source>
        <translation>Normaliser à (LUFS)</translation>
    </message>
    <message>
        <source>Encode a long file on several cores</source>
        <translation>Encoder un long fichier sur plusieurs cœurs</translation>
    </message>
</context>
</TS>
