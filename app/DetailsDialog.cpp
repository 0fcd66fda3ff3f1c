#include "app/DetailsDialog.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TDetailsDialog::TDetailsDialog(QWidget* parent) : QDialog(parent, Qt::Window) {
  setWindowTitle(QStringLiteral(" ") + tr("Details"));
  resize(634, 300);
  auto* layout = new QVBoxLayout(this);
  RowLabel = new QLabel(this);
  RowLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Lines = new QPlainTextEdit(this);
  Lines->setReadOnly(true);
  Lines->setLineWrapMode(QPlainTextEdit::NoWrap);
  Lines->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  layout->addWidget(RowLabel);
  layout->addWidget(Lines);
}

void TDetailsDialog::ShowRow(const QString& caption, const QStringList& lines) {
  RowLabel->setText(caption.isEmpty() ? tr("No file selected") : caption);
  Lines->setPlainText(lines.join(u'\n'));
}

void TDetailsDialog::AppendLine(const QString& line) { Lines->appendPlainText(line); }
