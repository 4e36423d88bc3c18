#include "ui/DialogService.h"

#include <QFileInfo>

namespace {
DialogService* installed = nullptr;
} // namespace

DialogService& Dialogs() {
  return installed ? *installed : DefaultDialogs();
}

void SetDialogs(DialogService* service) {
  installed = service;
}

QString ErrorBoxText(const QString& message) {
  if (!message.isEmpty() && message.back() > QLatin1Char('.'))
    return message + QLatin1Char('.');
  return message;
}

void ShowErrorBox(const QString& message) {
  Dialogs().MessageBox(nullptr, ErrorBoxText(message), QStringLiteral("Sift Well"),
                       DialogService::Buttons::Ok, DialogService::Icon::Critical);
}

QString WithDefaultSuffix(const QString& path, const QString& suffix) {
  if (path.isEmpty() || suffix.isEmpty() || !QFileInfo(path).suffix().isEmpty())
    return path;
  return path + QLatin1Char('.') + suffix;
}
