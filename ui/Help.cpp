#include "ui/Help.h"

#include "ui/THelpViewer.h"

namespace {
QString& HelpFilePath() {
  static QString path;
  return path;
}
} // namespace

QString HelpFileFor(const QString& programPath) {
  // The extension is the file name's part from its last dot; a dot in a
  // folder name does not count.
  const qsizetype nameStart = programPath.lastIndexOf(QLatin1Char('/')) + 1;
  const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
  const QString base = dot >= nameStart ? programPath.left(dot) : programPath;
  return base + QStringLiteral(".qhc");
}

void SetHelpFile(const QString& path) {
  HelpFilePath() = path;
}

QString HelpFile() {
  return HelpFilePath();
}

void ShowHelpContents() {
  THelpViewer::Open(HelpFile())->ShowContents();
}

void ShowHelpIndex() {
  THelpViewer::Open(HelpFile())->ShowIndex();
}

void ShowHelpContext(int context) {
  THelpViewer::Open(HelpFile())->ShowContext(context);
}
