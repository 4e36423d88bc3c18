// Find and replace in a real document window, each beside a plain in-memory
// peer over the same bytes in the same run:
// - Replace All over a document with 100,000 matches (target: under 1 s),
//   beside QByteArray::replace;
// - Replace All over one 40 MiB line of "a" (41.9 million matches), with
//   the longest time events waited meanwhile (target: under 50 ms);
// - one Find Next over a 40 MB document whose only match is at its end
//   (target: at most 100 ms), beside QByteArray::indexOf and a
//   case-insensitive std::search.

#include "ui/DialogService.h"
#include "ui/FindReplaceController.h"
#include "ui/TRTFchild.h"
#include "ui/TReplaceDialog.h"
#include "ui/TextEditor.h"
#include "ui/TextSearch.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace {

// Answers the end-of-document message without a person, and counts it.
struct CountingDialogs : DialogService {
  int messages = 0;
  Answer MessageBox(QWidget*, const QString&, const QString&, Buttons, Icon) override {
    ++messages;
    return Answer::Ok;
  }
  QString GetOpenFileName(QWidget*, const QString&) override { return {}; }
  QString GetSaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
    return {};
  }
  bool ExecPrintDialog(QWidget*, QPrinter*) override { return false; }
  bool ExecPrintSetupDialog(QWidget*, QPrinter*) override { return false; }
};

CountingDialogs& Answers() {
  static CountingDialogs dialogs;
  return dialogs;
}

// Lines as an extraction yields them, one "needle" in each.
const QByteArray& MatchDocument() {
  static const QByteArray text = [] {
    QByteArray t;
    for (int i = 0; i < 100000; ++i)
      t += "Extracted run " + QByteArray::number(i) + " with a needle inside\n";
    return t;
  }();
  return text;
}

// 40 MB of text lines with the only "needle" at the very end.
const QByteArray& LargeDocument() {
  static const QByteArray text = [] {
    QByteArray t;
    t.reserve(40 << 20);
    const QByteArray line = "GetProcAddress LoadLibraryA kernel32.dll user32 MessageBoxA\n";
    while (t.size() + line.size() < (40 << 20) - 16)
      t += line;
    t += "needle\n";
    return t;
  }();
  return text;
}

void SetText(TRTFchild& window, const QByteArray& text) {
  window.Edit()->BeginFill();
  window.Edit()->Append(text.constData(), static_cast<std::size_t>(text.size()));
  window.Edit()->EndFill();
  window.Edit()->GoTo(0);
}

void BM_ReplaceAll100kMatches(benchmark::State& state) {
  TRTFchild window;
  window.show();
  window.ReplaceMenuClick();
  auto* dialog = static_cast<TReplaceDialog*>(window.ReplaceDialog());
  dialog->FindWhat->setText("needle");
  dialog->ReplaceWith->setText("thread");
  int before = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SetText(window, MatchDocument());
    before = Answers().messages;
    state.ResumeTiming();
    window.ReplaceDialogReplace(true);
  }
  const long length = window.Edit()->Length();
  if (length != MatchDocument().size() || Answers().messages != before + 1)
    state.SkipWithError("Replace All gave a wrong result");
  state.counters["matches"] = 100000;
}

// The longest time between two firings of a zero-interval timer, which
// fires each time events run.
class GapWatch {
public:
  GapWatch() {
    QObject::connect(&timer_, &QTimer::timeout,
                     [this] { longest_ = std::max(longest_, clock_.restart()); });
  }
  void Start() {
    longest_ = 0;
    clock_.start();
    timer_.start(0);
  }
  qint64 Stop() {
    timer_.stop();
    return std::max(longest_, clock_.elapsed());
  }

private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 longest_ = 0;
};

void BM_ReplaceAll40MiBLine(benchmark::State& state) {
  static const QByteArray line((40 << 20) - 1, 'a');
  TRTFchild window;
  window.show();
  GapWatch watch;
  qint64 longest = 0;
  int64_t after = 0;
  for (auto _ : state) {
    state.PauseTiming();
    SetText(window, line);
    state.ResumeTiming();
    watch.Start();
    after = window.Edit()->ReplaceAll(TextSearch("a", true, false), 0, "b");
    longest = std::max(longest, watch.Stop());
  }
  if (after != line.size() || window.Edit()->Range(0, 4) != "bbbb")
    state.SkipWithError("Replace All gave a wrong result");
  state.counters["matches"] = static_cast<double>(line.size());
  state.counters["longest_gap_ms"] = static_cast<double>(longest);
}

void BM_ReplaceAllPeer_QByteArrayReplace(benchmark::State& state) {
  for (auto _ : state) {
    QByteArray text = MatchDocument();
    text.replace("needle", "thread");
    benchmark::DoNotOptimize(text.data());
  }
}

void FindNextOver40MB(benchmark::State& state, bool matchCase) {
  TRTFchild window;
  window.show();
  SetText(window, LargeDocument());
  LastSearch().Text = QStringLiteral("needle");
  LastSearch().Options.MatchCase = matchCase;
  LastSearch().Options.WholeWord = false;
  const long expected = LargeDocument().size() - 7;
  for (auto _ : state) {
    state.PauseTiming();
    window.Edit()->GoTo(0);
    state.ResumeTiming();
    window.FindDialogFind(); // as the Find again item does
  }
  if (window.Edit()->SelectionStart() != expected)
    state.SkipWithError("Find Next missed the match");
  state.SetBytesProcessed(state.iterations() * LargeDocument().size());
}

void BM_FindNext40MB_MatchCase(benchmark::State& state) {
  FindNextOver40MB(state, true);
}
void BM_FindNext40MB_IgnoreCase(benchmark::State& state) {
  FindNextOver40MB(state, false);
}

void BM_FindNextPeer_QByteArrayIndexOf(benchmark::State& state) {
  const QByteArray& text = LargeDocument();
  for (auto _ : state)
    benchmark::DoNotOptimize(text.indexOf("needle"));
  state.SetBytesProcessed(state.iterations() * text.size());
}

void BM_FindNextPeer_IgnoreCaseSearch(benchmark::State& state) {
  const QByteArray& text = LargeDocument();
  const char needle[] = "needle";
  for (auto _ : state) {
    auto found = std::search(text.begin(), text.end(), needle, needle + 6, [](char a, char b) {
      return std::tolower(static_cast<unsigned char>(a)) ==
             std::tolower(static_cast<unsigned char>(b));
    });
    benchmark::DoNotOptimize(found);
  }
  state.SetBytesProcessed(state.iterations() * text.size());
}

BENCHMARK(BM_ReplaceAll100kMatches)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReplaceAll40MiBLine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReplaceAllPeer_QByteArrayReplace)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNext40MB_MatchCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNext40MB_IgnoreCase)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNextPeer_QByteArrayIndexOf)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindNextPeer_IgnoreCaseSearch)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  SetDialogs(&Answers());
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  SetDialogs(nullptr);
  return 0;
}
