// The file list: a read-only report view with whole-row multiple selection
// that also takes files and folders dropped from the file browser.
#pragma once

#include <QStringList>
#include <QTreeWidget>

class TFileListView : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column { ColName = 0, ColSize = 1, ColStatus = 2, ColPath = 3 };

  explicit TFileListView(QWidget* parent);

  // Appends a row; the caller brackets a series with setUpdatesEnabled.
  QTreeWidgetItem* AppendRow(const QString& caption, const QString& size, const QString& status,
                             const QString& path);
  QTreeWidgetItem* Row(int index) const;
  int RowCount() const;
  // Drops land on the viewport; both must take them.
  void SetTakesDrops(bool takes);

 signals:
  // Local paths of the files and folders dropped, in the drop's order.
  void PathsDropped(const QStringList& paths);

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};
