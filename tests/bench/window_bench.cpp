// The main window, offscreen, as a user drives it: a batch converted with
// "Files at once" 1 and 2 (wall times and their ratio), and the time from
// Convert to the first progress shown with a long list, with the longest
// pause of the window's event loop meanwhile. Prints figures; never fails on
// a slow machine.
//
//   window_bench FOLDER FILES SECONDS LONG_LIST
//
// Makes FILES WAVs of SECONDS (44100 Hz stereo noise) and LONG_LIST short
// ones (2 s, 8000 Hz mono) in FOLDER.
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

bool RowStarted(const TForm1& form) {
  for (int row = 0; row < form.lvFiles->RowCount(); ++row) {
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

}  // namespace

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  std::setvbuf(stdout, nullptr, _IOLBF, 0);  // each figure as soon as it is known
  if (argc < 5) {
    std::fprintf(stderr, "usage: window_bench FOLDER FILES SECONDS LONG_LIST\n");
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  const int count = std::atoi(argv[2]);
  const double seconds = std::atof(argv[3]);
  const int longList = std::atoi(argv[4]);

  TRecordingShell shell;
  shell.Config = folder + "/config";
  shell.Documents = folder + "/docs";

  QStringList files;
  for (int i = 0; i < count; ++i) {
    files.append(folder + QStringLiteral("/track%1.wav").arg(i + 1));
    MakeNoiseWav(files.last().toStdString(), 44100, 2, seconds);
  }
  std::printf("window: %d files of %.0f s (16-bit stereo 44100 Hz WAV) to MP3 128 kbit/s\n", count,
              seconds);
  const double one = ConvertAll(shell, files, 1, folder + "/out1/");
  const double two = ConvertAll(shell, files, 2, folder + "/out2/");
  std::printf("  ratio (2 / 1): %.3f  (aim: 0.55 or less on two free cores)\n", two / one);

  QStringList many;
  for (int i = 0; i < longList; ++i) {
    many.append(folder + QStringLiteral("/many/short%1.wav").arg(i, 4, 10, QLatin1Char('0')));
    if (i == 0) QDir().mkpath(folder + "/many");
    MakeNoiseWav(many.last().toStdString(), 8000, 1, 2.0);
  }
  TForm1 form(shell);
  form.OutputFolder = folder + "/out-many/";
  form.AddFiles(many);
  // The event loop's pulse: the longest gap between two ticks of a 10 ms
  // timer is the longest the window could not repaint or take a click.
  QElapsedTimer pulse;
  qint64 longestPause = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout,
                   [&] { longestPause = std::max(longestPause, pulse.restart()); });
  QElapsedTimer clock;
  clock.start();
  pulse.start();
  ticker.start(10);
  form.ConvertButton->click();
  const qint64 convertReturned = clock.elapsed();
  while (!RowStarted(form) && form.Converting()) RunEventsFor(10);
  const qint64 firstProgress = clock.elapsed();
  // Let the preparation go on a while, then stop as a user would.
  const qint64 until = clock.elapsed() + 2000;
  while (clock.elapsed() < until) RunEventsFor(10);
  ticker.stop();
  QElapsedTimer stopClock;
  stopClock.start();
  form.StopButton->click();
  std::printf("window: %d files in the list\n", longList);
  std::printf("  Convert returned after %lld ms; first progress after %lld ms\n",
              static_cast<long long>(convertReturned), static_cast<long long>(firstProgress));
  std::printf("  longest event-loop pause while converting and preparing: %lld ms\n",
              static_cast<long long>(longestPause));
  std::printf("  Stop took %lld ms  (%s)\n", static_cast<long long>(stopClock.elapsed()),
              qPrintable(form.BTips->text().trimmed()));
  return 0;
}
