#include "ui/UnrecordedEdit.h"

#include <Qsci/qsciscintilla.h>

using Sci = QsciScintillaBase;

UnrecordedEdit::UnrecordedEdit(QsciScintilla* edit, bool quiet) : edit_(edit), quiet_(quiet) {
  edit_->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 0UL);
  if (quiet_) {
    eventMask_ = edit_->SendScintilla(Sci::SCI_GETMODEVENTMASK);
    edit_->SendScintilla(Sci::SCI_SETMODEVENTMASK, 0UL);
  }
}

UnrecordedEdit::~UnrecordedEdit() {
  edit_->SendScintilla(Sci::SCI_EMPTYUNDOBUFFER);
  edit_->SendScintilla(Sci::SCI_SETUNDOCOLLECTION, 1UL);
  if (quiet_) {
    edit_->SendScintilla(Sci::SCI_SETMODEVENTMASK, static_cast<unsigned long>(eventMask_));
    // One notice for all the changes held back.
    emit edit_->textChanged();
  }
}
