#include "app/RowOrder.h"

#include <QCollator>

namespace {

const QCollator& Collator() {
  // One per thread: a collator is not safe to share, and building one for
  // each comparison would make sorting 50,000 rows slow.
  thread_local const QCollator collator = [] {
    QCollator made;
    made.setCaseSensitivity(Qt::CaseInsensitive);
    return made;
  }();
  return collator;
}

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// The run of digits or of other characters that starts at `from`.
QStringView Run(const QString& text, qsizetype from) {
  qsizetype end = from;
  const bool digits = IsDigit(text[from]);
  while (end < text.size() && IsDigit(text[end]) == digits) ++end;
  return QStringView(text).mid(from, end - from);
}

// Two runs of digits by their value, however long ("007" = "7").
int CompareNumbers(QStringView a, QStringView b) {
  while (a.size() > 1 && a.front() == u'0') a = a.mid(1);
  while (b.size() > 1 && b.front() == u'0') b = b.mid(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b);
}

}  // namespace

// Numbers are compared here rather than by QCollator's numeric mode, which
// needs Qt's ICU back end and is ignored without it.
int NaturalCompare(const QString& a, const QString& b) {
  qsizetype i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const QStringView left = Run(a, i);
    const QStringView right = Run(b, j);
    const bool numbers = IsDigit(left.front()) && IsDigit(right.front());
    const int order = numbers ? CompareNumbers(left, right) : Collator().compare(left, right);
    if (order != 0) return order;
    i += left.size();
    j += right.size();
  }
  if (i < a.size() || j < b.size()) return i < a.size() ? 1 : -1;
  // Texts the collator calls equal ("Abc", "abc") still differ: two
  // different texts always get one order.
  return a.compare(b);
}

bool RowLess(const QTreeWidgetItem& a, const QTreeWidgetItem& b, int column) {
  const QVariant left = a.data(column, SortKeyRole);
  const QVariant right = b.data(column, SortKeyRole);
  if (left.isValid() || right.isValid())
    // A row without a number (not yet known) comes first.
    return (left.isValid() ? left.toLongLong() : -1) < (right.isValid() ? right.toLongLong() : -1);
  return NaturalCompare(a.text(column), b.text(column)) < 0;
}
