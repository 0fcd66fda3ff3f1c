// Everything the windows ask of the desktop: the shell's open action, the file
// and folder pickers, the user's folders and the error display. The windows
// reach the desktop only through this seam so that tests can record instead.
// All calls are made on the UI thread.
#pragma once

#include <QString>
#include <QStringList>

class QMessageBox;
class QWidget;

class TShell {
 public:
  virtual ~TShell() = default;

  // Opens a folder in the file browser or a document in its viewer. Empty
  // when it was handed over; else why not, in words for the user.
  virtual QString Open(const QString& path) = 0;
  // Multi-selection file-open dialog. filter uses the "Name|*.a;*.b|..." form;
  // the first entry is selected. Returns the chosen files in the dialog's
  // order, or nothing when cancelled.
  virtual QStringList PickFiles(QWidget* parent, const QString& initialFolder,
                                const QString& filter) = 0;
  // Folder picker without title or preselection; the chosen folder's path
  // without a trailing "/" (except for the root), or empty when cancelled.
  virtual QString PickFolder(QWidget* parent) = 0;
  // The user's configuration folder and documents folder.
  virtual QString ConfigFolder() = 0;
  virtual QString DocumentsFolder() = 0;
  // The application's error display.
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
  // A yes/no question; true for yes. The event loop runs while it is asked.
  virtual bool Confirm(QWidget* parent, const QString& text) = 0;
  // Takes back the question Confirm is asking, if any, which then returns
  // false: what it asked about has gone.
  virtual void WithdrawQuestion() = 0;
};

// The real desktop: QDesktopServices, QFileDialog, QStandardPaths, QMessageBox.
class TDesktopShell : public TShell {
 public:
  QString Open(const QString& path) override;
  QStringList PickFiles(QWidget* parent, const QString& initialFolder,
                        const QString& filter) override;
  QString PickFolder(QWidget* parent) override;
  QString ConfigFolder() override;
  QString DocumentsFolder() override;
  void ShowError(QWidget* parent, const QString& text) override;
  bool Confirm(QWidget* parent, const QString& text) override;
  void WithdrawQuestion() override;

 private:
  QMessageBox* Question = nullptr;  // the one Confirm shows, while it does
};

// "Audio Files|*.wav;*.mp3|All Files(*.*)|*.*" in the file dialog's own form:
// "Audio Files (*.wav *.mp3);;All Files (*)". A pattern list already in the
// name is dropped from it, and "*.*" matches every file as it does for users
// of the pipe form.
QString DialogFilter(const QString& pipeFilter);
