#include "app/FileListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

#include "app/RowOrder.h"

namespace {

// The URL's path as bytes: toLocalFile() would turn a name that is not UTF-8
// into replacement characters, and that name names no file.
std::vector<std::string> LocalPaths(const QMimeData* mime) {
  std::vector<std::string> paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile())
      paths.push_back(
          QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString());
  return paths;
}

}  // namespace

bool TFileRow::operator<(const QTreeWidgetItem& other) const {
  const int column = treeWidget() ? treeWidget()->sortColumn() : 0;
  return RowLess(*this, other, column);
}

QVariant TFileRow::data(int column, int role) const {
  return QTreeWidgetItem::data(role == Qt::ToolTipRole ? 0 : column, role);
}

TFileListView::TFileListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(ColumnCount);
  setHeaderLabels({tr("Name"), tr("Size"), tr("Duration"), tr("Title"), tr("Artist"), tr("Status"),
                   tr("Path")});
  // At the first size everything but the path fits; the path gets the rest.
  const int widths[] = {130, 60, 55, 90, 80, 50, 90};
  for (int column = 0; column < ColumnCount; ++column) setColumnWidth(column, widths[column]);
  headerItem()->setTextAlignment(ColSize, Qt::AlignRight | Qt::AlignVCenter);
  headerItem()->setTextAlignment(ColDuration, Qt::AlignRight | Qt::AlignVCenter);
  headerItem()->setTextAlignment(ColStatus, Qt::AlignHCenter | Qt::AlignVCenter);
  // The path takes what the window has to spare; every column can be resized.
  header()->setStretchLastSection(true);
  header()->setSectionResizeMode(QHeaderView::Interactive);
  header()->setSectionsMovable(false);
  // A first click sorts ascending, a second on the same column descending.
  connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
    SortBy(column, column == SortedColumn && SortedOrder == Qt::AscendingOrder
                       ? Qt::DescendingOrder
                       : Qt::AscendingOrder);
  });
  setTextElideMode(Qt::ElideMiddle);  // a path's file name and its start both matter
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  // Sorting on request only; setSortingEnabled would sort again after every
  // change. (It also sets the header's clickability: it comes first.)
  setSortingEnabled(false);
  header()->setSectionsClickable(true);
  header()->setSortIndicatorShown(false);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setDropIndicatorShown(false);
  setDragDropMode(QAbstractItemView::DropOnly);
  SetTakesDrops(true);
}

void TFileListView::SetTakesDrops(bool takes) {
  setAcceptDrops(takes);
  viewport()->setAcceptDrops(takes);
}

void TFileListView::SortBy(int column, Qt::SortOrder order) {
  SortedColumn = column;
  SortedOrder = order;
  header()->setSortIndicatorShown(true);
  header()->setSortIndicator(column, order);
  // QTreeWidget sorts stably: rows with equal keys keep their order.
  sortItems(column, order);
}

TFileRow* TFileListView::MakeRow(const QString& caption, const QString& size, const QString& status,
                                 const QString& path) {
  auto* item = new TFileRow();
  item->setText(ColName, caption);
  item->setText(ColSize, size);
  item->setText(ColStatus, status);
  item->setText(ColPath, path);
  item->setTextAlignment(ColSize, Qt::AlignRight | Qt::AlignVCenter);
  item->setTextAlignment(ColDuration, Qt::AlignRight | Qt::AlignVCenter);
  item->setTextAlignment(ColStatus, Qt::AlignHCenter | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  return item;
}

QTreeWidgetItem* TFileListView::AppendRow(const QString& caption, const QString& size,
                                          const QString& status, const QString& path) {
  QTreeWidgetItem* item = MakeRow(caption, size, status, path);
  addTopLevelItem(item);
  return item;
}

void TFileListView::AppendRows(const QList<QTreeWidgetItem*>& rows) { addTopLevelItems(rows); }

QTreeWidgetItem* TFileListView::Row(int index) const { return topLevelItem(index); }

int TFileListView::RowCount() const { return topLevelItemCount(); }

void TFileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).empty()) return event->ignore();
  event->acceptProposedAction();
}

void TFileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).empty()) return event->ignore();
  event->acceptProposedAction();
}

void TFileListView::dropEvent(QDropEvent* event) {
  const std::vector<std::string> paths = LocalPaths(event->mimeData());
  if (paths.empty()) return event->ignore();
  event->acceptProposedAction();
  emit PathsDropped(paths);
}
