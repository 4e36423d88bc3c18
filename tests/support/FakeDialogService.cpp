#include "support/FakeDialogService.h"

DialogService::Answer FakeDialogService::MessageBox(QWidget*, const QString& text,
                                                    const QString& caption, Buttons buttons,
                                                    Icon icon) {
  Shown shown{text, caption, buttons, icon};
  messages.append(shown);
  if (onMessage)
    onMessage(shown);
  return messageAnswers.isEmpty() ? Answer::Ok : messageAnswers.takeFirst();
}

QString FakeDialogService::GetOpenFileName(QWidget*, const QString& filter) {
  openFilters.append(filter);
  return openAnswers.isEmpty() ? QString() : openAnswers.takeFirst();
}

QString FakeDialogService::GetSaveFileName(QWidget*, const QString& proposed, const QString&,
                                           const QString& defaultSuffix) {
  saveProposals.append(proposed);
  if (onSave)
    onSave();
  if (saveAnswers.isEmpty())
    return QString();
  return WithDefaultSuffix(saveAnswers.takeFirst(), defaultSuffix);
}

bool FakeDialogService::ExecPrintDialog(QWidget*, QPrinter*) {
  ++printDialogs;
  return printAnswers.isEmpty() ? false : printAnswers.takeFirst();
}

bool FakeDialogService::ExecPrintSetupDialog(QWidget*, QPrinter*) {
  ++printSetupDialogs;
  return printAnswers.isEmpty() ? false : printAnswers.takeFirst();
}
