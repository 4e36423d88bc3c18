#include "ui/DialogFont.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace {

// Below this the text is too small to read, fitting or not.
constexpr int kSmallestPixels = 7;

QFont Installed(const QString& family, QFont::StyleHint hint, int pixels) {
  QFont font =
      QFontDatabase::hasFamily(family)
          ? QFont(family)
          : QFontDatabase::systemFont(hint == QFont::Monospace ? QFontDatabase::FixedFont
                                                               : QFontDatabase::GeneralFont);
  font.setStyleHint(hint);
  font.setPixelSize(pixels);
  // Glyphs on whole pixels, as in the bitmap font the boxes were drawn for:
  // crisp at these small sizes, and a caption's width is a whole number of
  // pixels instead of a fraction that rounds up past its box.
  font.setHintingPreference(QFont::PreferFullHinting);
  return font;
}

bool LabelFits(const QLabel* label) {
  if (label->wordWrap())
    return label->heightForWidth(label->width()) <= label->height();
  const QSize wanted = label->sizeHint();
  return wanted.width() <= label->width() && label->fontMetrics().height() <= label->height();
}

// The caption starts after the indicator and the gap; the room the size hint
// adds for the focus frame is not part of it.
bool CheckBoxFits(const QCheckBox* box) {
  const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, box);
  const int gap = box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, box);
  const QSize caption = box->fontMetrics().size(Qt::TextShowMnemonic, box->text());
  return indicator + gap + caption.width() <= box->width() && caption.height() <= box->height();
}

// A radio button as a check box, with its round indicator.
bool RadioButtonFits(const QRadioButton* radio) {
  const int indicator =
      radio->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, radio);
  const int gap = radio->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, radio);
  const QSize caption = radio->fontMetrics().size(Qt::TextShowMnemonic, radio->text());
  return indicator + gap + caption.width() <= radio->width() && caption.height() <= radio->height();
}

// A group's title sits in its frame's top edge, a few pixels in from each
// side.
bool GroupTitleFits(const QGroupBox* group) {
  const QSize caption = group->fontMetrics().size(Qt::TextShowMnemonic, group->title());
  return caption.width() + 16 <= group->width();
}

// A push button's size hint never goes below the style's minimum width, so
// the caption is measured on its own, with a little room on each side.
bool ButtonFits(const QPushButton* button) {
  const QFontMetrics metrics = button->fontMetrics();
  const QString caption = QString(button->text()).remove(QLatin1Char('&'));
  return metrics.horizontalAdvance(caption) + 12 <= button->width() &&
         metrics.height() + 6 <= button->height();
}

} // namespace

QFont DialogSans(int pixels, bool bold) {
  QFont font = Installed(QStringLiteral("Liberation Sans"), QFont::SansSerif, pixels);
  font.setBold(bold);
  return font;
}

QFont DialogMono(int pixels) {
  return Installed(QStringLiteral("Liberation Mono"), QFont::Monospace, pixels);
}

bool CaptionFits(const QWidget* widget) {
  if (const auto* label = qobject_cast<const QLabel*>(widget))
    return LabelFits(label);
  if (const auto* box = qobject_cast<const QCheckBox*>(widget))
    return CheckBoxFits(box);
  if (const auto* radio = qobject_cast<const QRadioButton*>(widget))
    return RadioButtonFits(radio);
  if (const auto* group = qobject_cast<const QGroupBox*>(widget))
    return GroupTitleFits(group);
  if (const auto* button = qobject_cast<const QPushButton*>(widget))
    return ButtonFits(button);
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget))
    return edit->fontMetrics().height() <= edit->height();
  return true;
}

void DialogFontFitter::Add(QWidget* widget, const QFont& design) {
  ownFonts_.append({widget, design});
  captions_.append(widget);
}

int DialogFontFitter::Fit() {
  int pixels = kDialogDesignPixels;
  for (; pixels > kSmallestPixels; --pixels) {
    Apply(pixels);
    if (AllFit())
      return pixels;
  }
  Apply(pixels);
  return pixels;
}

void DialogFontFitter::Apply(int pixels) {
  dialog_->setFont(DialogSans(pixels));
  for (const auto& [widget, design] : ownFonts_) {
    QFont font = design;
    font.setPixelSize(qMax(1, qRound(design.pixelSize() * double(pixels) / kDialogDesignPixels)));
    widget->setFont(font);
  }
}

bool DialogFontFitter::AllFit() const {
  for (const QWidget* widget : captions_)
    if (!CaptionFits(widget))
      return false;
  return true;
}
