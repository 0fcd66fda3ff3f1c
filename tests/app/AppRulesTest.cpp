// The main window's text rules and its settings file, without any window.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include "app/AudioFiles.h"
#include "app/BatchProgress.h"
#include "app/FormatSettings.h"
#include "app/IniFile.h"
#include "app/PathRules.h"
#include "app/Shell.h"
#include "app/StartupFolders.h"
#include "app/StatusTexts.h"
#include "tests/support/TempFolder.h"

namespace {

QString Q(const std::string& text) { return QString::fromStdString(text); }

void WriteFile(const QString& path, const QByteArray& data) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(data);
}

QByteArray ReadFile(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(SizeText, OneDecimalInTheRightUnit) {
  const struct {
    qint64 bytes;
    const char* text;
  } cases[] = {
      {0, "0KB"},
      {1, "0.1KB"},  // a few bytes are not nothing
      {1023, "1.0KB"},
      {-1, ""},  // unknown
      {INT64_MIN, ""},
      {1024, "1.0KB"},
      {2047, "2.0KB"},
      {348160, "340.0KB"},
      {1048524, "1023.9KB"},
      {1048525, "1.0MB"},  // 1023.95KB would show as 1024.0KB
      {1300000, "1.2MB"},
      {1048576, "1.0MB"},
      {2097151, "2.0MB"},
      {5368709120LL, "5.0GB"},
      {INT64_MAX, "8388608.0TB"},
  };
  for (const auto& c : cases) EXPECT_EQ(SizeText(c.bytes), QString(c.text)) << c.bytes;
}

TEST(PathRules, SeparatorRuleLeavesShortTextsAlone) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"/home/u/Music", "/home/u/Music/"},
      {"/home/u/Music/", "/home/u/Music/"},
      {"/mnt", "/mnt/"},
      {"/", "/"},
      {"", ""},
      {"D:", "D:"},
      {"/ab", "/ab"},
      {"abcd", "abcd/"},
  };
  for (const auto& c : cases) EXPECT_EQ(WithSeparator(c.in), QString(c.out)) << c.in;
}

TEST(PathRules, NameAndFolderOfAPath) {
  EXPECT_EQ(FileNamePart("/in/song.wav"), "song.wav");
  EXPECT_EQ(FolderPart("/in/song.wav"), "/in/");
}

TEST(StatusTexts, PercentagesOfARow) {
  EXPECT_EQ(ProgressStatus(5000, 10000), "50%");
  EXPECT_EQ(ProgressStatus(999, 1000), "99%");
  EXPECT_EQ(ProgressStatus(1000, 1000), "100%");
  // Ten hours: the product would not fit in 32 bits.
  EXPECT_EQ(ProgressStatus(36000000, 36000000), "100%");
  EXPECT_EQ(ProgressStatus(18000000, 36000000), "50%");
}

TEST(StatusTexts, UnknownLengthShowsTheTimeReached) {
  EXPECT_EQ(ProgressStatus(187000, -1), "3:07");
  EXPECT_EQ(ProgressStatus(187999, 0), "3:07");
  EXPECT_EQ(ProgressStatus(0, -1), "0:00");
  EXPECT_EQ(ProgressStatus(-40, -1), "0:00");
  EXPECT_EQ(ProgressStatus(3600000 * 2 + 61000, -1), "2:01:01");
}

TEST(StatusTexts, BatchLineSummaryAndMarks) {
  EXPECT_EQ(BatchLine(3, 8, 65), "    3 of 8 done        Time left: 1:05");
  EXPECT_EQ(BatchLine(0, 1000, -1), "    0 of 1000 done");
  EXPECT_EQ(BatchLine(7, 8, 0), "    7 of 8 done        Time left: 0:00");

  const struct {
    TBatchCounts counts;
    const char* line;
  } summaries[] = {
      {{5, 0, 1, 0}, "    Done: 5 converted, 1 failed"},
      {{0, 0, 0, 0}, "    Done: 0 converted, 0 failed"},
      {{4, 2, 0, 0}, "    Done: 4 converted, 0 failed, 2 with problems"},
      {{1, 0, 2, 3}, "    Done: 1 converted, 2 failed, 3 stopped"},
  };
  for (const auto& s : summaries) EXPECT_EQ(SummaryLine(s.counts), QString(s.line)) << s.line;
  EXPECT_EQ(SummaryLine({1, 0, 0, 1, 4}, true),
            "    Stopped: 1 converted, 0 failed, 1 stopped, 4 not started");

  const struct {
    TTaskState state;
    const char* mark;
  } marks[] = {
      {TTaskState::tsConverted, "100%"}, {TTaskState::tsConvertedWithProblems, "100% !"},
      {TTaskState::tsFailed, "X"},       {TTaskState::tsStopped, "Stopped"},
      {TTaskState::tsWaiting, ""},       {TTaskState::tsRunning, ""},
  };
  for (const auto& m : marks) EXPECT_EQ(EndMark(m.state), QString(m.mark)) << m.mark;
}

// The gauge weighs files by their length when every length is known, and
// every file alike otherwise.
TEST(BatchProgress, FractionAndTimeLeft) {
  TBatchProgress batch;
  batch.Begin(3);
  EXPECT_EQ(batch.Fraction(), 0.0);
  EXPECT_EQ(batch.SecondsLeft(10), -1);  // nothing done: no estimate
  batch.SetDuration(0, 60000);
  batch.SetDuration(1, 20000);
  batch.Report(0, 30000, 60000);
  // The third length is unknown: by files, the first counts half.
  EXPECT_DOUBLE_EQ(batch.Fraction(), 0.5 / 3);
  batch.Report(2, 0, 20000);  // its report brings the length
  EXPECT_DOUBLE_EQ(batch.Fraction(), 30000.0 / 100000);
  EXPECT_EQ(batch.SecondsLeft(3), 7);  // 30 % in 3 s: 7 s for the remaining 70 %
  batch.End(1);                        // an end counts whole, whatever the outcome
  batch.End(1);                        // and only once
  EXPECT_EQ(batch.Ended(), 1);
  EXPECT_DOUBLE_EQ(batch.Fraction(), 50000.0 / 100000);
  batch.Report(0, 90000, 60000);  // past its stated length: no more than whole
  batch.End(2);
  batch.Report(2, 1, 20000);  // a report after the end changes nothing
  EXPECT_DOUBLE_EQ(batch.Fraction(), 1.0);
  EXPECT_EQ(batch.SecondsLeft(10), 0);
  batch.Report(7, 1, 1);  // outside the batch: ignored
  batch.End(-1);
  EXPECT_EQ(batch.Ended(), 2);

  // A file that ended unread, without a length, does not hold the others
  // to counting files.
  batch.Begin(3);
  batch.End(0);
  batch.SetDuration(1, 10000);
  batch.SetDuration(2, 30000);
  batch.Report(1, 10000, 10000);
  EXPECT_DOUBLE_EQ(batch.Fraction(), 10000.0 / 40000);
  batch.Begin(1);
  batch.End(0);
  EXPECT_DOUBLE_EQ(batch.Fraction(), 1.0);
}

// The rates the settings offer are those the format can encode: Opus is
// always 48000 Hz and cannot keep the source's.
TEST(FormatSettings, RatesTheFormatCanEncode) {
  const auto texts = [](OutputFormat format) {
    std::vector<std::string> list;
    for (const FormatEntry& entry : RateEntries(DefaultChoice(format)))
      list.push_back(entry.Text.toStdString());
    return list;
  };
  EXPECT_EQ(texts(OutputFormat::Opus), std::vector<std::string>{"48000 Hz"});
  const auto ogg = texts(OutputFormat::Ogg);
  ASSERT_FALSE(ogg.empty());
  EXPECT_EQ(ogg.front(), "Keep the source's");
  EXPECT_EQ(ogg.size(), 10u);
}

// What a stopped batch achieved: only the converted files count, weighed as
// the gauge weighs them.
TEST(BatchProgress, ConvertedFraction) {
  TBatchProgress batch;
  EXPECT_EQ(batch.ConvertedFraction(), 0.0);  // nothing in the batch
  batch.Begin(3);
  batch.SetDuration(0, 10000);
  batch.SetDuration(1, 30000);
  batch.Report(1, 15000, 30000);
  EXPECT_EQ(batch.ConvertedFraction(), 0.0);  // half of one file is nothing converted
  batch.End(0, true);
  batch.End(1, false);  // stopped
  EXPECT_FALSE(batch.HasEnded(2));
  EXPECT_DOUBLE_EQ(batch.ConvertedFraction(), 1.0 / 3);  // the third's length is unknown
  batch.SetDuration(2, 10000);
  EXPECT_DOUBLE_EQ(batch.ConvertedFraction(), 10000.0 / 50000);
  batch.End(2, false);
  EXPECT_TRUE(batch.HasEnded(2));
  EXPECT_DOUBLE_EQ(batch.Fraction(), 1.0);
  EXPECT_DOUBLE_EQ(batch.ConvertedFraction(), 10000.0 / 50000);
  // Converted files of no known length still count.
  batch.Begin(2);
  batch.End(0, true);
  batch.End(1, true);
  EXPECT_DOUBLE_EQ(batch.ConvertedFraction(), 1.0);
}

TEST(IniFile, FilesAtOnceFromTheSettingsFileOrTheProcessorCount) {
  TempFolder temp;
  const QString folder = Q(temp.path().string()) + "/";
  const int processors = DefaultFilesAtOnce();
  EXPECT_GE(processors, 1);
  const struct {
    const char* file;  // nullptr: no settings file
    int expected;      // 0: the number of processors
  } cases[] = {
      {nullptr, 0},
      {"[Output]\nPath=/music\n", 0},  // a file from before the setting
      {"[Output]\nPath=/music\nFilesAtOnce=3\n", 3},
      {"[Output]\nFilesAtOnce=1\n", 1},
      {"[Output]\nFilesAtOnce=0\n", 0},
      {"[Output]\nFilesAtOnce=65\n", 0},
      {"[Output]\nFilesAtOnce=two\n", 0},
      {"[Other]\nFilesAtOnce=2\n", 0},
  };
  for (const auto& c : cases) {
    QFile::remove(folder + "Path.INI");
    if (c.file) WriteFile(folder + "Path.INI", c.file);
    EXPECT_EQ(ReadFilesAtOnce(folder), c.expected ? c.expected : processors)
        << (c.file ? c.file : "no file");
  }
}

TEST(IniFile, ReadsTheValueOrTheDefault) {
  TempFolder temp;
  const QString file = Q(temp / "Path.INI");
  EXPECT_EQ(ReadIniString(file, "Output", "Path", "NoCode"), "NoCode");  // no file

  WriteFile(
      file,
      "; comment\r\n[Other]\r\nPath=/wrong\r\n[ output ]\r\n  PATH = \"/home/u/My Music\" \r\n");
  EXPECT_EQ(ReadIniString(file, "Output", "Path", "NoCode"), "/home/u/My Music");
  EXPECT_EQ(ReadIniString(file, "Output", "Missing", "NoCode"), "NoCode");
  EXPECT_EQ(ReadIniString(file, "Missing", "Path", "NoCode"), "NoCode");
}

TEST(IniFile, WriteKeepsTheRestOfTheFile) {
  TempFolder temp;
  const QString file = Q(temp / "Path.INI");
  WriteIniString(file, "Output", "Path", "/music");  // creates the file
  EXPECT_EQ(ReadFile(file), "[Output]\nPath=/music\n");

  WriteFile(file, "[Other]\nKey=1\n\n[Output]\nName=x\n\n[Last]\nPath=keep\n");
  WriteIniString(file, "Output", "Path", "/a");
  EXPECT_EQ(ReadFile(file), "[Other]\nKey=1\n\n[Output]\nName=x\nPath=/a\n\n[Last]\nPath=keep\n");
  WriteIniString(file, "output", "PATH", "/b");
  EXPECT_EQ(ReadIniString(file, "Output", "Path", "NoCode"), "/b");
  EXPECT_EQ(ReadIniString(file, "Last", "Path", "NoCode"), "keep");
  EXPECT_EQ(ReadIniString(file, "Other", "Key", ""), "1");
}

TEST(IniFile, FailedWriteRaisesAndNamesTheFile) {
  TempFolder temp;
  const QString file = Q(temp / "Path.INI");
  QDir().mkpath(file);  // a folder where the file should be
  try {
    WriteIniString(file, "Output", "Path", "/a");
    FAIL() << "no error raised";
  } catch (const TIniFileError& error) {
    EXPECT_EQ(std::string(error.what()), "Unable to write to " + file.toStdString());
  }
  // A missing folder is made (the settings folder appears with the first
  // setting kept); one that cannot be made is an error.
  WriteIniString(Q(temp / "missing/Path.INI"), "Output", "Path", "/a");
  EXPECT_EQ(ReadIniString(Q(temp / "missing/Path.INI"), "Output", "Path", "?"), "/a");
  EXPECT_THROW(WriteIniString(Q(temp / "missing/Path.INI/x/Path.INI"), "Output", "Path", "/a"),
               TIniFileError);
}

TEST(AudioFiles, DialogFilter) {
  EXPECT_TRUE(OpenDialogFilterText.startsWith("Audio Files|*.wav;*.au;*.aiff;*.mp3;"));
  EXPECT_TRUE(OpenDialogFilterText.endsWith(";*.ac3;*.dts|All Files(*.*)|*.*"));
  EXPECT_EQ(DialogFilter("Audio Files|*.wav;*.mp3|All Files(*.*)|*.*"),
            "Audio Files (*.wav *.mp3);;All Files (*)");
}

TEST(DesktopShell, UserFoldersFollowTheXdgSettings) {
  TempFolder temp;
  const QString config = Q(temp / "config");
  QDir().mkpath(config);
  WriteFile(config + "/user-dirs.dirs",
            "XDG_DOCUMENTS_DIR=\"" + (Q(temp / "Papers")).toUtf8() + "\"\n");
  QDir().mkpath(Q(temp / "Papers"));
  qputenv("XDG_CONFIG_HOME", config.toUtf8());
  TDesktopShell shell;
  EXPECT_EQ(shell.ConfigFolder(), config);
  EXPECT_EQ(shell.DocumentsFolder(), Q(temp / "Papers"));
}
