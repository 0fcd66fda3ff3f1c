// The file list: a read-only report view with whole-row multiple selection
// that also takes files and folders dropped from the file browser. A click on
// a header sorts the rows by that column (see RowOrder.h), once: rows added
// or changed later stay where they are, so a running batch does not shuffle
// the list under the user.
#pragma once

#include <QStringList>
#include <QTreeWidget>
#include <string>
#include <vector>

// A file's row: the file and the folder it was found under as the system
// names them (bytes that need not be UTF-8; the texts shown are for reading
// only), and the order of a header click (RowOrder.h).
class TFileRow : public QTreeWidgetItem {
 public:
  std::string NativePath;
  std::string NativeRoot;
  bool Described = false;  // its Duration, Title and Artist are shown

  bool operator<(const QTreeWidgetItem& other) const override;
  // One tip for the whole row, kept once.
  QVariant data(int column, int role) const override;
};

class TFileListView : public QTreeWidget {
  Q_OBJECT

 public:
  enum Column {
    ColName = 0,
    ColSize,
    ColDuration,
    ColTitle,
    ColArtist,
    ColStatus,
    ColPath,
    ColumnCount
  };

  explicit TFileListView(QWidget* parent);

  // A new row, not yet in the list (AppendRows places a series at once).
  static TFileRow* MakeRow(const QString& caption, const QString& size, const QString& status,
                           const QString& path);
  QTreeWidgetItem* AppendRow(const QString& caption, const QString& size, const QString& status,
                             const QString& path);
  void AppendRows(const QList<QTreeWidgetItem*>& rows);
  QTreeWidgetItem* Row(int index) const;
  int RowCount() const;
  // Drops land on the viewport; both must take them.
  void SetTakesDrops(bool takes);
  // Sorts the rows by `column` (what a header click does).
  void SortBy(int column, Qt::SortOrder order);

 signals:
  // The files and folders dropped, in the drop's order, as the system names
  // them (bytes that need not be UTF-8).
  void PathsDropped(const std::vector<std::string>& paths);

 protected:
  int SortedColumn = -1;  // the last sort, for the next click's direction
  Qt::SortOrder SortedOrder = Qt::AscendingOrder;

  void dragEnterEvent(QDragEnterEvent* event) override;
  void dragMoveEvent(QDragMoveEvent* event) override;
  void dropEvent(QDropEvent* event) override;
};
