// The main window, offscreen, as a user drives it: a batch converted with
// "Files at once" 1 and 2 (wall times and their ratio), and the time from
// Convert to the first progress shown with a long list, with the longest
// pause of the window's event loop meanwhile. Prints figures; never fails on
// a slow machine.
//
//   window_bench FOLDER FILES SECONDS [LIST_SIZE...]
//
// Makes FILES WAVs of SECONDS (44100 Hz stereo noise; none for 0) and, for
// each LIST_SIZE, that many short ones in FOLDER: the time to list them as a
// folder, the longest pause of the event loop while they are listed and
// while a batch over them is prepared, and how long Stop takes.
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/FileListView.h"
#include "app/MainWindow.h"
#include "converter/VeltoConverter.h"
#include "tests/app/RecordingShell.h"

namespace {

// Runs the event loop for about ms milliseconds, sleeping while nothing
// happens. (processEvents with a time limit ignores WaitForMoreEvents and
// would keep this thread, the window's, busy: one core less for converting.)
void RunEventsFor(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// 16-bit PCM with a canonical header; noise keeps the encoder as busy as
// dense music does.
void MakeNoiseWav(const std::string& path, int rate, int channels, double seconds) {
  const uint32_t samples = static_cast<uint32_t>(rate * seconds) * channels;
  const uint32_t bytes = samples * 2;
  auto u32 = [](std::ofstream& out, uint32_t v) { out.write(reinterpret_cast<char*>(&v), 4); };
  auto u16 = [](std::ofstream& out, uint16_t v) { out.write(reinterpret_cast<char*>(&v), 2); };
  std::ofstream out(path, std::ios::binary);
  out.write("RIFF", 4);
  u32(out, 36 + bytes);
  out.write("WAVEfmt ", 8);
  u32(out, 16);
  u16(out, 1);
  u16(out, static_cast<uint16_t>(channels));
  u32(out, static_cast<uint32_t>(rate));
  u32(out, static_cast<uint32_t>(rate * channels * 2));
  u16(out, static_cast<uint16_t>(channels * 2));
  u16(out, 16);
  out.write("data", 4);
  u32(out, bytes);
  std::minstd_rand noise(1);
  std::vector<int16_t> block(samples);
  for (int16_t& s : block) s = static_cast<int16_t>(noise() % 20000 - 10000);
  out.write(reinterpret_cast<const char*>(block.data()), bytes);
}

// User and system time of the whole process so far.
double ProcessorSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Rows start in list order: the first ones tell (a scan of the whole list
// would itself hold the event loop up).
bool RowStarted(const TForm1& form) {
  for (int row = 0; row < std::min(form.lvFiles->RowCount(), 8); ++row) {
    const QString status = form.lvFiles->Row(row)->text(TFileListView::ColStatus);
    if (status.endsWith(u'%')) return true;
  }
  return false;
}

// Converts `files` with "Files at once" `atOnce`; returns the wall time in s.
double ConvertAll(TRecordingShell& shell, const QStringList& files, int atOnce,
                  const QString& output) {
  TForm1 form(shell);
  form.OutputFolder = output;
  form.FilesAtOnce = atOnce;
  form.AddFiles(files);
  const double cpuBefore = ProcessorSeconds();
  QElapsedTimer clock;
  clock.start();
  form.ConvertButton->click();
  while (form.Converting()) RunEventsFor(50);
  const double seconds = clock.elapsed() / 1000.0;
  const double cpu = ProcessorSeconds() - cpuBefore;
  std::printf("  Files at once %d: %7.2f s wall, %7.2f s CPU (%.2f cores busy)  (%s)\n", atOnce,
              seconds, cpu, cpu / seconds, qPrintable(form.BTips->text().trimmed()));
  return seconds;
}

// The event loop's pulse: the longest gap between two ticks of a 5 ms timer
// is the longest the window could not repaint or take a click.
class TPulse {
 public:
  TPulse() {
    QObject::connect(&Ticker, &QTimer::timeout, [this] {
      Longest = std::max(Longest, Clock.restart());
    });
  }
  void Start() {
    Longest = 0;
    Clock.start();
    Ticker.start(5);
  }
  qint64 Stop() {
    Ticker.stop();
    return std::max(Longest, Clock.elapsed());
  }

 private:
  QTimer Ticker;
  QElapsedTimer Clock;
  qint64 Longest = 0;
};

// `rows` short files (0.05 s, 8000 Hz mono) in a folder of their own, added
// as a folder (as a dropped library is), then a batch over them prepared and
// converting for two seconds, then stopped.
void ListAndPrepare(TRecordingShell& shell, const QString& folder, int rows) {
  const QString many = folder + QStringLiteral("/many%1").arg(rows);
  QDir().mkpath(many);
  for (int i = 0; i < rows; ++i)
    MakeNoiseWav((many + QStringLiteral("/short%1.wav").arg(i, 5, 10, QLatin1Char('0'))).toStdString(),
                 8000, 1, 0.05);
  TForm1 form(shell);
  form.OutputFolder = folder + QStringLiteral("/out-many%1/").arg(rows);
  form.resize(900, 600);
  form.show();
  RunEventsFor(100);
  TPulse pulse;

  // The media libraries load once per process, when the first rows are
  // described: timed on their own, so that the figures below are the list's.
  QElapsedTimer clock;
  clock.start();
  form.Converter().LoadLibraries(form.LibraryFolder.toStdString(), true);
  const qint64 libraries = clock.elapsed();

  clock.restart();
  pulse.Start();
  form.AddPaths({many});
  const qint64 added = clock.elapsed();
  RunEventsFor(20);  // the list's first paint after the add
  const qint64 addPause = pulse.Stop();

  clock.restart();
  pulse.Start();
  form.ConvertButton->click();
  const qint64 convertReturned = clock.elapsed();
  while (!RowStarted(form) && form.Converting() && clock.elapsed() < 60000) RunEventsFor(10);
  const qint64 firstProgress = clock.elapsed();
  // Let the preparation go on a while, then stop as a user would.
  const qint64 until = clock.elapsed() + 2000;
  while (clock.elapsed() < until && form.Converting()) RunEventsFor(10);
  const qint64 batchPause = pulse.Stop();
  QElapsedTimer stopClock;
  stopClock.start();
  form.StopButton->click();
  std::printf("window: %d files in the list\n", rows);
  std::printf("  added in %lld ms (aim: 2000 ms for 50,000), longest pause meanwhile %lld ms\n",
              static_cast<long long>(added), static_cast<long long>(addPause));
  std::printf("  media libraries loaded in %lld ms (once per process, before the first listing)\n",
              static_cast<long long>(libraries));
  std::printf("  Convert returned after %lld ms; first progress after %lld ms\n",
              static_cast<long long>(convertReturned), static_cast<long long>(firstProgress));
  std::printf("  longest event-loop pause while preparing and converting: %lld ms (aim: 50 ms)\n",
              static_cast<long long>(batchPause));
  std::printf("  Stop took %lld ms  (%s)\n", static_cast<long long>(stopClock.elapsed()),
              qPrintable(form.BTips->text().trimmed()));
  QDir(many).removeRecursively();
  QDir(form.OutputFolder).removeRecursively();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
  if (argc < 4) {
    std::fprintf(stderr, "usage: window_bench FOLDER FILES SECONDS [LIST_SIZE...]\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const int count = std::atoi(argv[2]);
  const double seconds = std::atof(argv[3]);
  std::vector<int> longLists;
  for (int i = 4; i < argc; ++i) longLists.push_back(std::atoi(argv[i]));

  TRecordingShell shell;
  shell.Config = folder + "/config";
  shell.Documents = folder + "/docs";

  QStringList files;
  for (int i = 0; i < count && count > 0; ++i) {
    files.append(folder + QStringLiteral("/track%1.wav").arg(i + 1));
    MakeNoiseWav(files.last().toStdString(), 44100, 2, seconds);
  }
  if (count > 0) {
    std::printf("window: %d files of %.0f s (16-bit stereo 44100 Hz WAV) to MP3 128 kbit/s\n",
                count, seconds);
    const double one = ConvertAll(shell, files, 1, folder + "/out1/");
    const double two = ConvertAll(shell, files, 2, folder + "/out2/");
    std::printf("  ratio (2 / 1): %.3f  (aim: 0.55 or less on two free cores)\n", two / one);
  }

  for (const int rows : longLists) ListAndPrepare(shell, folder, rows);
  return 0;
}
