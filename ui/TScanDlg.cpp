#include "ui/TScanDlg.h"

#include "ui/ControlNames.h"
#include "ui/DialogFont.h"
#include "ui/TAnimate.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QWindow>
#include <climits>

bool ScanCancelled = false;
TScanDlg* ScanDlg = nullptr;

TScanDlg::TScanDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint) {
  setWindowTitle(QStringLiteral("Extracting text"));
  setFixedSize(405, 103);
  move(217, 227);

  FromLabel = new QLabel(QStringLiteral("From:"), this);
  FromLabel->setGeometry(8, 8, 26, 13);

  From = new QLineEdit(this);
  From->setGeometry(56, 8, 329, 13);
  From->setReadOnly(true);
  From->setFrame(false);
  // Reads like a label: the dialog's face colour behind the text. A palette,
  // not a style sheet, so that the edit keeps taking the dialog's font.
  QPalette face = From->palette();
  face.setColor(QPalette::Base, face.color(QPalette::Window));
  From->setPalette(face);
  From->setFocusPolicy(Qt::TabFocus);
  // Not for a mnemonic (it has none): the label is the edit's caption.
  FromLabel->setBuddy(From);

  AnimateComp = new TAnimate(this);
  AnimateComp->setGeometry(8, 29, 48, 50);

  Progress = new QProgressBar(this);
  Progress->setGeometry(64, 32, 321, 16);
  Progress->setTextVisible(false);
  Progress->setFocusPolicy(Qt::TabFocus);

  CancelOp = new QPushButton(QStringLiteral("Cancel"), this);
  CancelOp->setGeometry(155, 54, 75, 25);
  CancelOp->setDefault(true);
  connect(CancelOp, &QPushButton::clicked, this, &TScanDlg::CancelOpClick);

  setTabOrder(From, Progress);
  setTabOrder(Progress, CancelOp);
  SetProgress(10, 1, 0);
  fitFont();
  NameControls(this);
  // A modal box opened during a pass keeps the focus while it is up; when it
  // closes, the window system activates another window of the program, and
  // the dialog never hears of it, as it was not the active one.
  connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* now) {
    if (now && isVisible() && now != windowHandle())
      TakeFocusBackLater();
  });
}

void TScanDlg::fitFont() {
  // The file name in From is no caption: it may be of any length, and only
  // a line of it must fit the box's height.
  DialogFontFitter fitter(this);
  fitter.Add(FromLabel);
  fitter.Add(From);
  fitter.Add(CancelOp);
  fitter.Fit();
}

void TScanDlg::SetProgress(uint64_t max, uint64_t step, uint64_t position) {
  max_ = max;
  step_ = step;
  position_ = position < max ? position : max;
  advances_ = 0;
  shift_ = 0;
  while ((max_ >> shift_) > static_cast<uint64_t>(INT_MAX))
    ++shift_;
  Progress->setRange(0, static_cast<int>(max_ >> shift_));
  ShowPosition();
}

void TScanDlg::StepIt() {
  ++advances_;
  position_ = max_ - position_ > step_ ? position_ + step_ : max_;
  ShowPosition();
}

void TScanDlg::ShowPosition() {
  Progress->setValue(static_cast<int>(position_ >> shift_));
}

void TScanDlg::CancelOpClick() {
  ScanCancelled = true;
}

void TScanDlg::FormShow() {
  AnimateComp->Play();
}

void TScanDlg::FormHide() {
  AnimateComp->Stop();
}

void TScanDlg::FormDeactivate() {
  // Another window's modal box (an error report, say) keeps its focus.
  QWidget* modal = QApplication::activeModalWidget();
  if (!isVisible() || (modal && modal != this))
    return;
  activateWindow();
  raise();
  CancelOp->setFocus();
}

void TScanDlg::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  FormShow();
  // Keys typed right after a pass starts belong to the dialog, not to the
  // window that was active.
  activateWindow();
  raise();
  CancelOp->setFocus();
}

void TScanDlg::hideEvent(QHideEvent* event) {
  FormHide();
  QDialog::hideEvent(event);
}

void TScanDlg::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  if (event->type() == QEvent::ActivationChange && !isActiveWindow() && isVisible())
    TakeFocusBackLater();
}

void TScanDlg::TakeFocusBackLater() {
  // Once the activation change has settled, or the window system may hand
  // the focus on again right after.
  QTimer::singleShot(0, this, [this] {
    if (!isActiveWindow())
      FormDeactivate();
  });
}

void TScanDlg::closeEvent(QCloseEvent* event) {
  // The title bar only hides the dialog: the pass goes on without it.
  event->accept();
  hide();
}

void TScanDlg::keyPressEvent(QKeyEvent* event) {
  // Esc and Enter both press Cancel; Esc must not hide the dialog.
  if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
    switch (event->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
      CancelOp->click();
      event->accept();
      return;
    default:
      break;
    }
  }
  QDialog::keyPressEvent(event);
}
