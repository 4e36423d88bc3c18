#include "ui/QtDialogService.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>

DialogService& DefaultDialogs() {
  static QtDialogService real;
  return real;
}

DialogService::Answer QtDialogService::MessageBox(QWidget* parent, const QString& text,
                                                  const QString& caption, Buttons buttons,
                                                  Icon icon) {
  QMessageBox box(
      icon == Icon::Critical ? QMessageBox::Critical : QMessageBox::NoIcon, caption, text,
      buttons == Buttons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
      parent);
  box.setDefaultButton(QMessageBox::Ok);
  return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

QString QtDialogService::GetOpenFileName(QWidget* parent, const QString& filter) {
  QFileDialog dialog(parent, QString(), openFolder_, filter);
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return QString();
  const QString chosen = dialog.selectedFiles().constFirst();
  openFolder_ = QFileInfo(chosen).absolutePath();
  return chosen;
}

QString QtDialogService::GetSaveFileName(QWidget* parent, const QString& proposed,
                                         const QString& filter, const QString& defaultSuffix) {
  QFileDialog dialog(parent, QString(), QString(), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setDefaultSuffix(defaultSuffix);
  if (!proposed.isEmpty()) {
    QFileInfo info(proposed);
    if (!info.path().isEmpty() && info.path() != QLatin1String("."))
      dialog.setDirectory(info.absolutePath());
    dialog.selectFile(info.fileName());
  }
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return QString();
  return WithDefaultSuffix(dialog.selectedFiles().constFirst(), defaultSuffix);
}

bool QtDialogService::ExecPrintDialog(QWidget* parent, QPrinter* printer) {
  QPrintDialog dialog(printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

bool QtDialogService::ExecPrintSetupDialog(QWidget* parent, QPrinter* printer) {
  // The print dialog is the one in which the printer itself is chosen (the
  // page setup dialog offers page settings only). Its accept button stores
  // the choice in the printer and prints nothing, so it reads "OK".
  QPrintDialog dialog(printer, parent);
  dialog.setWindowTitle(QStringLiteral("Print Setup"));
  if (auto* buttons = dialog.findChild<QDialogButtonBox*>()) {
    if (QPushButton* ok = buttons->button(QDialogButtonBox::Ok))
      ok->setText(QStringLiteral("OK"));
  }
  return dialog.exec() == QDialog::Accepted;
}
