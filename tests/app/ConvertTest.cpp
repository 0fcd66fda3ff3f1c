// Real conversions driven through the main window: the component and the
// engine run on worker threads, their events come back as queued calls.
#include <sys/stat.h>

#include <cstdio>

#include <QComboBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDragEnterEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QUrl>
#include <memory>

#include "app/DetailsDialog.h"
#include "app/FileListView.h"
#include "app/MainWindow.h"
#include "app/PathRules.h"
#include "app/SettingsDialog.h"
#include "converter/VeltoConverter.h"
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

  // Every failure class ends on its own row with its mark and its reason;
  // nothing leaves the list, and the folder opens only when something
  // converted.
  void everyRowEndsWithItsMarkAndReason_data() {
    QTest::addColumn<bool>("withGoodFiles");
    QTest::newRow("with good files") << true;
    QTest::newRow("nothing converts") << false;
  }
  void everyRowEndsWithItsMarkAndReason() {
    QFETCH(bool, withGoodFiles);
    QDir().mkpath(Root() + "/in");
    QFile broken(In("broken.wav"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(4096, 'x'));
    broken.close();
    Make(In("blocked.wav"), AudioFormat::Wav, 1.0, 440);
    QDir().mkpath(Out("blocked.mp3"));  // its output cannot be written
    QStringList files = {In("broken.wav"), In("missing.wav"), In("blocked.wav")};
    if (withGoodFiles) {
      Make(In("first.wav"), AudioFormat::Wav, 2.0, 440);
      Make(In("third.flac"), AudioFormat::Flac, 2.0, 880);
      files = QStringList{In("first.wav")} + files + QStringList{In("third.flac")};
    }

    TForm1 form(Shell);
    form.FilesAtOnce = 2;
    Make(In("missing.wav"), AudioFormat::Wav, 1.0, 440);
    form.AddFiles(files);
    QVERIFY(QFile::remove(In("missing.wav")));  // gone between its adding and Convert
    form.ConvertButton->click();
    QVERIFY(form.StopButton->isEnabled() && !form.ConvertButton->isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);

    QCOMPARE(Column(form, TFileListView::ColPath), files);
    const int failed = 3;
    QStringList marks(failed, "X");
    if (withGoodFiles) marks = QStringList{"100%"} + marks + QStringList{"100%"};
    QCOMPARE(Column(form, TFileListView::ColStatus), marks);
    for (int row = 0; row < files.size(); ++row) {
      const QString tip = form.lvFiles->Row(row)->toolTip(TFileListView::ColStatus);
      if (marks[row] == "X") {
        QVERIFY2(!tip.isEmpty() && !tip.startsWith("Output: "), qPrintable(files[row]));
        QVERIFY2(!TForm1::RowLog(form.lvFiles->Row(row)).isEmpty(), qPrintable(files[row]));
      } else {
        QCOMPARE(tip, "Output: " + form.RowOutputs()[row]);
      }
    }
    const int missing = files.indexOf(In("missing.wav"));
    QVERIFY2(form.lvFiles->Row(missing)->toolTip(0).contains("no such file", Qt::CaseInsensitive),
             qPrintable(form.lvFiles->Row(missing)->toolTip(0)));
    QCOMPARE(form.BTips->text(),
             withGoodFiles ? "    Done: 2 converted, 3 failed" : "    Done: 0 converted, 3 failed");
    QTest::qWait(200);
    QCOMPARE(Shell.Opened, withGoodFiles ? QStringList{form.OutputFolder} : QStringList());
    QVERIFY(Shell.Errors.isEmpty());
    QVERIFY(!form.StopButton->isEnabled() && form.ConvertButton->isEnabled());
    if (withGoodFiles) {
      ExpectMp3(Out("first.mp3"), 440);
      ExpectMp3(Out("third.mp3"), 880);
    }
    QVERIFY(!QFile::exists(Out("broken.mp3")) && !QFile::exists(Out("missing.mp3")));
    QVERIFY(QFileInfo(Out("blocked.mp3")).isDir());
  }

  // "Files at once" 2: two rows run together, each with its own percentage.
  // With the update rule a second Convert leaves current outputs alone: their
  // rows say so and the summary counts them; a touched source is redone.
  // An album file's tracks follow the record as a file does.
  void updateRuleShowsRowsAsUpToDate() {
    const QStringList files = {In("a.wav"), In("b.flac"), In("c.wav")};
    Make(files[0], AudioFormat::Wav, 1.0, 440);
    Make(files[1], AudioFormat::Flac, 1.0, 880);
    Make(files[2], AudioFormat::Wav, 2.0, 660);
    QFile sheet(In("c.cue"));
    QVERIFY(sheet.open(QIODevice::WriteOnly));
    sheet.write("FILE \"c.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
                "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 00:01:00\n");
    sheet.close();
    {
      TForm1 first(Shell);  // the rule chosen in the settings dialog is saved
      first.Fset->show();
      QCOMPARE(first.Fset->ExistingBox->currentIndex(), 0);
      first.Fset->ExistingBox->setCurrentIndex(2);
      first.Fset->Ok();
      first.Fset->hide();
    }
    TForm1 form(Shell);
    QCOMPARE(int(form.Existing), int(TExistingRule::Update));
    form.AddFiles(files);
    const auto convert = [&] {
      form.ConvertButton->click();
      QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    };
    convert();
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList(3, "100%"));
    const QByteArray made = Hash(Out("b.mp3"));
    const QByteArray track = Hash(Out("02 Two.mp3"));
    Shell.Opened.clear();  // the folder opens only when something converted

    convert();
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList(3, "Up to date"));
    QCOMPARE(form.BTips->text(), QString("    Done: 0 converted, 0 failed, 3 up to date"));
    QCOMPARE(Shell.Opened, QStringList());
    QCOMPARE(Hash(Out("b.mp3")), made);
    QCOMPARE(Hash(Out("02 Two.mp3")), track);

    QFile source(files[0]);
    QVERIFY(source.open(QIODevice::ReadWrite));
    QVERIFY(source.setFileTime(QDateTime::currentDateTime().addSecs(60),
                               QFileDevice::FileModificationTime));
    source.close();
    convert();
    QCOMPARE(Column(form, TFileListView::ColStatus),
             (QStringList{"100%", "Up to date", "Up to date"}));
    QCOMPARE(form.BTips->text(), QString("    Done: 1 converted, 0 failed, 2 up to date"));
    ExpectMp3(Out("a.mp3"), 440);
  }

  void twoFilesAtOnce() {
    const QStringList names = {"a.wav", "b.wav", "c.wav", "d.wav"};
    QStringList files;
    for (const QString& name : names) {
      Make(In(name), AudioFormat::Wav, 90.0, 440);  // long enough to overlap on a fast machine
      files.append(In(name));
    }
    TForm1 form(Shell);
    form.FilesAtOnce = 2;
    form.Converter().SetProgressInterval(100);
    form.AddFiles(files);
    form.ConvertButton->click();
    int mostRunning = 0;
    QString batchLine;
    QElapsedTimer clock;
    clock.start();
    while (form.Converting() && clock.elapsed() < BatchTimeoutMs) {
      int running = 0;
      for (const QString& status : Column(form, TFileListView::ColStatus))
        running += status.endsWith('%') && status != "100%";
      mostRunning = qMax(mostRunning, running);
      if (form.BTips->text().contains(" done")) batchLine = form.BTips->text();
      QTest::qWait(20);
    }
    QCOMPARE(mostRunning, 2);
    QVERIFY2(QRegularExpression("^    [0-3] of 4 done(        Time left: \\d+:\\d\\d)?$")
                 .match(batchLine)
                 .hasMatch(),
             qPrintable(batchLine));
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList(4, "100%"));
    QCOMPARE(form.BTips->text(), QString("    Done: 4 converted, 0 failed"));
    QCOMPARE(form.ProgressBar1->value(), form.ProgressBar1->maximum());
    QCOMPARE(Shell.Opened, QStringList{form.OutputFolder});
  }

  // A short input and a damaged one still give their MP3s, marked, with the
  // reason on the row and in the summary.
  void convertedWithProblems() {
    Make(In("good.wav"), AudioFormat::Wav, 2.0, 440);
    Make(In("short.wav"), AudioFormat::Wav, 8.0, 440);
    QFile cut(In("short.wav"));
    QVERIFY(cut.resize(44 + 2 * 2 * 44100 * 2));  // the header still says 8 s
    TForm1 form(Shell);
    form.AddFiles({In("good.wav"), In("short.wav")});
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%", "100% !"}));
    const QString tip = form.lvFiles->Row(1)->toolTip(TFileListView::ColName);
    // The converter's reason ("input ended at ...", "... damaged packets
    // skipped"), then the output.
    const QStringList lines = tip.split('\n');
    QVERIFY2(lines.size() == 2 && !lines[0].isEmpty() && !lines[0].startsWith("Output: ") &&
                 lines[1] == "Output: " + form.RowOutputs()[1],
             qPrintable(tip));
    QCOMPARE(form.BTips->text(), QString("    Done: 2 converted, 0 failed, 1 with problems"));
    QCOMPARE(Shell.Opened, QStringList{form.OutputFolder});
  }

  // A row's log lines are kept for the Details window, which follows the
  // selection.
  void detailsShowTheSelectedRowsLines() {
    Make(In("a.wav"), AudioFormat::Wav, 1.0, 440);
    QDir().mkpath(Root() + "/in");
    QFile broken(In("b.wav"));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write(QByteArray(100, 'x'));
    broken.close();
    TForm1 form(Shell);
    form.AddFiles({In("a.wav"), In("b.wav")});
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    form.lvFiles->Row(1)->setSelected(true);
    form.DetailsButton->click();
    QVERIFY(form.Details->isVisible());
    QCOMPARE(form.Details->RowLabel->text(), In("b.wav"));
    QVERIFY(!form.Details->Lines->toPlainText().isEmpty());
    QCOMPARE(form.Details->Lines->toPlainText(), TForm1::RowLog(form.lvFiles->Row(1)).join('\n'));
    form.lvFiles->clearSelection();
    form.lvFiles->Row(0)->setSelected(true);
    QCOMPARE(form.Details->RowLabel->text(), In("a.wav"));
    // The converted file's lines name its output, as the converter said it.
    QVERIFY2(form.Details->Lines->toPlainText().contains("Output #0, mp3"),
             qPrintable(form.Details->Lines->toPlainText()));
  }

  // The gauge and the status line tell the truth: empty and blank before
  // the batch, its share during it, after Stop the share converted with the
  // rows that never began marked and counted, and nothing after Clear.
  void stopDuringABatch() {
    // The long file is still running when Stop is pressed, even on a busy
    // machine; the short one before it is converted by then.
    Make(In("a.wav"), AudioFormat::Wav, 2.0, 440);
    Make(In("long.wav"), AudioFormat::Wav, 600.0, 440);
    Make(In("c.wav"), AudioFormat::Wav, 2.0, 440);
    TForm1 form(Shell);
    form.FilesAtOnce = 1;
    form.AddFiles({In("a.wav"), In("long.wav"), In("c.wav")});
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.BTips->text(), QString());
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.lvFiles->Row(1)->text(TFileListView::ColStatus).endsWith("%") &&
                                 form.lvFiles->Row(1)->text(TFileListView::ColStatus) != "0%",
                             BatchTimeoutMs);
    QTRY_COMPARE_WITH_TIMEOUT(form.lvFiles->Row(2)->text(TFileListView::ColStatus), QString("-"),
                              BatchTimeoutMs);
    QCOMPARE(form.lvFiles->Row(0)->text(TFileListView::ColStatus), QString("100%"));
    QVERIFY2(form.BTips->text().startsWith("    1 of 3 done"), qPrintable(form.BTips->text()));
    const int during = form.ProgressBar1->value();
    QVERIFY2(during > 0 && during < form.ProgressBar1->maximum(), qPrintable(QString::number(during)));
    // Rows must stay in step with the batch: nothing can be dropped now.
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(In("a.wav"))});
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form.lvFiles->viewport(), &enter);
    QVERIFY(!enter.isAccepted());
    form.StopButton->click();

    // The stopped task's last report and its end come before the summary.
    QVERIFY(!form.StopButton->isEnabled() && form.ConvertButton->isEnabled());
    const QStringList after = {"100%", "Stopped", "Not started"};
    QCOMPARE(Column(form, TFileListView::ColStatus), after);
    const QString summary = "    Stopped: 1 converted, 0 failed, 1 stopped, 1 not started";
    QCOMPARE(form.BTips->text(), summary);
    // The converted file's share, less than what the running one had added.
    const int stopped = form.ProgressBar1->value();
    QVERIFY2(stopped > 0 && stopped < during, qPrintable(QString("%1 %2").arg(stopped).arg(during)));
    QTest::qWait(200);
    QCOMPARE(form.BTips->text(), summary);
    QCOMPARE(Column(form, TFileListView::ColStatus), after);
    QCOMPARE(form.ProgressBar1->value(), stopped);
    QVERIFY(Shell.Opened.isEmpty());
    QVERIFY(QFile::exists(Out("a.mp3")));
    QVERIFY(!QFile::exists(Out("long.mp3")) && !QFile::exists(Out("c.mp3")));

    form.ClearButton->click();
    QCOMPARE(form.ProgressBar1->value(), 0);
    QCOMPARE(form.BTips->text(), QString());
  }

  // A worker that dies mid-file (the test build's seam kills it at the
  // file's first progress report) fails only that row, with the signal and
  // the library's last line; the other rows convert and no hidden file is
  // left in the output folder.
  void aCrashedWorkerFailsOnlyItsRow_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("signal");
    QTest::newRow("segmentation fault") << "segv" << "SIGSEGV";
    QTest::newRow("killed") << "kill" << "SIGKILL";
  }
  void aCrashedWorkerFailsOnlyItsRow() {
    QFETCH(QString, fault);
    QFETCH(QString, signal);
    const QStringList files = {In("a.wav"), In("crash.wav"), In("c.wav")};
    for (const QString& file : files) Make(file, AudioFormat::Wav, 2.0, 440);
    qputenv("MELVARO_TEST_WORKER_FAULT", ("crash.wav=" + fault).toUtf8());
    TForm1 form(Shell);
    form.FilesAtOnce = 2;
    form.AddFiles(files);
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    qunsetenv("MELVARO_TEST_WORKER_FAULT");
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%", "X", "100%"}));
    const QString reason = form.lvFiles->Row(1)->toolTip(TFileListView::ColStatus);
    QVERIFY2(reason.contains("the conversion crashed: " + signal + " (test fault: " + fault + ")"),
             qPrintable(reason));
    QCOMPARE(form.BTips->text(), QString("    Done: 2 converted, 1 failed"));
    ExpectMp3(Out("a.mp3"), 440);
    ExpectMp3(Out("c.mp3"), 440);
    QVERIFY(!QFile::exists(Out("crash.mp3")));
    QCOMPARE(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList({"a.mp3", "c.mp3"}));
  }

  // Stop reaches a conversion stuck in a library call that never returns
  // (the seam's "hang"): its worker is killed after the grace period, so
  // the batch ends within a second and leaves no hidden file.
  void stopEndsAConversionStuckInALibraryCall() {
    Make(In("stuck.wav"), AudioFormat::Wav, 2.0, 440);
    qputenv("MELVARO_TEST_WORKER_FAULT", "stuck.wav=hang");
    TForm1 form(Shell);
    form.Converter().SetProgressInterval(100);
    form.AddFiles({In("stuck.wav")});
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.lvFiles->Row(0)->text(TFileListView::ColStatus).endsWith("%"),
                             BatchTimeoutMs);
    qunsetenv("MELVARO_TEST_WORKER_FAULT");
    QElapsedTimer clock;
    clock.start();
    form.StopButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    const qint64 elapsed = clock.elapsed();
    QVERIFY2(elapsed < 1000, qPrintable(QString("Stop took %1 ms").arg(elapsed)));
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList{"Stopped"});
    QCOMPARE(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList());
  }

  // Convert returns before any file is read (they are described on another
  // thread), and Stop during that preparation ends the batch at once.
  void stopWhileTheListIsPrepared() {
    QStringList files;
    for (int i = 0; i < 50; ++i) {
      files.append(In(QString("f%1.wav").arg(i)));
      Make(files.last(), AudioFormat::Wav, 0.5, 440);
    }
    TForm1 form(Shell);
    form.AddFiles(files);
    form.ConvertButton->click();
    QVERIFY(form.Converting());
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList(50, ""));
    form.StopButton->click();
    QVERIFY(!form.Converting());
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList(50, "Not started"));
    QCOMPARE(form.BTips->text(), QString("    Stopped: 0 converted, 0 failed, 50 not started"));
    QCOMPARE(form.ProgressBar1->value(), 0);
    QTest::qWait(300);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList(50, "Not started"));
    QVERIFY(Shell.Opened.isEmpty());
    QCOMPARE(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList());
  }

  void progressReachesTheRowAndTheStatusLine() {
    // Long enough that reports arrive well before the end, even on a busy
    // machine; the batch is stopped once they have been seen.
    Make(In("long.wav"), AudioFormat::Wav, 600.0, 440);
    TForm1 form(Shell);
    form.AddFiles({In("long.wav")});
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(form.lvFiles->Row(0)->text(TFileListView::ColStatus).endsWith("%"),
                             BatchTimeoutMs);
    QVERIFY2(form.BTips->text().startsWith("    0 of 1 done"), qPrintable(form.BTips->text()));
    form.StopButton->click();
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"Stopped"}));
    QVERIFY(Shell.Opened.isEmpty());  // nothing converted
  }

  // An album file with a sheet is its row with one child row per track,
  // each ending with its own mark; a broken sheet fails its row.
  void albumRowsShowEachTrack() {
    QDir().mkpath(Root() + "/in");
    MediaFixtures::AudioExtras extras;
    extras.segments = {{1.0, 440}, {1.0, 660}, {1.0, 880}};
    MediaFixtures::MakeAudio(In("album.wav").toStdString(), AudioFormat::Wav, 44100, 2, 0, 0,
                             extras);
    MediaFixtures::MakeAudio(In("bad.wav").toStdString(), AudioFormat::Wav, 44100, 2, 0, 0,
                             extras);
    const auto writeSheet = [&](const QString& name, const QByteArray& text) {
      QFile sheet(In(name));
      QVERIFY(sheet.open(QIODevice::WriteOnly));
      sheet.write(text);
    };
    writeSheet("album.cue",
               "FILE \"album.wav\" WAVE\nTRACK 01 AUDIO\nTITLE \"One\"\nINDEX 01 00:00:00\n"
               "TRACK 02 AUDIO\nTITLE \"Two\"\nINDEX 01 00:01:00\n"
               "TRACK 03 AUDIO\nTITLE \"Three\"\nINDEX 01 00:02:00\n");
    writeSheet("bad.cue", "FILE \"bad.wav\" WAVE\nTRACK 01 AUDIO\nINDEX 01 00:00:00\n"
                          "TRACK 02 AUDIO\nINDEX 01 07:00:00\n");

    TForm1 form(Shell);
    form.AddFiles({In("album.wav"), In("bad.wav")});
    form.ConvertButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%", "X"}));
    QTreeWidgetItem* album = form.lvFiles->Row(0);
    QCOMPARE(album->childCount(), 3);
    const QStringList names = {"01 One.mp3", "02 Two.mp3", "03 Three.mp3"};
    const double tones[] = {440, 660, 880};
    for (int i = 0; i < 3; ++i) {
      QCOMPARE(album->child(i)->text(TFileListView::ColName), names[i]);
      QCOMPARE(album->child(i)->text(TFileListView::ColStatus), QString("100%"));
      ExpectMp3(Out(names[i]), tones[i]);
    }
    QTreeWidgetItem* bad = form.lvFiles->Row(1);
    QCOMPARE(bad->childCount(), 0);
    QVERIFY2(bad->toolTip(TFileListView::ColName).contains("bad.cue:4: track 2 starts at 07:00:00"),
             qPrintable(bad->toolTip(TFileListView::ColName)));
    QVERIFY(!QFile::exists(Out("bad.mp3")));
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
    QCOMPARE(form.RowOutputs(), outputs);
    for (int row = 0; row < 4; ++row)
      QCOMPARE(form.lvFiles->Row(row)->toolTip(TFileListView::ColName), "Output: " + outputs[row]);
    ExpectMp3(outputs[0], 440);
    ExpectMp3(outputs[1], 660);
    ExpectMp3(outputs[2], 880);
    ExpectMp3(outputs[3], 550);
  }

  // A folder added to the list keeps its tree below the output folder; the
  // same names in two of its folders stay apart, a file added alone is flat.
  void anAddedFolderKeepsItsTree() {
    Make(In("Music/A/One/01 Intro.wav"), AudioFormat::Wav, 1.0, 440);
    Make(In("Music/B/Two/01 Intro.flac"), AudioFormat::Flac, 1.0, 660);
    Make(In("Music/B/Two/02.wav"), AudioFormat::Wav, 1.0, 880);
    Make(In("alone.wav"), AudioFormat::Wav, 1.0, 550);

    TForm1 form(Shell);
    form.AddPaths({In("Music"), In("alone.wav")});
    form.ConvertButton->click();
    QTRY_COMPARE_WITH_TIMEOUT(Shell.Opened.size(), 1, BatchTimeoutMs);
    QCOMPARE(Column(form, TFileListView::ColStatus), QStringList({"100%", "100%", "100%", "100%"}));
    const QStringList outputs = {Out("A/One/01 Intro.mp3"), Out("B/Two/01 Intro.mp3"),
                                 Out("B/Two/02.mp3"), Out("alone.mp3")};
    QCOMPARE(form.RowOutputs(), outputs);
    ExpectMp3(outputs[0], 440);
    ExpectMp3(outputs[1], 660);
    ExpectMp3(outputs[2], 880);
    ExpectMp3(outputs[3], 550);
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

  // Closing asks first: no keeps converting, yes stops cleanly and closes.
  void closingWhileABatchRuns() {
    for (const char* name : {"a.wav", "b.wav"}) Make(In(name), AudioFormat::Wav, 600.0, 440);
    auto form = std::make_unique<TForm1>(Shell);
    form->FilesAtOnce = 1;
    form->AddFiles({In("a.wav"), In("b.wav")});
    form->ConvertButton->click();
    form->show();
    QTRY_VERIFY_WITH_TIMEOUT(form->lvFiles->Row(0)->text(TFileListView::ColStatus).endsWith("%"),
                             BatchTimeoutMs);
    Shell.Answers = {false, true};
    QVERIFY(!form->close());
    QCOMPARE(Shell.Questions.size(), 1);
    QVERIFY(form->Converting() && form->isVisible());
    QVERIFY(form->close());
    QCOMPARE(Shell.Questions.size(), 2);
    QVERIFY(!form->Converting());
    QCOMPARE(form->lvFiles->Row(0)->text(TFileListView::ColStatus), QString("Stopped"));
    form.reset();
    QTest::qWait(200);
    QVERIFY(Shell.Opened.isEmpty());
    QVERIFY(!QFile::exists(Out("a.mp3")) && !QFile::exists(Out("b.mp3")));
    QCOMPARE(QDir(Out("")).entryList(QDir::Files | QDir::Hidden), QStringList());
  }

  // A batch that ends while the close question is open withdraws it: nothing
  // is left to stop, and the window closes as asked.
  void batchEndingUnderTheCloseQuestion() {
    Make(In("a.wav"), AudioFormat::Wav, 2.0, 440);
    auto form = std::make_unique<TForm1>(Shell);
    form->AddFiles({In("a.wav")});
    form->show();
    form->ConvertButton->click();
    Shell.Answers = {false};  // the answer that would keep the window open
    Shell.WhileAsking = [&] { QTRY_VERIFY_WITH_TIMEOUT(!form->Converting(), BatchTimeoutMs); };
    QVERIFY(form->close());
    QCOMPARE(Shell.Questions.size(), 1);
    QCOMPARE(Shell.Withdrawn, 1);
    QCOMPARE(form->lvFiles->Row(0)->text(TFileListView::ColStatus), QString("100%"));
    ExpectMp3(Out("a.mp3"), 440);
  }

  // A name that is not valid UTF-8 (Latin-1 "caf\xe9.wav") keeps its bytes
  // from the list to the input and into the output's name, whether a folder
  // walk or a drop brought it; it is shown with a replacement character, with
  // its real size and its tags.
  void nameThatIsNotUtf8Converts_data() {
    QTest::addColumn<bool>("dropped");
    QTest::newRow("folder added") << false;
    QTest::newRow("file dropped") << true;
  }
  void nameThatIsNotUtf8Converts() {
    QFETCH(bool, dropped);
    QDir().mkpath(In(""));
    MakeTaggedWav(In("plain.wav"), {{"INAM", "Caf\xc3\xa9 song"}, {"IART", "Somebody"}});
    const std::string native = QFile::encodeName(In("")).toStdString() + "caf\xe9.wav";
    QCOMPARE(::rename(QFile::encodeName(In("plain.wav")).constData(), native.c_str()), 0);
    struct stat status {};
    QCOMPARE(::stat(native.c_str(), &status), 0);

    TForm1 form(Shell);
    if (dropped) {
      QMimeData mime;
      mime.setUrls({QUrl("file://" + QString::fromLatin1(QByteArray::fromStdString(native).toPercentEncoding("/")))});
      QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(form.lvFiles->viewport(), &enter);
      QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
      QCoreApplication::sendEvent(form.lvFiles->viewport(), &drop);
    } else {
      form.AddPaths({In("")});
    }
    QCOMPARE(form.lvFiles->RowCount(), 1);
    QCOMPARE(TForm1::RowPath(form.lvFiles->Row(0)), native);
    QCOMPARE(Column(form, TFileListView::ColName), QStringList{QString::fromUtf8("caf\uFFFD.wav")});
    QCOMPARE(Column(form, TFileListView::ColSize), QStringList{SizeText(status.st_size)});

    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    QCOMPARE(form.BTips->text(), QString("    Done: 1 converted, 0 failed"));
    QCOMPARE(Column(form, TFileListView::ColTitle), QStringList{QString::fromUtf8("Caf\u00e9 song")});
    QCOMPARE(Column(form, TFileListView::ColArtist), QStringList{"Somebody"});
    QCOMPARE(Column(form, TFileListView::ColDuration), QStringList{"0:01"});
    const std::string output = QFile::encodeName(Out("")).toStdString() + "caf\xe9.mp3";
    QVERIFY2(::stat(output.c_str(), &status) == 0 && status.st_size > 1000, output.c_str());
    QVERIFY(Shell.Errors.isEmpty());
  }

  // When the desktop cannot open the output folder, a message box says why.
  void outputFolderThatCannotBeOpened() {
    Make(In("a.wav"), AudioFormat::Wav, 1.0, 440);
    TForm1 form(Shell);
    form.AddFiles({In("a.wav")});
    Shell.OpenAnswers = {"no program of the desktop could open it"};
    form.ConvertButton->click();
    QTRY_VERIFY_WITH_TIMEOUT(!form.Converting(), BatchTimeoutMs);
    QCOMPARE(Shell.Opened, QStringList{form.OutputFolder});
    QCOMPARE(Shell.Errors, QStringList{"The output folder " + form.OutputFolder +
                                       " cannot be opened: no program of the desktop could "
                                       "open it"});
    QCOMPARE(form.BTips->text(), QString("    Done: 1 converted, 0 failed"));
  }
};

QTEST_MAIN(ConvertTest)
#include "ConvertTest.moc"
