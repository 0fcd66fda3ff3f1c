// The desktop seam for window tests: records what the windows ask of the
// desktop and answers from queues the test fills.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "app/Shell.h"

class TRecordingShell : public TShell {
 public:
  QString Config;     // the user's configuration folder
  QString Documents;  // the user's documents folder

  QStringList Opened;              // every path handed to the open action
  QStringList OpenAnswers;         // next answers of the open action ("" = opened)
  QList<QStringList> FileAnswers;  // next answers of the file dialog (empty = cancel)
  QStringList FileDialogFolders;   // initial folder of each file dialog
  QStringList FileDialogFilters;   // filter of each file dialog
  QStringList FolderAnswers;       // next answers of the folder picker ("" = cancel)
  QStringList Errors;              // texts shown by the error display
  QStringList Questions;           // texts of the yes/no questions asked
  QList<bool> Answers;             // next answers to them (none left = no)
  // Runs while a question is asked, as the event loop would run under it.
  std::function<void()> WhileAsking;
  int Withdrawn = 0;  // questions taken back while they were asked
  bool Asking = false;

  QString Open(const QString& path) override {
    Opened.append(path);
    return OpenAnswers.isEmpty() ? QString() : OpenAnswers.takeFirst();
  }
  QStringList PickFiles(QWidget*, const QString& initialFolder, const QString& filter) override {
    FileDialogFolders.append(initialFolder);
    FileDialogFilters.append(filter);
    return FileAnswers.isEmpty() ? QStringList() : FileAnswers.takeFirst();
  }
  QString PickFolder(QWidget*) override {
    return FolderAnswers.isEmpty() ? QString() : FolderAnswers.takeFirst();
  }
  QString ConfigFolder() override { return Config; }
  QString DocumentsFolder() override { return Documents; }
  void ShowError(QWidget*, const QString& text) override { Errors.append(text); }
  bool Confirm(QWidget*, const QString& text) override {
    Questions.append(text);
    const int withdrawnBefore = Withdrawn;
    Asking = true;
    if (WhileAsking) WhileAsking();
    Asking = false;
    const bool answer = !Answers.isEmpty() && Answers.takeFirst();
    return Withdrawn == withdrawnBefore && answer;
  }
  void WithdrawQuestion() override {
    if (Asking) ++Withdrawn;
  }
};
