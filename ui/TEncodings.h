#pragma once
// The encodings and offsets dialog: which encodings the window's passes
// search and which offset they write before each run.

#include "extract/ExtractionChoice.h"

#include <QDialog>

class QCheckBox;
class QGroupBox;
class QPushButton;
class QRadioButton;

class TEncodings : public QDialog {
  Q_OBJECT
public:
  explicit TEncodings(QWidget* parent = nullptr);

  void FillFrom(const ExtractionChoice& choice);
  // The choice the controls show; its encodings may be empty.
  ExtractionChoice Chosen() const;

  // In the order of AllEncodings().
  QCheckBox* Encodings[6] = {};
  QGroupBox* Offsets = nullptr;
  QRadioButton* None = nullptr;
  QRadioButton* Decimal = nullptr;
  QRadioButton* Octal = nullptr;
  QRadioButton* Hexadecimal = nullptr;
  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QPushButton* ButtonHelp = nullptr;

public slots:
  // Accepts the choice, unless no encoding is checked: a pass would then
  // look for nothing.
  void ButtonOKClick();
  void ButtonHelpClick();

private:
  void createControls();
  void fitFont();
};

// Shows the dialog modally over `parent`, filled from
// GlobalExtractionChoice(); OK makes the choice the one of the next passes
// and writes it to its file (a failed write is reported; the choice holds
// for this run all the same).
void RunEncodingsDialog(QWidget* parent);
