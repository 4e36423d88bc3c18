#include "ui/Hint.h"

#include <QAction>
#include <QString>

void SetHint(QAction* action, const QString& hint) {
  action->setToolTip(hint.section(QLatin1Char('|'), 0, 0));
  action->setStatusTip(hint.section(QLatin1Char('|'), -1));
}
