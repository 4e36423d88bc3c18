#include "ui/TOptions.h"

#include "settings/IntegerText.h"
#include "settings/TextOptions.h"
#include "ui/ControlNames.h"
#include "ui/DialogFont.h"
#include "ui/Help.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include <limits>
#include <stdexcept>

TOptions* Options = nullptr;

namespace {

QLineEdit* MakeEdit(QWidget* parent, int left, int top, int width, int height) {
  auto* edit = new QLineEdit(parent);
  edit->setGeometry(left, top, width, height);
  edit->setMaxLength(std::numeric_limits<int>::max()); // no length limit
  return edit;
}

QCheckBox* MakeCheck(QWidget* parent, const QString& caption, int left, int top, int width,
                     int height) {
  auto* box = new QCheckBox(caption, parent);
  box->setGeometry(left, top, width, height);
  return box;
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, QWidget* buddy, int left, int top,
                  int width, int height) {
  auto* label = new QLabel(caption, parent);
  label->setGeometry(left, top, width, height);
  if (buddy)
    label->setBuddy(buddy);
  return label;
}

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top, int width,
                        int height) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, top, width, height);
  return button;
}

// One limit edit into its field, by the integer text rule.
void StoreLimit(const QLineEdit* edit, uint32_t& field) {
  const QString text = edit->text();
  // A character outside ISO 8859-1 becomes "?", which no integer contains.
  int32_t value = 0;
  if (!TextToInt(text.toLatin1().toStdString(), value))
    throw std::runtime_error("'" + text.toStdString() + "' is not a valid integer value");
  field = static_cast<uint32_t>(value);
}

} // namespace

TOptions::TOptions(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Text options"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(432, 219);
  createControls();
  fitFont();
  NameControls(this);
}

void TOptions::createControls() {
  // Created in tab order; the labels take no focus.
  ButtonOK = MakeButton(this, QStringLiteral("OK"), 148, 185, 75, 25);
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);
  ButtonCancel = MakeButton(this, QStringLiteral("Cancel"), 228, 185, 75, 25);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  ButtonHelp = MakeButton(this, QStringLiteral("&Help"), 308, 185, 75, 25);
  connect(ButtonHelp, &QPushButton::clicked, this, &TOptions::ButtonHelpClick);

  MinChar = MakeEdit(this, 120, 8, 40, 21);
  MaxChar = MakeEdit(this, 288, 8, 40, 21);
  Lower = MakeCheck(this, QStringLiteral("Lo&wer case ASCII letters (a-z)"), 8, 56, 169, 17);
  Upper = MakeCheck(this, QStringLiteral("&Upper case ASCII letters (A-Z)"), 176, 56, 177, 17);
  Number = MakeCheck(this, QStringLiteral("&Numbers (0-9)"), 8, 80, 129, 17);
  Space = MakeCheck(this, QStringLiteral("&Space"), 176, 80, 97, 17);
  Punct = MakeCheck(this, QStringLiteral("&Punctuation: ! ' \" ( ) , - . : ; ?"), 8, 104, 161, 17);
  Symbol = MakeCheck(this, QStringLiteral("Sy&mbols: # $ % && * + / < = > @ [ \\ ] ^ _ ` { | } ~"),
                     176, 104, 249, 17);
  Iso = MakeCheck(this, QString::fromUtf8("&Other letters: \u00e1,\u00c1,\u00f1,\u00e7, ..."), 8,
                  128, 153, 17);
  Other = MakeEdit(this, 104, 152, 320, 21);

  Label1 = MakeLabel(this, QStringLiteral("M&inimum char number:"), MinChar, 8, 11, 106, 13);
  Label2 = MakeLabel(this, QStringLiteral("M&aximum char number:"), MaxChar, 176, 11, 109, 13);
  Label3 = MakeLabel(this, QStringLiteral("Include:"), nullptr, 8, 34, 38, 13);
  Label4 = MakeLabel(this, QStringLiteral("&These characters:"), Other, 8, 157, 86, 13);

  QWidget* order[] = {ButtonOK, ButtonCancel, ButtonHelp, MinChar, MaxChar, Lower, Upper,
                      Number,   Space,        Punct,      Symbol,  Iso,     Other};
  for (size_t i = 1; i < sizeof order / sizeof order[0]; ++i)
    setTabOrder(order[i - 1], order[i]);
  ButtonOK->setFocus();
}

void TOptions::fitFont() {
  DialogFontFitter fitter(this);
  for (QWidget* captioned : std::initializer_list<QWidget*>{
           Label1, Label2, Label3, Label4, Lower, Upper, Number, Space, Punct, Symbol, Iso,
           ButtonOK, ButtonCancel, ButtonHelp, MinChar, MaxChar, Other})
    fitter.Add(captioned);
  fitter.Fit();
}

void TOptions::showEvent(QShowEvent* event) {
  QScreen* screen = QGuiApplication::primaryScreen();
  if (screen) {
    QRect centred(QPoint(), frameGeometry().size());
    centred.moveCenter(screen->availableGeometry().center());
    move(centred.topLeft());
  }
  QDialog::showEvent(event);
}

void TOptions::FillFrom(const TextOptions& options) {
  MinChar->setText(QString::number(options.MinChar));
  MaxChar->setText(QString::number(options.MaxChar));
  Lower->setChecked(options.Lower);
  Upper->setChecked(options.Upper);
  Number->setChecked(options.Number);
  Space->setChecked(options.Space);
  Punct->setChecked(options.Punct);
  Symbol->setChecked(options.Symbol);
  Iso->setChecked(options.ISO);
  Other->setText(QString::fromLatin1(options.Other.data(), qsizetype(options.Other.size())));
}

void TOptions::StoreInto(TextOptions& options) const {
  StoreLimit(MinChar, options.MinChar);
  StoreLimit(MaxChar, options.MaxChar);
  options.Lower = Lower->isChecked();
  options.Upper = Upper->isChecked();
  options.Number = Number->isChecked();
  options.Space = Space->isChecked();
  options.Punct = Punct->isChecked();
  options.Symbol = Symbol->isChecked();
  options.ISO = Iso->isChecked();
  options.Other = Other->text().toLatin1().toStdString();
}

void TOptions::ButtonHelpClick() {
  ShowHelpContext(12001);
}

void RunOptionsDialog() {
  if (!Options)
    throw std::logic_error("The options dialog has not been created");
  TextOptions& options = GlobalTextOptions();
  Options->FillFrom(options);
  Options->ButtonOK->setFocus();
  if (Options->exec() == QDialog::Accepted)
    Options->StoreInto(options);
}
