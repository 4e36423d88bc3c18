#pragma once
// The real dialogs of the desktop.

#include "ui/DialogService.h"

class QtDialogService : public DialogService {
public:
  Answer MessageBox(QWidget* parent, const QString& text, const QString& caption, Buttons buttons,
                    Icon icon) override;
  QString GetOpenFileName(QWidget* parent, const QString& filter) override;
  QString GetSaveFileName(QWidget* parent, const QString& proposed, const QString& filter,
                          const QString& defaultSuffix) override;
  bool ExecPrintDialog(QWidget* parent, QPrinter* printer) override;
  bool ExecPrintSetupDialog(QWidget* parent, QPrinter* printer) override;

private:
  // The open dialog is one dialog for the whole run: each use starts in the
  // folder of the file chosen the time before.
  QString openFolder_;
};
