// The document editor over a large text, on the offscreen platform: a text
// of about 300 MB in 30-byte lines, and one line of 200 MB (also with tabs),
// each appended in 1 MiB pieces. For each: the time of the appending, then
// of Ctrl+End, End, PageDown, Select All and a full repaint with the text in
// place, each of which should stay well under 20 ms.

#include "editor/TextView.h"

#include <QApplication>
#include <QKeyEvent>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

double Msecs(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void Press(TextView& view, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  QKeyEvent press(QEvent::KeyPress, key, mods);
  QApplication::sendEvent(&view, &press);
}

void Repaint(TextView& view) {
  view.viewport()->grab();
}

void Run(const char* name, const std::string& piece, std::size_t pieces) {
  TextView view;
  view.resize(1000, 700);
  view.show();
  QApplication::processEvents();
  const double append = Msecs([&] {
    for (std::size_t i = 0; i < pieces; ++i)
      view.Append(piece.data(), piece.size());
  });
  std::printf("%s: %.0f MB in %lld lines\n", name, view.Length() / 1e6,
              static_cast<long long>(view.LineCount()));
  std::printf("  append      %9.1f ms\n", append);
  std::printf("  first paint %9.2f ms\n", Msecs([&] { Repaint(view); }));
  std::printf("  Ctrl+End    %9.2f ms\n",
              Msecs([&] { Press(view, Qt::Key_End, Qt::ControlModifier); }));
  std::printf("  End         %9.2f ms\n", Msecs([&] { Press(view, Qt::Key_End); }));
  Press(view, Qt::Key_Home, Qt::ControlModifier);
  std::printf("  PageDown    %9.2f ms\n", Msecs([&] { Press(view, Qt::Key_PageDown); }));
  std::printf("  Select all  %9.2f ms\n",
              Msecs([&] { Press(view, Qt::Key_A, Qt::ControlModifier); }));
  std::printf("  repaint     %9.2f ms\n", Msecs([&] { Repaint(view); }));
  std::printf("  copy        %9.2f ms\n", Msecs([&] { view.Copy(); }));
  std::printf("  type a key  %9.2f ms\n", Msecs([&] {
                Press(view, Qt::Key_End, Qt::ControlModifier);
                QKeyEvent key(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
                QApplication::sendEvent(&view, &key);
              }));
  std::printf("  repaint     %9.2f ms\n", Msecs([&] { Repaint(view); }));
  std::printf("  type at top %9.2f ms\n", Msecs([&] {
                Press(view, Qt::Key_Home, Qt::ControlModifier);
                QKeyEvent key(QEvent::KeyPress, Qt::Key_Y, Qt::NoModifier, QStringLiteral("y"));
                QApplication::sendEvent(&view, &key);
              }));
  std::printf("  repaint     %9.2f ms\n", Msecs([&] { Repaint(view); }));
}

} // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  constexpr std::size_t kPiece = 1 << 20;
  std::string lines;
  while (lines.size() + 30 <= kPiece)
    lines += "some extracted text, line " + std::to_string(lines.size() % 1000).substr(0, 2) + "\n";
  lines.resize(lines.size() / 30 * 30);
  Run("30-byte lines", lines, 300 * kPiece / lines.size() + 1);
  Run("one line", std::string(kPiece, 'x'), 200);
  std::string tabbed(kPiece, 'x');
  for (std::size_t i = 50; i < tabbed.size(); i += 100)
    tabbed[i] = '\t';
  Run("one line, a tab every 100 bytes", tabbed, 200);
  return 0;
}
