#include "app/WindowList.h"

#include "ui/TRTFchild.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>

WindowList::WindowList(QMenu* menu, QMdiArea* area) : QObject(menu), menu_(menu), area_(area) {}

void WindowList::Rebuild() {
  qDeleteAll(items_);
  items_.clear();
  const QList<QMdiSubWindow*> windows = area_->subWindowList(QMdiArea::CreationOrder);
  QMdiSubWindow* current = area_->currentSubWindow();
  int number = 0;
  for (QMdiSubWindow* window : windows) {
    // A closing window is hidden before it goes; it is no longer listed.
    if (window->isHidden())
      continue;
    if (items_.isEmpty())
      items_.append(menu_->addSeparator());
    ++number;
    auto* child = qobject_cast<TRTFchild*>(window->widget());
    QString caption = child ? child->Caption() : window->windowTitle();
    caption.replace(QLatin1Char('&'), QStringLiteral("&&"));
    const QString text = number < 10 ? QStringLiteral("&%1 %2").arg(number).arg(caption)
                                     : QStringLiteral("%1 %2").arg(number).arg(caption);
    QAction* action = menu_->addAction(text);
    action->setCheckable(true);
    action->setChecked(window == current);
    QPointer<QMdiSubWindow> target(window);
    connect(action, &QAction::triggered, this, [this, target] {
      if (target)
        area_->setActiveSubWindow(target);
    });
    items_.append(action);
  }
}
