#include "ui/THelpBrowser.h"

#include <QHelpEngineCore>

THelpBrowser::THelpBrowser(QHelpEngineCore* engine, QWidget* parent)
    : QTextBrowser(parent), engine_(engine) {}

QVariant THelpBrowser::loadResource(int type, const QUrl& name) {
  if (name.scheme() == QLatin1String("qthelp"))
    return engine_->fileData(name);
  return QTextBrowser::loadResource(type, name);
}
