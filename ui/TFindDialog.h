#pragma once
// A document window's modeless Find dialog: the search text, the match-case
// and whole-word boxes, and a direction box fixed downwards. The Replace
// dialog extends it.

#include <QDialog>

class QCheckBox;
class QGridLayout;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

class TFindDialog : public QDialog {
  Q_OBJECT
public:
  explicit TFindDialog(QWidget* parent = nullptr);

  // Search and replacement texts hold at most this many characters.
  static constexpr int MaxText = 255;

  QString FindText() const;
  void SetFindText(const QString& text);
  bool MatchCase() const;
  bool WholeWord() const;

  QLabel* FindWhatLabel = nullptr;
  QLineEdit* FindWhat = nullptr;
  QCheckBox* WholeWordBox = nullptr;
  QCheckBox* MatchCaseBox = nullptr;
  QGroupBox* DirectionBox = nullptr;
  QRadioButton* UpButton = nullptr;
  QRadioButton* DownButton = nullptr;
  QPushButton* FindNextButton = nullptr;
  QPushButton* CancelButton = nullptr;

signals:
  // The user asked for the next match.
  void FindNext();

public slots:
  void FindNextButtonClick();
  void CancelButtonClick();

protected:
  // Labels and fields, one row each; the Replace dialog adds its row here.
  QGridLayout* Fields = nullptr;
  // The buttons, top to bottom, Cancel last.
  QVBoxLayout* Buttons = nullptr;
  // Enables the buttons that need a search text.
  virtual void UpdateButtons();

private:
  void createControls();
};
