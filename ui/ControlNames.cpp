#include "ui/ControlNames.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QString>
#include <QTextDocument>

QString CaptionName(const QString& caption) {
  QString name;
  name.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
      ++i; // the marked letter, or the second of "&&"
    else if (caption[i] == QLatin1Char('&'))
      continue;
    name.append(caption[i]);
  }
  return name;
}

namespace {

// A label may hold rich text; its caption is what it shows.
QString LabelCaption(const QLabel* label) {
  if (!Qt::mightBeRichText(label->text()))
    return label->text();
  QTextDocument document;
  document.setHtml(label->text());
  return document.toPlainText();
}

// A control without a caption keeps the name it has (Qt names some of its
// own inner buttons).
void Name(QWidget* control, const QString& caption) {
  if (!caption.isEmpty())
    control->setAccessibleName(CaptionName(caption));
}

} // namespace

void NameControls(QWidget* window) {
  for (QAbstractButton* button : window->findChildren<QAbstractButton*>())
    Name(button, button->text());
  for (QGroupBox* box : window->findChildren<QGroupBox*>())
    Name(box, box->title());
  for (QLabel* label : window->findChildren<QLabel*>()) {
    const QString caption = LabelCaption(label);
    Name(label, caption);
    if (label->buddy())
      Name(label->buddy(), caption);
  }
}
