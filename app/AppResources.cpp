#include "app/AppResources.h"

void UseAppResources() {
  static const bool registered = [] {
    Q_INIT_RESOURCE(siftwell);
    return true;
  }();
  (void)registered;
}

QIcon ApplicationIcon() {
  UseAppResources();
  QIcon icon;
  icon.addFile(QStringLiteral(":/siftwell-32.xpm"), QSize(32, 32));
  icon.addFile(QStringLiteral(":/siftwell-16.xpm"), QSize(16, 16));
  return icon;
}
