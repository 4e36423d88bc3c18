#pragma once
// A version record kept as text, one "path=value" line per entry:
//   \VarFileInfo\Translation=040904E4 040704B0
//   \StringFileInfo\040904E4\ProductName=Sift Well
// Each translation is the language and the code page as eight hex digits.
// The program's own record is compiled in as a resource in this form.

#include "ui/VersionRecord.h"

#include <QByteArray>
#include <QHash>
#include <memory>

class TextVersionRecord : public VersionRecord {
public:
  // Lines without "=" are ignored; paths compare without regard to case, as
  // version resource queries do.
  explicit TextVersionRecord(const QByteArray& text);

  // The record compiled into the program; nullptr when it has none.
  static std::unique_ptr<VersionRecord> Program();

  bool QueryTranslations(QList<Translation>& pairs) const override;
  bool QueryString(const QString& path, QString& value) const override;

private:
  QHash<QString, QString> values_; // keyed by the lower-case path
};
