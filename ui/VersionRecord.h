#pragma once
// The version record of the program, asked the way a version resource is:
// "\VarFileInfo\Translation" gives the language and code page pairs, and
// "\StringFileInfo\<language><code page>\<key>" (both as four upper-case hex
// digits) gives a string. Tests hand the about box records of their own.

#include <QList>
#include <QString>
#include <cstdint>

class VersionRecord {
public:
  struct Translation {
    uint16_t Language = 0;
    uint16_t CodePage = 0;
  };

  virtual ~VersionRecord() = default;

  // The pairs listed under "\VarFileInfo\Translation"; false when the record
  // lists none.
  virtual bool QueryTranslations(QList<Translation>& pairs) const = 0;
  // The string at a "\StringFileInfo\..." path; false when there is none.
  virtual bool QueryString(const QString& path, QString& value) const = 0;
};
