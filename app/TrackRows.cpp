#include "app/TrackRows.h"

#include <QTreeWidget>
#include <algorithm>

#include "app/FileListView.h"
#include "app/StatusTexts.h"

namespace {

constexpr int StartRole = Qt::UserRole + 10;
constexpr int EndRole = Qt::UserRole + 11;

}  // namespace

namespace TrackRows {

void Show(QTreeWidgetItem* row, const std::vector<TTrackRow>& tracks) {
  Clear(row);
  for (const TTrackRow& track : tracks) {
    auto* child = new QTreeWidgetItem(row);
    child->setText(TFileListView::ColName, track.Caption);
    child->setText(TFileListView::ColStatus, QStringLiteral("-"));
    child->setText(TFileListView::ColPath, track.Output);
    child->setTextAlignment(TFileListView::ColStatus, Qt::AlignHCenter | Qt::AlignVCenter);
    child->setData(TFileListView::ColName, StartRole, track.StartMs);
    child->setData(TFileListView::ColName, EndRole, track.EndMs);
    child->setToolTip(TFileListView::ColName, QObject::tr("Output: %1").arg(track.Output));
  }
  if (QTreeWidget* list = row->treeWidget()) {
    list->setRootIsDecorated(true);
    list->setItemsExpandable(true);
  }
  row->setExpanded(true);
}

void Clear(QTreeWidgetItem* row) { qDeleteAll(row->takeChildren()); }

void Progress(QTreeWidgetItem* row, int reachedMs, int totalMs) {
  for (int i = 0; i < row->childCount(); ++i) {
    QTreeWidgetItem* child = row->child(i);
    const int start = child->data(TFileListView::ColName, StartRole).toInt();
    int end = child->data(TFileListView::ColName, EndRole).toInt();
    if (end < 0) end = totalMs;
    if (reachedMs < start || end <= start) continue;
    child->setText(TFileListView::ColStatus,
                   ProgressStatus(std::min(reachedMs, end) - start, end - start));
  }
}

void End(QTreeWidgetItem* row, TTaskState state) {
  for (int i = 0; i < row->childCount(); ++i)
    row->child(i)->setText(TFileListView::ColStatus, EndMark(state));
}

}  // namespace TrackRows
