#include "app/FileListView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QUrl>

namespace {

QStringList LocalPaths(const QMimeData* mime) {
  QStringList paths;
  if (!mime || !mime->hasUrls()) return paths;
  for (const QUrl& url : mime->urls())
    if (url.isLocalFile()) paths.append(url.toLocalFile());
  return paths;
}

}  // namespace

TFileListView::TFileListView(QWidget* parent) : QTreeWidget(parent) {
  setColumnCount(4);
  setHeaderLabels({tr("Name"), tr("Size"), tr("Status"), tr("Path")});
  const int widths[] = {200, 90, 80, 190};
  for (int column = 0; column < 4; ++column) setColumnWidth(column, widths[column]);
  headerItem()->setTextAlignment(ColSize, Qt::AlignRight | Qt::AlignVCenter);
  headerItem()->setTextAlignment(ColStatus, Qt::AlignHCenter | Qt::AlignVCenter);
  header()->setStretchLastSection(false);
  header()->setSectionsMovable(false);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  setUniformRowHeights(true);
  setSortingEnabled(false);
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

QTreeWidgetItem* TFileListView::AppendRow(const QString& caption, const QString& size,
                                          const QString& status, const QString& path) {
  auto* item = new QTreeWidgetItem({caption, size, status, path});
  item->setTextAlignment(ColSize, Qt::AlignRight | Qt::AlignVCenter);
  item->setTextAlignment(ColStatus, Qt::AlignHCenter | Qt::AlignVCenter);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemNeverHasChildren);
  addTopLevelItem(item);
  return item;
}

QTreeWidgetItem* TFileListView::Row(int index) const { return topLevelItem(index); }

int TFileListView::RowCount() const { return topLevelItemCount(); }

void TFileListView::dragEnterEvent(QDragEnterEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TFileListView::dragMoveEvent(QDragMoveEvent* event) {
  if (LocalPaths(event->mimeData()).isEmpty()) return event->ignore();
  event->acceptProposedAction();
}

void TFileListView::dropEvent(QDropEvent* event) {
  const QStringList paths = LocalPaths(event->mimeData());
  if (paths.isEmpty()) return event->ignore();
  event->acceptProposedAction();
  emit PathsDropped(paths);
}
