#include "ui/TFindDialog.h"

#include "ui/ControlNames.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(tr("Find"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setModal(false);
  createControls();
  UpdateButtons();
  NameControls(this);
}

void TFindDialog::createControls() {
  FindWhat = new QLineEdit(this);
  FindWhat->setMaxLength(MaxText);
  FindWhat->setMinimumWidth(200);
  FindWhatLabel = new QLabel(tr("Fi&nd what:"), this);
  FindWhatLabel->setBuddy(FindWhat);
  connect(FindWhat, &QLineEdit::textChanged, this, [this] { UpdateButtons(); });

  WholeWordBox = new QCheckBox(tr("Match &whole word only"), this);
  MatchCaseBox = new QCheckBox(tr("Match &case"), this);

  // Every search runs towards the end of the text: the choice is shown but
  // cannot be changed.
  DirectionBox = new QGroupBox(tr("Direction"), this);
  UpButton = new QRadioButton(tr("&Up"), DirectionBox);
  DownButton = new QRadioButton(tr("&Down"), DirectionBox);
  DownButton->setChecked(true);
  DirectionBox->setEnabled(false);
  auto* directions = new QHBoxLayout(DirectionBox);
  directions->addWidget(UpButton);
  directions->addWidget(DownButton);

  FindNextButton = new QPushButton(tr("&Find Next"), this);
  FindNextButton->setDefault(true);
  connect(FindNextButton, &QPushButton::clicked, this, &TFindDialog::FindNextButtonClick);
  CancelButton = new QPushButton(tr("Cancel"), this);
  connect(CancelButton, &QPushButton::clicked, this, &TFindDialog::CancelButtonClick);

  Fields = new QGridLayout;
  Fields->addWidget(FindWhatLabel, 0, 0);
  Fields->addWidget(FindWhat, 0, 1);

  auto* checks = new QVBoxLayout;
  checks->addStretch();
  checks->addWidget(WholeWordBox);
  checks->addWidget(MatchCaseBox);
  auto* options = new QHBoxLayout;
  options->addLayout(checks);
  options->addStretch();
  options->addWidget(DirectionBox);

  auto* left = new QVBoxLayout;
  left->addLayout(Fields);
  left->addLayout(options);
  left->addStretch();

  Buttons = new QVBoxLayout;
  Buttons->addWidget(FindNextButton);
  Buttons->addWidget(CancelButton);
  Buttons->addStretch();

  auto* all = new QHBoxLayout(this);
  all->addLayout(left);
  all->addLayout(Buttons);
  all->setSizeConstraint(QLayout::SetFixedSize);

  // Field first, then the options and the buttons.
  setTabOrder(FindWhat, WholeWordBox);
  setTabOrder(WholeWordBox, MatchCaseBox);
  setTabOrder(MatchCaseBox, FindNextButton);
  setTabOrder(FindNextButton, CancelButton);
  FindWhat->setFocus();
}

QString TFindDialog::FindText() const {
  return FindWhat->text();
}

void TFindDialog::SetFindText(const QString& text) {
  FindWhat->setText(text.left(MaxText));
  FindWhat->selectAll();
}

bool TFindDialog::MatchCase() const {
  return MatchCaseBox->isChecked();
}

bool TFindDialog::WholeWord() const {
  return WholeWordBox->isChecked();
}

void TFindDialog::FindNextButtonClick() {
  emit FindNext();
}

void TFindDialog::CancelButtonClick() {
  reject();
}

void TFindDialog::UpdateButtons() {
  FindNextButton->setEnabled(!FindWhat->text().isEmpty());
}
