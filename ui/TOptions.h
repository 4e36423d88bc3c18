#pragma once
// The text options dialog: edits the process-wide TextOptions.

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct TextOptions;

class TOptions : public QDialog {
  Q_OBJECT
public:
  explicit TOptions(QWidget* parent = nullptr);

  // Sets every control from `options`: limits as unsigned decimal.
  void FillFrom(const TextOptions& options);
  // Stores the controls into `options` in their order, each field right after
  // its own conversion; an edit that is not a valid integer throws
  // "'<text>' is not a valid integer value" with the fields before it stored.
  void StoreInto(TextOptions& options) const;

  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QPushButton* ButtonHelp = nullptr;
  QLabel* Label1 = nullptr;
  QLineEdit* MinChar = nullptr;
  QLabel* Label2 = nullptr;
  QLineEdit* MaxChar = nullptr;
  QLabel* Label3 = nullptr;
  QCheckBox* Lower = nullptr;
  QCheckBox* Upper = nullptr;
  QCheckBox* Number = nullptr;
  QCheckBox* Space = nullptr;
  QCheckBox* Punct = nullptr;
  QCheckBox* Symbol = nullptr;
  QCheckBox* Iso = nullptr;
  QLabel* Label4 = nullptr;
  QLineEdit* Other = nullptr;

public slots:
  void ButtonHelpClick();

protected:
  void showEvent(QShowEvent* event) override;

private:
  void createControls();
  void fitFont();
};

// The single instance, created by main().
extern TOptions* Options;

// Shows Options modally, filled from GlobalTextOptions(); OK stores the
// controls back. A refused number is thrown once the dialog has closed.
void RunOptionsDialog();
