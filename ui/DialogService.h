#pragma once
// Every message box, file dialog and print dialog of the program goes through
// this one interface, so that tests can answer them and see what was shown.

#include <QString>

class QPrinter;
class QWidget;

class DialogService {
public:
  enum class Buttons { Ok, OkCancel };
  enum class Icon { None, Critical };
  enum class Answer { Ok, Cancel };

  virtual ~DialogService() = default;

  virtual Answer MessageBox(QWidget* parent, const QString& text, const QString& caption,
                            Buttons buttons, Icon icon) = 0;
  // Returns the chosen path, or an empty string when the user cancels.
  virtual QString GetOpenFileName(QWidget* parent, const QString& filter) = 0;
  // Proposes `proposed`; appends "." + defaultSuffix to a typed name without
  // one; never asks before overwriting. Empty when the user cancels.
  virtual QString GetSaveFileName(QWidget* parent, const QString& proposed, const QString& filter,
                                  const QString& defaultSuffix) = 0;
  // Both return false when the user cancels; the printer keeps the choices.
  virtual bool ExecPrintDialog(QWidget* parent, QPrinter* printer) = 0;
  virtual bool ExecPrintSetupDialog(QWidget* parent, QPrinter* printer) = 0;
};

// The service in use: the real dialogs unless a test installed another.
DialogService& Dialogs();
// Installs `service` (not owned); nullptr restores the real dialogs.
void SetDialogs(DialogService* service);
// The real dialogs, built by their realisation (QtDialogService.cpp), so
// that this interface does not depend on it.
DialogService& DefaultDialogs();

// The standard error box: the message with "." appended when its last
// character sorts after ".", captioned "Sift Well", error icon, one OK button.
QString ErrorBoxText(const QString& message);
void ShowErrorBox(const QString& message);

// A name typed without extension gets "." and the suffix.
QString WithDefaultSuffix(const QString& path, const QString& suffix);
