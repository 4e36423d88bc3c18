#include "support/DocumentTestSupport.h"

#include "support/ScannerTestSupport.h"
#include "ui/TRTFchild.h"

#include "ui/TextEditor.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <fcntl.h>
#include <unistd.h>

#include <QAction>

QByteArray EditorText(const TRTFchild& window) {
  return window.Edit()->Range(0, window.Edit()->Length());
}

void SetEditorText(TRTFchild& window, const QByteArray& text) {
  TextEditor* editor = window.Edit();
  editor->BeginFill();
  editor->Append(text.constData(), static_cast<std::size_t>(text.size()));
  editor->EndFill();
}

QAction* Item(const QWidget* window, const char* name) {
  return window->findChild<QAction*>(QLatin1String(name));
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

bool WriteFileNamed(const QByteArray& name, const QByteArray& bytes) {
  const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0)
    return false;
  const bool written = ::write(fd, bytes.constData(), static_cast<size_t>(bytes.size())) ==
                       static_cast<ssize_t>(bytes.size());
  return ::close(fd) == 0 && written;
}

QList<QByteArray> ReferenceLines(const QByteArray& input, const TextOptions& options) {
  QList<QByteArray> lines;
  for (const std::string& line : ByBytes(options, input.toStdString()))
    lines.append(QByteArray::fromStdString(line));
  return lines;
}
