#include "ui/TReplaceDialog.h"

#include "ui/ControlNames.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TReplaceDialog::TReplaceDialog(QWidget* parent) : TFindDialog(parent) {
  setWindowTitle(tr("Replace"));
  createControls();
  UpdateButtons();
  NameControls(this);
}

void TReplaceDialog::createControls() {
  ReplaceWith = new QLineEdit(this);
  ReplaceWith->setMaxLength(MaxText);
  ReplaceWithLabel = new QLabel(tr("Re&place with:"), this);
  ReplaceWithLabel->setBuddy(ReplaceWith);
  Fields->addWidget(ReplaceWithLabel, 1, 0);
  Fields->addWidget(ReplaceWith, 1, 1);

  ReplaceButton = new QPushButton(tr("&Replace"), this);
  connect(ReplaceButton, &QPushButton::clicked, this, &TReplaceDialog::ReplaceButtonClick);
  ReplaceAllButton = new QPushButton(tr("Replace &All"), this);
  connect(ReplaceAllButton, &QPushButton::clicked, this, &TReplaceDialog::ReplaceAllButtonClick);
  // Between Find Next and Cancel.
  Buttons->insertWidget(1, ReplaceButton);
  Buttons->insertWidget(2, ReplaceAllButton);

  setTabOrder(FindWhat, ReplaceWith);
  setTabOrder(ReplaceWith, WholeWordBox);
  setTabOrder(FindNextButton, ReplaceButton);
  setTabOrder(ReplaceButton, ReplaceAllButton);
  setTabOrder(ReplaceAllButton, CancelButton);
}

QString TReplaceDialog::ReplaceText() const {
  return ReplaceWith->text();
}

void TReplaceDialog::SetReplaceText(const QString& text) {
  ReplaceWith->setText(text.left(MaxText));
}

void TReplaceDialog::ReplaceButtonClick() {
  emit Replace(false);
}

void TReplaceDialog::ReplaceAllButtonClick() {
  emit Replace(true);
}

void TReplaceDialog::UpdateButtons() {
  TFindDialog::UpdateButtons();
  const bool haveText = !FindWhat->text().isEmpty();
  ReplaceButton->setEnabled(haveText);
  ReplaceAllButton->setEnabled(haveText);
}
