#include "support/DocumentTestSupport.h"

#include "support/ScannerTestSupport.h"
#include "ui/TRTFchild.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <Qsci/qsciscintilla.h>

QByteArray EditorText(const TRTFchild& window) {
  const long length = window.Edit->SendScintilla(QsciScintillaBase::SCI_GETLENGTH);
  const char* p = reinterpret_cast<const char*>(
      window.Edit->SendScintilla(QsciScintillaBase::SCI_GETCHARACTERPOINTER));
  return QByteArray(p, length);
}

void SetEditorText(TRTFchild& window, const QByteArray& text) {
  window.Edit->SendScintilla(QsciScintillaBase::SCI_CLEARALL);
  window.Edit->SendScintilla(QsciScintillaBase::SCI_APPENDTEXT,
                             static_cast<unsigned long>(text.size()), text.constData());
}

QByteArray ReadAll(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QDir().mkpath(QFileInfo(path).absolutePath());
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QList<QByteArray> ReferenceLines(const QByteArray& input, const TextOptions& options) {
  QList<QByteArray> lines;
  for (const std::string& line : ByBytes(options, input.toStdString()))
    lines.append(QByteArray::fromStdString(line));
  return lines;
}
