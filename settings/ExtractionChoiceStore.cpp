#include "settings/ExtractionChoiceStore.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace {

const char* const kEncodingsKey = "Extraction/Encodings";
const char* const kOffsetsKey = "Extraction/Offsets";

QSettings ChoiceSettings() {
  return QSettings(QStringLiteral("Maelbrook"), QStringLiteral("SiftwellExtraction"));
}

// A text value as written; a list of names typed by hand without quotes
// reads as a string list, which means the same.
bool TextOf(const QVariant& value, std::string& text) {
  if (value.typeId() == QMetaType::QString) {
    text = value.toString().toStdString();
    return true;
  }
  if (value.typeId() == QMetaType::QStringList) {
    text = value.toStringList().join(QLatin1Char(',')).toStdString();
    return true;
  }
  return false;
}

} // namespace

QString ExtractionChoiceFile() {
  return ChoiceSettings().fileName();
}

ExtractionChoice LoadExtractionChoice() {
  QSettings settings = ChoiceSettings();
  ExtractionChoice choice;
  std::string text;
  if (TextOf(settings.value(kEncodingsKey), text))
    ParseEncodings(text, choice.encodings);
  if (TextOf(settings.value(kOffsetsKey), text))
    ParseOffsets(text, choice.radix);
  return choice;
}

bool SaveExtractionChoice(const ExtractionChoice& choice) {
  QSettings settings = ChoiceSettings();
  settings.setValue(kEncodingsKey, QString::fromStdString(EncodingsText(choice.encodings)));
  settings.setValue(kOffsetsKey, QString::fromStdString(OffsetsText(choice.radix)));
  settings.sync();
  return settings.status() == QSettings::NoError;
}
