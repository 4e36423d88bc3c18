#include "ui/TEncodings.h"

#include "settings/ExtractionChoiceStore.h"
#include "ui/ControlNames.h"
#include "ui/DialogFont.h"
#include "ui/DialogService.h"
#include "ui/Help.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <algorithm>

namespace {

const char* const kCaption = "Encodings and offsets";

const char* const kEncodingCaptions[6] = {"&Single bytes",      "UTF-16 &little endian",
                                          "UTF-16 &big endian", "UTF-32 l&ittle endian",
                                          "UTF-32 bi&g endian", "UTF-&8"};

QPushButton* MakeButton(QWidget* parent, const QString& caption, int left, int top) {
  auto* button = new QPushButton(caption, parent);
  button->setGeometry(left, top, 75, 25);
  return button;
}

QRadioButton* MakeRadio(QWidget* parent, const QString& caption, int top) {
  auto* radio = new QRadioButton(caption, parent);
  radio->setGeometry(10, top, 104, 17);
  return radio;
}

} // namespace

TEncodings::TEncodings(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QString::fromLatin1(kCaption));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
  setFixedSize(328, 194);
  createControls();
  fitFont();
  NameControls(this);
}

void TEncodings::createControls() {
  // Created in tab order.
  for (int i = 0; i < 6; ++i) {
    Encodings[i] = new QCheckBox(QString::fromLatin1(kEncodingCaptions[i]), this);
    Encodings[i]->setGeometry(8, 10 + 24 * i, 172, 17);
  }
  Offsets = new QGroupBox(QStringLiteral("Offsets"), this);
  Offsets->setGeometry(192, 4, 128, 122);
  None = MakeRadio(Offsets, QStringLiteral("&None"), 22);
  Decimal = MakeRadio(Offsets, QStringLiteral("&Decimal"), 46);
  Octal = MakeRadio(Offsets, QStringLiteral("&Octal"), 70);
  Hexadecimal = MakeRadio(Offsets, QStringLiteral("He&xadecimal"), 94);
  ButtonOK = MakeButton(this, QStringLiteral("OK"), 85, 160);
  ButtonOK->setDefault(true);
  connect(ButtonOK, &QPushButton::clicked, this, &TEncodings::ButtonOKClick);
  ButtonCancel = MakeButton(this, QStringLiteral("Cancel"), 165, 160);
  connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);
  ButtonHelp = MakeButton(this, QStringLiteral("&Help"), 245, 160);
  connect(ButtonHelp, &QPushButton::clicked, this, &TEncodings::ButtonHelpClick);
}

void TEncodings::fitFont() {
  DialogFontFitter fitter(this);
  for (QCheckBox* box : Encodings)
    fitter.Add(box);
  for (QWidget* captioned : std::initializer_list<QWidget*>{
           Offsets, None, Decimal, Octal, Hexadecimal, ButtonOK, ButtonCancel, ButtonHelp})
    fitter.Add(captioned);
  fitter.Fit();
}

void TEncodings::FillFrom(const ExtractionChoice& choice) {
  const std::vector<Encoding>& all = AllEncodings();
  for (std::size_t i = 0; i < all.size(); ++i)
    Encodings[i]->setChecked(std::find(choice.encodings.begin(), choice.encodings.end(), all[i]) !=
                             choice.encodings.end());
  None->setChecked(choice.radix == 0);
  Decimal->setChecked(choice.radix == 'd');
  Octal->setChecked(choice.radix == 'o');
  Hexadecimal->setChecked(choice.radix == 'x');
}

ExtractionChoice TEncodings::Chosen() const {
  ExtractionChoice choice;
  choice.encodings.clear();
  for (std::size_t i = 0; i < AllEncodings().size(); ++i)
    if (Encodings[i]->isChecked())
      choice.encodings.push_back(AllEncodings()[i]);
  choice.radix = Decimal->isChecked()       ? 'd'
                 : Octal->isChecked()       ? 'o'
                 : Hexadecimal->isChecked() ? 'x'
                                            : 0;
  return choice;
}

void TEncodings::ButtonOKClick() {
  if (Chosen().encodings.empty()) {
    Dialogs().MessageBox(this, QStringLiteral("Choose at least one encoding."),
                         QString::fromLatin1(kCaption), DialogService::Buttons::Ok,
                         DialogService::Icon::None);
    return;
  }
  accept();
}

void TEncodings::ButtonHelpClick() {
  ShowHelpContext(12002);
}

void RunEncodingsDialog(QWidget* parent) {
  TEncodings dialog(parent);
  dialog.FillFrom(GlobalExtractionChoice());
  dialog.ButtonOK->setFocus();
  if (dialog.exec() != QDialog::Accepted)
    return;
  GlobalExtractionChoice() = dialog.Chosen();
  if (!SaveExtractionChoice(GlobalExtractionChoice()))
    Dialogs().MessageBox(parent,
                         QStringLiteral("Couldn't write:\n%1\nThe choice holds until Sift Well "
                                        "ends.")
                             .arg(ExtractionChoiceFile()),
                         QStringLiteral("Error writing file"), DialogService::Buttons::Ok,
                         DialogService::Icon::None);
}
