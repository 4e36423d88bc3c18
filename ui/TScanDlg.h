#pragma once
// The progress dialog of the extraction pass: which file is read, an
// activity picture, a progress bar and Cancel. It is never modal; its only
// influence on the pass is ScanCancelled.

#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TAnimate;

class TScanDlg : public QDialog {
  Q_OBJECT
public:
  explicit TScanDlg(QWidget* parent = nullptr);

  // The progress bar works in 64-bit units; sizes beyond the bar's int range
  // are scaled down for display only, so the number of advances is kept.
  void SetProgress(uint64_t max, uint64_t step, uint64_t position);
  // Advances the position by one step, stopping at the maximum.
  void StepIt();
  uint64_t ProgressMax() const { return max_; }
  uint64_t ProgressStep() const { return step_; }
  uint64_t ProgressPosition() const { return position_; }
  // Advances since the last SetProgress.
  uint64_t ProgressAdvances() const { return advances_; }

  QLabel* FromLabel = nullptr;
  QLineEdit* From = nullptr;
  TAnimate* AnimateComp = nullptr;
  QProgressBar* Progress = nullptr;
  QPushButton* CancelOp = nullptr;

public slots:
  void CancelOpClick();

protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;
  void changeEvent(QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

private:
  void FormShow();
  void FormHide();
  void FormDeactivate();
  void TakeFocusBackLater();

  void ShowPosition();
  void fitFont();

  uint64_t max_ = 10;
  uint64_t step_ = 1;
  uint64_t position_ = 0;
  uint64_t advances_ = 0;
  int shift_ = 0;
};

// Set by Cancel, cleared by the pass when it starts, read by the pass
// between blocks. Only the user-interface thread touches it.
extern bool ScanCancelled;
// The single progress dialog; main() creates it, and the pass makes it on
// first use when it does not exist yet.
extern TScanDlg* ScanDlg;
