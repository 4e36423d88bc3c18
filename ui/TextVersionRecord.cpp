#include "ui/TextVersionRecord.h"

#include <QFile>

namespace {
const char* const TranslationPath = "\\varfileinfo\\translation";
} // namespace

TextVersionRecord::TextVersionRecord(const QByteArray& text) {
  const QList<QByteArray> lines = text.split('\n');
  for (QByteArray line : lines) {
    if (line.endsWith('\r'))
      line.chop(1);
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
      continue;
    const QString path = QString::fromUtf8(line.left(eq)).trimmed().toLower();
    values_.insert(path, QString::fromUtf8(line.mid(eq + 1)));
  }
}

std::unique_ptr<VersionRecord> TextVersionRecord::Program() {
  // The record lives in the ui library's own resource, which a static
  // library must register by hand.
  static const bool registered = [] {
    Q_INIT_RESOURCE(siftwell_version);
    return true;
  }();
  (void)registered;
  QFile file(QStringLiteral(":/version/siftwell.ver"));
  if (!file.open(QIODevice::ReadOnly))
    return nullptr;
  return std::make_unique<TextVersionRecord>(file.readAll());
}

bool TextVersionRecord::QueryTranslations(QList<Translation>& pairs) const {
  const auto it = values_.constFind(QLatin1String(TranslationPath));
  if (it == values_.constEnd())
    return false;
  QList<Translation> found;
  const QStringList words = it->split(QLatin1Char(' '), Qt::SkipEmptyParts);
  for (const QString& word : words) {
    bool ok = false;
    const uint value = word.toUInt(&ok, 16);
    if (!ok || word.size() != 8)
      continue;
    found.append(Translation{static_cast<uint16_t>(value >> 16), static_cast<uint16_t>(value)});
  }
  if (found.isEmpty())
    return false;
  pairs = found;
  return true;
}

bool TextVersionRecord::QueryString(const QString& path, QString& value) const {
  const auto it = values_.constFind(path.toLower());
  if (it == values_.constEnd())
    return false;
  value = *it;
  return true;
}
