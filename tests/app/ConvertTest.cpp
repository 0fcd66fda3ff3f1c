// Real conversions driven through the main window: the component and the
// engine run on worker threads, their events come back as queued calls.
#include <QCryptographicHash>
#include <QDir>
#include <QDragEnterEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/FileListView.h"
#include "app/MainWindow.h"
#include "tests/app/RecordingShell.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using MediaFixtures::AudioFormat;

namespace {

constexpr int BatchTimeoutMs = 120000;

QByteArray Hash(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A PCM WAV with a LIST/INFO chunk, as tag-writing audio editors make them.
void MakeTaggedWav(const QString& path, const QList<QPair<QByteArray, QByteArray>>& tags) {
  const std::vector<int16_t> samples = MediaFixtures::ToneSamples(44100, 2, 1.0, 440);
  QByteArray info = "INFO";
  for (const auto& [id, text] : tags) {
    QByteArray value = text + '\0';
    if (value.size() % 2) value += '\0';
    const quint32 size = text.size() + 1;
    info += id + QByteArray(reinterpret_cast<const char*>(&size), 4) + value;
  }
  const quint32 dataSize = samples.size() * 2;
  auto u32 = [](quint32 v) { return QByteArray(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [](quint16 v) { return QByteArray(reinterpret_cast<const char*>(&v), 2); };
  QByteArray body = "WAVE";
  body += "fmt " + u32(16) + u16(1) + u16(2) + u32(44100) + u32(44100 * 4) + u16(4) + u16(16);
  body += "LIST" + u32(info.size()) + info;
  body +=
      "data" + u32(dataSize) + QByteArray(reinterpret_cast<const char*>(samples.data()), dataSize);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
  file.write("RIFF" + u32(body.size()) + body);
}

}  // namespace

class ConvertTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempFolder> Temp;
  TRecordingShell Shell;

  QString Root() const { return QString::fromStdString(Temp->path().string()); }
  QString In(const QString& name) const { return Root() + "/in/" + name; }
  QString Out(const QString& name) const { return Root() + "/docs/Temp/" + name; }
  static QStringList Column(const TForm1& form, int column) {
    QStringList texts;
    for (int row = 0; row < form.lvFiles->RowCount(); ++row)
      texts.append(form.lvFiles->Row(row)->text(column));
    return texts;
  }
  static void Make(const QString& path, AudioFormat format, double seconds, double frequency) {
    QDir().mkpath(QFileInfo(path).path());
    MediaFixtures::MakeAudio(path.toStdString(), format, 44100, 2, seconds, frequency);
  }
  static void ExpectMp3(const QString& path, double frequency) {
    QVERIFY2(QFile::exists(path), qPrintable(path));
    const MediaFixtures::FileInfo info = MediaFixtures::Probe(path.toStdString());
    QCOMPARE(QString::fromStdString(info.formatName), QString("mp3"));
    const MediaFixtures::StreamInfo* audio = info.First(1 /* AVMEDIA_TYPE_AUDIO */);
    QVERIFY(audio);
    QCOMPARE(audio->sampleRate, 44100);
    QCOMPARE(audio->channels, 2);
    const double found =
        MediaFixtures::DominantFrequency(MediaFixtures::DecodeAudio(path.toStdString()));
    QVERIFY2(qAbs(found - frequency) < frequency * 0.02, qPrintable(QString::number(found)));
  }

 private slots:
  void init() {
    Temp = std::make_unique<TempFolder>();
    Shell = TRecordingShell();
    Shell.Config = Root() + "/config";
    Shell.Documents = Root() + "/docs";
  }
  void cleanup() { Temp.reset(); }

  void threeFilesOfWhichTheSecondIsBroken() {
    Make(In("first.wav"), AudioFormat::Wav, 2.0, 440);
    QDir().mkpath(Root() + "/in");
    QFile broken(In("broken.wav"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    Make(In("third.flac"), AudioFormat::Flac, 2.0, 880);

    TForm1 form(Shell);
    form.AddFiles({In("first.wav"), In("broken.wav"), In("third.flac")});
    form.ConvertButton->click();
    QVERIFY(form.StopButton->isEnabled() && !form.ConvertButton->isEnabled());
    QCOMPARE(Column(form, TFileListView::ColName), QStringList({"first.wav", "third.flac"}));
    QCOMPARE(Column(form, TFileListView::ColPath),
             QStringList({In("first.wav"), In("third.flac")}));

    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Shell.Opened.first(), form.OutputFolder);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%", "100%"}));
    QCOMPARE(form.BTips->text(), QString("    Done"));
    QVERIFY(!form.StopButton->isEnabled() && form.ConvertButton->isEnabled());
    ExpectMp3(Out("first.mp3"), 440);
    ExpectMp3(Out("third.mp3"), 880);
    QVERIFY(!QFile::exists(Out("broken.mp3")));
    QTest::qWait(200);
    QCOMPARE(Shell.Opened.size(), 1);
    QVERIFY(Shell.Errors.isEmpty());
  }

  void stopDuringTheFirstOfSeveralFiles() {
    // Long enough that the first file is still running when Stop is pressed,
    // even on a busy machine.
    Make(In("a.wav"), AudioFormat::Wav, 600.0, 440);
    for (const char* name : {"b.wav", "c.wav"}) Make(In(name), AudioFormat::Wav, 2.0, 440);
    TForm1 form(Shell);
    form.AddFiles({In("a.wav"), In("b.wav"), In("c.wav")});
    form.ConvertButton->click();
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"-", "-", "-"}));
    // Let the first file run a while so that its reports are under way.
    QTRY_VERIFY_WITH_TIMEOUT(form.lvFiles->Row(0)->text(TFileListView::ColStatus).endsWith("%"),
                             BatchTimeoutMs);
    // Rows must stay in step with the tasks: nothing can be dropped now.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(In("b.wav"))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.lvFiles->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    QCOMPARE(form.lvFiles->RowCount(), 3);
    form.StopButton->click();

    // The stopped task's last report and its end come before "Done", not after.
    QVERIFY(!form.StopButton->isEnabled() && form.ConvertButton->isEnabled());
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"X", "-", "-"}));
    QCOMPARE(form.BTips->text(), QString("    Done"));
    QTest::qWait(200);
    QCOMPARE(form.BTips->text(), QString("    Done"));
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"X", "-", "-"}));
    QVERIFY(Shell.Opened.isEmpty());
    QVERIFY(!QFile::exists(Out("b.mp3")) && !QFile::exists(Out("c.mp3")));
  }

  void stopDuringTheLastFileEndsTheBatch() {
    Make(In("only.wav"), AudioFormat::Wav, 30.0, 440);
    TForm1 form(Shell);
    form.AddFiles({In("only.wav")});
    form.ConvertButton->click();
    form.StopButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"X"}));
    QCOMPARE(form.BTips->text(), QString("    Done"));
  }

  void progressReachesTheStatusLine() {
    // Long enough that reports arrive well before the end, even on a busy
    // machine; the batch is stopped once the line has been seen.
    Make(In("long.wav"), AudioFormat::Wav, 600.0, 440);
    TForm1 form(Shell);
    form.AddFiles({In("long.wav")});
    form.ConvertButton->click();
    // Reports come every 500 ms; the window shows them while the batch runs.
    QTRY_VERIFY_WITH_TIMEOUT(form.BTips->text().startsWith("    File: ") || !Shell.Opened.isEmpty(),
                             BatchTimeoutMs);
    const QString line = form.BTips->text();
    QVERIFY2(line.startsWith("    File: 1 of 1        Completed: ") &&
                 line.endsWith("%            long.wav"),
             qPrintable(line));
    QVERIFY(form.ProgressBar1->value() > form.ProgressBar1->minimum() ||
            line.contains("Completed: 0%"));
    form.StopButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"X"}));
  }

  void inputsAreNeverOverwrittenAndOutputsNeverShared() {
    // An MP3 that sits in the output folder, and two inputs of the same name.
    Make(Out("song.mp3"), AudioFormat::Mp3, 2.0, 440);
    Make(In("a/tune.wav"), AudioFormat::Wav, 2.0, 660);
    Make(In("b/tune.flac"), AudioFormat::Flac, 2.0, 880);
    Make(In("song.wav"), AudioFormat::Wav, 2.0, 550);
    const QByteArray before = Hash(Out("song.mp3"));

    TForm1 form(Shell);
    form.AddFiles({Out("song.mp3"), In("a/tune.wav"), In("b/tune.flac"), In("song.wav")});
    form.ConvertButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%", "100%", "100%", "100%"}));

    QCOMPARE(Hash(Out("song.mp3")), before);
    const QStringList outputs = {Out("song (2).mp3"), Out("tune.mp3"), Out("tune (2).mp3"),
                                 Out("song (3).mp3")};
    QCOMPARE(QStringList(form.TaskOutputs().begin(), form.TaskOutputs().end()), outputs);
    for (int row = 0; row < 4; ++row)
      QCOMPARE(form.lvFiles->Row(row)->toolTip(TFileListView::ColName), "Output: " + outputs[row]);
    ExpectMp3(outputs[0], 440);
    ExpectMp3(outputs[1], 660);
    ExpectMp3(outputs[2], 880);
    ExpectMp3(outputs[3], 550);
  }

  void aTaskThatCannotStartEndsWithX_data() {
    QTest::addColumn<int>("blocked");
    QTest::addColumn<QStringList>("errors");
    // The first task is started by Convert, which shows the error; a later
    // one is started from the previous task's worker, which only logs it.
    QTest::newRow("first") << 0 << QStringList({"Must supply at least one output file"});
    QTest::newRow("middle") << 1 << QStringList();
  }
  void aTaskThatCannotStartEndsWithX() {
    QFETCH(int, blocked);
    QFETCH(QStringList, errors);
    const QStringList names = {"a", "b", "c"};
    for (const QString& name : names) Make(In(name + ".wav"), AudioFormat::Wav, 1.0, 440);
    QDir().mkpath(Out(names[blocked] + ".mp3"));  // the output cannot be created

    TForm1 form(Shell);
    form.AddFiles({In("a.wav"), In("b.wav"), In("c.wav")});
    form.ConvertButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QStringList expected = {"100%", "100%", "100%"};
    expected[blocked] = "X";
    QCOMPARE(Column(form, TFileListView::ColStatus), expected);
    QCOMPARE(Shell.Errors, errors);
    QVERIFY(QFileInfo(Out(names[blocked] + ".mp3")).isDir());
  }

  void mp3KeepsTheInputsTags() {
    QDir().mkpath(Root() + "/in");
    MakeTaggedWav(In("tagged.wav"), {{"INAM", "Night Train"},
                                     {"IART", "The Melvaros"},
                                     {"IPRD", "Rails"},
                                     {"ICRD", "2004-06-01"},
                                     {"ITRK", "7"},
                                     {"IGNR", "Jazz"},
                                     {"ICMT", "first take"},
                                     {"ICOP", "(c) the band"}});
    TForm1 form(Shell);
    form.AddFiles({In("tagged.wav")});
    form.ConvertButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%"}));

    const auto tags = MediaFixtures::Probe(Out("tagged.mp3").toStdString()).tags;
    auto tag = [&](const char* key) {
      const auto it = tags.find(key);
      return it == tags.end() ? QString() : QString::fromStdString(it->second);
    };
    QCOMPARE(tag("title"), QString("Night Train"));
    QCOMPARE(tag("artist"), QString("The Melvaros"));
    QCOMPARE(tag("album"), QString("Rails"));
    QVERIFY2(tag("date").startsWith("2004"), qPrintable(tag("date")));
    QCOMPARE(tag("track").section('/', 0, 0), QString("7"));
    QCOMPARE(tag("genre"), QString("Jazz"));
    QCOMPARE(tag("comment"), QString("first take"));
    QCOMPARE(tag("copyright"), QString("(c) the band"));
  }

  void closingWhileABatchRuns() {
    for (const char* name : {"a.wav", "b.wav"}) Make(In(name), AudioFormat::Wav, 60.0, 440);
    auto form = std::make_unique<TForm1>(Shell);
    form->AddFiles({In("a.wav"), In("b.wav")});
    form->ConvertButton->click();
    form->show();
    QVERIFY(form->close());
    form.reset();  // waits for the stopped run
    QTest::qWait(200);
    QVERIFY(Shell.Opened.isEmpty());
    QVERIFY(!QFile::exists(Out("b.mp3")));
  }
};

QTEST_MAIN(ConvertTest)
#include "ConvertTest.moc"
