#pragma once
// A document window's modeless Replace dialog: the Find dialog's controls
// plus the replacement text and the Replace and Replace All buttons.

#include "ui/TFindDialog.h"

class TReplaceDialog : public TFindDialog {
  Q_OBJECT
public:
  explicit TReplaceDialog(QWidget* parent = nullptr);

  QString ReplaceText() const;
  void SetReplaceText(const QString& text);

  QLabel* ReplaceWithLabel = nullptr;
  QLineEdit* ReplaceWith = nullptr;
  QPushButton* ReplaceButton = nullptr;
  QPushButton* ReplaceAllButton = nullptr;

signals:
  // Replace (all false) or Replace All (all true) was pressed.
  void Replace(bool all);

public slots:
  void ReplaceButtonClick();
  void ReplaceAllButtonClick();

protected:
  void UpdateButtons() override;

private:
  void createControls();
};
