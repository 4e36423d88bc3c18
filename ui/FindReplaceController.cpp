// Interim bodies so that the document window links; replaced by the real
// find and replace.
#include "ui/FindReplaceController.h"

#include "ui/TRTFchild.h"

LastSearchRecord& LastSearch() {
  static LastSearchRecord record;
  return record;
}

FindReplaceController::FindReplaceController(TRTFchild* window) : QObject(window), window_(window) {}
void FindReplaceController::FindClick() {}
void FindReplaceController::ReplaceMenuClick() {}
bool FindReplaceController::FindDialogFind(QObject*) { return false; }
void FindReplaceController::ReplaceDialogReplace(bool) {}
