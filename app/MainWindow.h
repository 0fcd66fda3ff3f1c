// The main window: the list of files to convert, the output folder and the
// converter component that turns every row into one MP3.
//
// Threads: everything here runs on the UI thread. The component raises its
// progress and terminate events on the task's worker thread; the handlers
// installed in the constructor only post queued calls to this window, so a
// worker never waits for the UI and the window never waits for a worker
// except in Stop, Convert and destruction, where ClearTasks waits for runs
// that have been asked to stop.
#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <vector>

#include "app/FormatSettings.h"
#include "app/OutputNames.h"

class QComboBox;
class QFrame;
class QLabel;
class QProgressBar;
class QPushButton;
class QTreeWidgetItem;
class TFileListView;
class TFset;
class TShell;
class TVeltoConverter;

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  // Runs the start-up steps (folders, settings file) and creates the
  // settings dialog. The shell must outlive the window.
  explicit TForm1(TShell& shell);
  ~TForm1() override;

  // ---- Window state --------------------------------------------------------
  QString OutputFolder;    // receives the converted files; "/"-terminated after start-up
  QString SettingsFolder;  // holds Path.INI
  QString LastAddFolder;   // initial folder of the next Add dialog
  QString OpenDialogFilter;
  // The format box's format and each format's quality, from the settings file.
  TFormatSettings FormatSettings;

  // ---- Controls ------------------------------------------------------------
  QPushButton* AddButton = nullptr;
  QPushButton* RemoveButton = nullptr;
  QPushButton* ClearButton = nullptr;
  QPushButton* SettingsButton = nullptr;
  QPushButton* HelpButton = nullptr;
  QFrame* ListPanel = nullptr;
  TFileListView* lvFiles = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QComboBox* FormatBox = nullptr;
  QPushButton* StopButton = nullptr;
  QPushButton* ConvertButton = nullptr;
  QLabel* BTips = nullptr;
  TFset* Fset = nullptr;

  TVeltoConverter& Converter() { return *FConverter; }
  bool Converting() const;

  // ---- Operations (bound to the buttons) -----------------------------------
  void Add();
  // Appends one row per file, as Add does for the files chosen.
  void AddFiles(const QStringList& files);
  void Remove();
  void Clear();
  void Settings();
  void Help();
  void Convert();
  void Stop();
  // Creates the task for one row's input and its output in the chosen format.
  void AddFileTask(const QString& path);
  // The file each task writes, by task index (empty when the task has no output).
  const std::vector<QString>& TaskOutputs() const { return FTaskOutputs; }

  // ---- Event handlers, on the UI thread ------------------------------------
  void Progress(int index, int durationTime, int totalDuration);
  void Terminate(int index, bool finished);

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void FormCreate();
  void CreateControls();
  void SetConverting(bool converting);
  void AddDropped(const QStringList& paths);
  void RebuildFromTasks();
  void ShowOutputName(QTreeWidgetItem* row, const QString& outputName);
  QString LibraryFolder() const;

  TShell& Shell;
  std::unique_ptr<TVeltoConverter> FConverter;
  TOutputNames OutputNames;
  std::vector<QString> FTaskOutputs;
  // Events of a batch that Convert or closing has left behind are dropped;
  // read on worker threads when an event is posted.
  std::atomic<unsigned> Batch{0};
};
