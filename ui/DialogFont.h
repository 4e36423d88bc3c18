#pragma once
// The fonts of the dialogs laid out in fixed pixels (the options dialog, the
// progress dialog, the about box). Their boxes were drawn for a narrow sans
// of 8 points, 11 pixels high at 96 dpi. The text is set in Liberation Sans,
// which has Arial's metrics (Liberation Mono for Courier New), or in the
// desktop's fonts of the same kind where it is not installed. A dialog takes
// its designed size when every caption fits its box there, else the largest
// smaller size at which all of them fit; its fonts of other designed sizes
// are scaled alike, so the dialog keeps its proportions.

#include <QFont>
#include <QList>
#include <QPair>

class QWidget;

// The pixel height of the dialogs' designed form font.
constexpr int kDialogDesignPixels = 11;

QFont DialogSans(int pixels, bool bold = false);
QFont DialogMono(int pixels);

// Whether the caption of a label, check box, radio button, group or push
// button fits its box;
// for a single-line edit, whether a line of its font fits its height (what
// it holds is no caption).
bool CaptionFits(const QWidget* widget);

// Chooses one size for a dialog's fonts from the captions added to it.
class DialogFontFitter {
public:
  explicit DialogFontFitter(QWidget* dialog) : dialog_(dialog) {}

  // A captioned control in the dialog's own font.
  void Add(QWidget* widget) { captions_.append(widget); }
  // A captioned control in a font of its own, given at its designed size.
  void Add(QWidget* widget, const QFont& design);

  // Sets the fonts at the chosen size; returns the dialog's pixel size.
  int Fit();

private:
  void Apply(int pixels);
  bool AllFit() const;

  QWidget* dialog_;
  QList<QWidget*> captions_;
  QList<QPair<QWidget*, QFont>> ownFonts_;
};
