#include "ui/TMyAboutBox.h"

#include "ui/ControlNames.h"
#include "ui/DialogFont.h"
#include "ui/DialogService.h"
#include "ui/VersionRecord.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFrame>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QUrl>
#include <stdexcept>

TMyAboutBox* MyAboutBox = nullptr;

const char* const TMyAboutBox::EmailAddress = "maelbrook@example.org";
const char* const TMyAboutBox::HomePageAddress = "https://www.example.org/maelbrook/";

namespace {
QLabel* MakeLabel(QWidget* parent, const QRect& geometry, const QString& text,
                  const QColor& colour) {
  auto* label = new QLabel(text, parent);
  label->setGeometry(geometry);
  label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  return label;
}
} // namespace

TMyAboutBox::TMyAboutBox(const VersionRecord* record, const PostInit& postInit, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint) {
  createControls();
  // As with any window's creation handler, an error in it is shown and ends
  // only the handler; the window itself stays.
  try {
    FormCreate(record, postInit);
  } catch (const std::exception& e) {
    ShowErrorBox(QString::fromStdString(e.what()));
  }
  if (!fitted_) {
    fitFont();
    NameControls(this);
  }
}

void TMyAboutBox::createControls() {
  setWindowTitle(QStringLiteral("About "));
  setFixedSize(389, 193);

  Panel = new QFrame(this);
  Panel->setGeometry(3, 3, 382, 186);
  Panel->setFrameStyle(QFrame::Box | QFrame::Sunken); // lowered outer, raised inner bevel

  Name =
      MakeLabel(Panel, QRect(94, 14, 191, 26), QStringLiteral("Product Name"), QColor(0, 128, 128));
  Version = MakeLabel(Panel, QRect(94, 42, 191, 20), QStringLiteral("Version"), QColor(0, 128, 0));
  Copyright =
      MakeLabel(Panel, QRect(49, 64, 284, 32), QStringLiteral("Copyright"), QColor(0, 0, 128));
  Freeware = MakeLabel(Panel, QRect(49, 98, 284, 32),
                       QStringLiteral("Sift Well is freeware: use it and pass it on freely, "
                                      "at your own risk and free of charge."),
                       palette().color(QPalette::WindowText));
  Freeware->setWordWrap(true);

  Icon = new QLabel(Panel);
  Icon->setGeometry(8, 8, 39, 39);
  Icon->setScaledContents(true);

  Bugs = MakeLabel(Panel, QRect(5, 138, 148, 13), QStringLiteral("Bug reports and suggestions:"),
                   QColor(255, 0, 0));

  OKButton = new QPushButton(QStringLiteral("OK"), Panel);
  OKButton->setGeometry(316, 21, 52, 26);
  OKButton->setDefault(true);
  connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

  email = MakeLabel(Panel, QRect(157, 136, 212, 19), QString::fromLatin1(EmailAddress),
                    QColor(0, 0, 255));
  email->setToolTip(QStringLiteral("Click to send me a message"));
  email->installEventFilter(this);
  homepage = MakeLabel(Panel, QRect(46, 162, 290, 19), QString::fromLatin1(HomePageAddress),
                       QColor(0, 0, 255));
  homepage->setToolTip(QStringLiteral("Click to open my home page"));
  homepage->installEventFilter(this);

  OKButton->setFocus();
}

void TMyAboutBox::fitFont() {
  // The labels' designed fonts; the box's own is the 11-pixel form font.
  const int form = kDialogDesignPixels;
  QFont link = DialogMono(form);
  link.setUnderline(true);
  DialogFontFitter fitter(this);
  fitter.Add(Name, DialogSans(19, true));
  fitter.Add(Version, DialogSans(16));
  fitter.Add(Copyright, DialogSans(form));
  fitter.Add(Freeware);
  fitter.Add(Bugs, DialogSans(form));
  fitter.Add(OKButton);
  fitter.Add(email, link);
  fitter.Add(homepage, link);
  fitter.Fit();
  fitted_ = true;
}

void TMyAboutBox::FormCreate(const VersionRecord* record, const PostInit& postInit) {
  readRecord(record);
  Icon->setPixmap(QApplication::windowIcon().pixmap(32, 32));
  email->setCursor(Qt::PointingHandCursor);
  homepage->setCursor(Qt::PointingHandCursor);
  // Once the record's texts are in, since they are captions too; and before
  // the command-line passes, during which the box may be shown.
  fitFont();
  NameControls(this);
  if (postInit)
    postInit(*this);
}

void TMyAboutBox::readRecord(const VersionRecord* record) {
  QList<VersionRecord::Translation> translations;
  if (record && record->QueryTranslations(translations) && !translations.isEmpty()) {
    // Only the first language and code page pair is read.
    const VersionRecord::Translation first = translations.constFirst();
    const QString pair = QStringLiteral("%1%2")
                             .arg(first.Language, 4, 16, QLatin1Char('0'))
                             .arg(first.CodePage, 4, 16, QLatin1Char('0'))
                             .toUpper();
    const QString table = QStringLiteral("\\StringFileInfo\\") + pair + QLatin1Char('\\');
    QString value;
    if (record->QueryString(table + QStringLiteral("ProductName"), value) && !value.isEmpty()) {
      Name->setText(value);
      setWindowTitle(windowTitle() + value);
    }
    if (record->QueryString(table + QStringLiteral("ProductVersion"), value) && !value.isEmpty())
      Version->setText(value);
    if (record->QueryString(table + QStringLiteral("LegalCopyright"), value) && !value.isEmpty())
      Copyright->setText(value);
    if (record->QueryString(table + QStringLiteral("Comments"), value) && !value.isEmpty())
      Freeware->setText(value);
  }
}

void TMyAboutBox::emailClick() {
  QDesktopServices::openUrl(QUrl(QStringLiteral("mailto:") + QString::fromLatin1(EmailAddress)));
}

void TMyAboutBox::homepageClick() {
  QDesktopServices::openUrl(QUrl(QString::fromLatin1(HomePageAddress)));
}

void TMyAboutBox::keyPressEvent(QKeyEvent* event) {
  // The box closes only by OK; QDialog would take Escape for a rejection.
  if (event->matches(QKeySequence::Cancel)) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

bool TMyAboutBox::eventFilter(QObject* watched, QEvent* event) {
  if ((watched == email || watched == homepage) && event->type() == QEvent::MouseButtonRelease &&
      static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
    if (watched == email)
      emailClick();
    else
      homepageClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
