// The batch without a window: what each row reports, the gauge, the status
// line and the summary, through a finished and a stopped batch.
#include <QCoreApplication>
#include <QFile>
#include <QTest>
#include <map>
#include <memory>

#include "app/BatchController.h"
#include "converter/OutputPresets.h"
#include "converter/VeltoConverter.h"
#include "tests/support/MediaFixtures.h"
#include "tests/support/TempFolder.h"

using MediaFixtures::AudioFormat;

namespace {

constexpr int BatchTimeoutMs = 120000;

// Everything the controller reported, as a window would show it.
struct TShown {
  std::map<int, QString> Status;
  std::map<int, QString> Tip;
  std::map<int, int64_t> DurationMs;
  std::vector<bool> Finished;  // the stopped flag of each end
  int Changes = 0;
};

}  // namespace

class BatchControllerTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TempFolder> Temp;
  std::unique_ptr<TBatchController> Batch;
  TShown Shown;

  std::string Path(const std::string& name) const { return Temp->path().string() + "/" + name; }
  std::string Make(const std::string& name, AudioFormat format, double seconds) const {
    MediaFixtures::MakeAudio(Path(name), format, 44100, 2, seconds, 440);
    return Path(name);
  }
  TBatchSettings Settings(int filesAtOnce) const {
    TBatchSettings settings;
    settings.Format = DefaultChoice(OutputFormat::Mp3);
    settings.FilesAtOnce = filesAtOnce;
    settings.OutputFolder = Path("out/");
    return settings;
  }
  QStringList Statuses(int rows) const {
    QStringList statuses;
    for (int row = 0; row < rows; ++row)
      statuses.append(Shown.Status.count(row) ? Shown.Status.at(row) : QString());
    return statuses;
  }

 private slots:
  void init() {
    Temp = std::make_unique<TempFolder>();
    Shown = TShown{};
    Batch = std::make_unique<TBatchController>();
    QVERIFY(Batch->Converter().LoadLibraries(
        LibraryFolderOf(QCoreApplication::applicationDirPath().toStdString()), true));
    TBatchController::TEvents& events = Batch->Events;
    events.Status = [this](int row, const QString& status) { Shown.Status[row] = status; };
    events.Tip = [this](int row, const QString& tip) { Shown.Tip[row] = tip; };
    events.Described = [this](int row, const TInputDescription& description) {
      Shown.DurationMs[row] = description.DurationMs;
    };
    events.NotStarted = [this](const std::vector<int>& rows, const QString& mark,
                               const QString& tip) {
      for (const int row : rows) {
        Shown.Status[row] = mark;
        Shown.Tip[row] = tip;
      }
    };
    events.Changed = [this] { ++Shown.Changes; };
    events.Finished = [this](bool stopped) { Shown.Finished.push_back(stopped); };
  }
  void cleanup() {
    Batch.reset();
    Temp.reset();
  }

  void aBatchRunsToItsSummary() {
    QVERIFY(!Batch->Running());
    QCOMPARE(Batch->GaugeFraction(), 0.0);
    QCOMPARE(Batch->StatusLine(), QString());

    const std::string a = Make("a.wav", AudioFormat::Wav, 1.0);
    const std::string b = Make("b.flac", AudioFormat::Flac, 1.0);
    Batch->Start({{a, ""}, {Path("missing.wav"), ""}, {b, ""}}, Settings(2));
    QVERIFY(Batch->Running());
    QCOMPARE(Batch->StatusLine(), QString("    Please wait ..."));
    QTRY_VERIFY_WITH_TIMEOUT(!Batch->Running(), BatchTimeoutMs);

    QCOMPARE(Shown.Finished, std::vector<bool>{false});
    QCOMPARE(Statuses(3), QStringList({"100%", "X", "100%"}));
    QCOMPARE(Batch->Counts().Converted, 2);
    QCOMPARE(Batch->Counts().Failed, 1);
    QCOMPARE(Batch->GaugeFraction(), 1.0);
    QCOMPARE(Batch->StatusLine(), QString("    Done: 2 converted, 1 failed"));
    QVERIFY2(Shown.Tip[1].contains("No such file", Qt::CaseInsensitive), qPrintable(Shown.Tip[1]));
    QCOMPARE(Batch->Outputs(),
             (std::vector<std::string>{Path("out/a.mp3"), "", Path("out/b.mp3")}));
    QVERIFY(QFile::exists(QString::fromStdString(Path("out/a.mp3"))));
    QVERIFY(QFile::exists(QString::fromStdString(Path("out/b.mp3"))));
    QCOMPARE(Shown.DurationMs.size(), std::size_t(2));
    QVERIFY(qAbs(Shown.DurationMs[0] - 1000) < 50 && qAbs(Shown.DurationMs[2] - 1000) < 50);
    QVERIFY(Shown.Changes > 2);
  }

  void stopLeavesTheShareConverted() {
    const std::string a = Make("a.wav", AudioFormat::Wav, 2.0);
    const std::string running = Make("long.wav", AudioFormat::Wav, 600.0);
    const std::string c = Make("c.wav", AudioFormat::Wav, 2.0);
    Batch->Start({{a, ""}, {running, ""}, {c, ""}}, Settings(1));
    QTRY_VERIFY_WITH_TIMEOUT(Statuses(3)[1].endsWith("%") && Statuses(3)[1] != "0%",
                             BatchTimeoutMs);
    QVERIFY2(Batch->StatusLine().startsWith("    1 of 3 done"), qPrintable(Batch->StatusLine()));
    const double during = Batch->GaugeFraction();
    QVERIFY(during > 0 && during < 1);

    Batch->Stop();
    QVERIFY(!Batch->Running());
    QCOMPARE(Shown.Finished, std::vector<bool>{true});
    const QStringList after = {"100%", "Stopped", "Not started"};
    QCOMPARE(Statuses(3), after);
    QCOMPARE(Shown.Tip[2], QString("Not converted: the batch was stopped before this file began."));
    const QString summary = "    Stopped: 1 converted, 0 failed, 1 stopped, 1 not started";
    QCOMPARE(Batch->StatusLine(), summary);
    const double stopped = Batch->GaugeFraction();
    QVERIFY2(stopped > 0 && stopped < during,
             qPrintable(QString("%1 %2").arg(stopped).arg(during)));
    // Nothing of the stopped batch arrives later.
    const int changes = Shown.Changes;
    QTest::qWait(200);
    QCOMPARE(Shown.Changes, changes);
    QCOMPARE(Statuses(3), after);
    QCOMPARE(Batch->StatusLine(), summary);
    QVERIFY(QFile::exists(QString::fromStdString(Path("out/a.mp3"))));
    QVERIFY(!QFile::exists(QString::fromStdString(Path("out/long.mp3"))));

    Batch->Stop();  // nothing runs: nothing happens
    QCOMPARE(Shown.Finished, std::vector<bool>{true});
  }
};

QTEST_MAIN(BatchControllerTest)
#include "BatchControllerTest.moc"
