#pragma once
// Stands in for the real dialogs in tests: answers from queues given by the
// test and records everything that was shown.

#include "ui/DialogService.h"

#include <QList>
#include <QStringList>
#include <functional>

class FakeDialogService : public DialogService {
public:
  struct Shown {
    QString text;
    QString caption;
    Buttons buttons;
    Icon icon;
  };

  FakeDialogService() { SetDialogs(this); }
  ~FakeDialogService() override { SetDialogs(nullptr); }

  // Answers, taken front first; when a queue is empty: OK for message boxes,
  // cancel for file and print dialogs.
  QList<Answer> messageAnswers;
  QStringList openAnswers;
  QStringList saveAnswers;
  QList<bool> printAnswers;
  // Called while a message box "is shown", for tests that act at that moment.
  std::function<void(const Shown&)> onMessage;
  // Called while a save dialog "is shown".
  std::function<void()> onSave;

  QList<Shown> messages;
  QStringList saveProposals; // the name each save dialog proposed
  QStringList openFilters;
  int printDialogs = 0;
  int printSetupDialogs = 0;

  Answer MessageBox(QWidget*, const QString& text, const QString& caption, Buttons buttons,
                    Icon icon) override;
  QString GetOpenFileName(QWidget*, const QString& filter) override;
  QString GetSaveFileName(QWidget*, const QString& proposed, const QString& filter,
                          const QString& defaultSuffix) override;
  bool ExecPrintDialog(QWidget*, QPrinter*) override;
  bool ExecPrintSetupDialog(QWidget*, QPrinter*) override;
};
