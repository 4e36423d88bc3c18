#include "settings/QSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QString>
#include <QVariant>

#include <stdexcept>

namespace {

QString Latin1(const std::string& text) {
  return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

QString KeyOf(const std::string& section, const std::string& name) {
  return Latin1(section) + QLatin1Char('/') + Latin1(name);
}

} // namespace

QSettingsStore::QSettingsStore() = default;

QString QSettingsStore::FileName() {
  return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Maelbrook"),
                   QStringLiteral("Siftwell"))
      .fileName();
}

QSettingsStore::~QSettingsStore() = default;

void QSettingsStore::OpenKey() {
  settings_ = std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                          QStringLiteral("Maelbrook"), QStringLiteral("Siftwell"));
  // QSettings creates nothing until it writes; the key is to exist after the
  // first start even when nothing is saved. A failure is not reported here:
  // the load falls back to the defaults and the save reports its own failure.
  const QString path = settings_->fileName();
  if (!QFileInfo::exists(path)) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Append))
      file.close();
  }
}

bool QSettingsStore::ReadString(const std::string& section, const std::string& name,
                                std::string& value) {
  if (!settings_)
    OpenKey();
  const QString key = KeyOf(section, name);
  if (!settings_->contains(key))
    return false;
  // Every value is written as a string; anything QSettings reads back as
  // another type (a list from an unquoted comma, @Variant or @ByteArray
  // forms, @Invalid) was not written by this program.
  const QVariant stored = settings_->value(key);
  if (stored.typeId() != QMetaType::QString)
    throw std::runtime_error("Invalid data type for '" + name + "'");
  value = stored.toString().toLatin1().toStdString();
  return true;
}

void QSettingsStore::WriteString(const std::string& section, const std::string& name,
                                 const std::string& value) {
  if (!settings_)
    OpenKey();
  const bool sectionExisted = settings_->childGroups().contains(Latin1(section));
  // QSettings only writes at sync(). Syncing after every value makes a failure
  // stop the save at the value that did not reach the file, with the values
  // before it written, and never lets it pass silently.
  const QString key = KeyOf(section, name);
  bool written = settings_->isWritable();
  if (written) {
    const bool existed = settings_->contains(key);
    const QVariant old = settings_->value(key);
    settings_->setValue(key, Latin1(value));
    settings_->sync();
    written = settings_->status() != QSettings::AccessError;
    if (!written) {
      // Take the refused value back, so that no later sync (another save,
      // the end of the program) writes it behind the reported failure.
      if (existed)
        settings_->setValue(key, old);
      else
        settings_->remove(key);
    }
  }
  if (!written) {
    if (!sectionExisted)
      throw std::runtime_error("Failed to create key " + section);
    throw std::runtime_error("Failed to set data for '" + name + "'");
  }
}

void QSettingsStore::CloseKey() {
  // Every write was synced and checked on its own, so nothing is left to
  // report here.
  settings_.reset();
}
