// Throughput of the block scanner beside the byte-by-byte scanner it must
// match, over about 64 MB of this machine's shared libraries held in memory,
// with the options that give GNU strings -a -n 5. The whole-program figures
// against GNU strings come from bench/bench_extract.sh.

#include "extract/ByteClassifier.h"
#include "extract/FileLineSink.h"
#include "extract/RunScanner.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t kCorpusBytes = 64u << 20;
constexpr std::size_t kBlockBytes = 1u << 20;

const std::vector<uint8_t>& Corpus() {
  static const std::vector<uint8_t> corpus = [] {
    std::vector<std::string> names;
    for (const char* dir :
         {"/usr/lib/x86_64-linux-gnu", "/usr/lib/aarch64-linux-gnu", "/usr/lib"}) {
      if (DIR* d = opendir(dir)) {
        while (dirent* e = readdir(d))
          if (std::string(e->d_name).find(".so") != std::string::npos)
            names.push_back(std::string(dir) + "/" + e->d_name);
        closedir(d);
      }
      if (!names.empty())
        break;
    }
    std::sort(names.begin(), names.end());
    std::vector<uint8_t> bytes;
    for (const std::string& name : names) {
      if (bytes.size() >= kCorpusBytes)
        break;
      std::ifstream in(name, std::ios::binary);
      bytes.insert(bytes.end(), std::istreambuf_iterator<char>(in), {});
    }
    bytes.resize(std::min(bytes.size(), kCorpusBytes));
    return bytes;
  }();
  return corpus;
}

TextOptions StringsOptions() {
  TextOptions o;
  o.MinChar = 4;
  o.Number = o.Space = o.Punct = o.Symbol = true;
  o.Other = "\t";
  return o;
}

// The lines of the corpus by the GNU strings options, each followed by '\n':
// a text file of the kind a pass over a binary writes, scanned again.
const std::vector<uint8_t>& TextCorpus();

class CountSink : public LineSink {
public:
  uint64_t lines = 0, bytes = 0;
  void Line(const char*, std::size_t length, uint64_t) override {
    ++lines;
    bytes += length;
  }
};

void Report(benchmark::State& state, const CountSink& sink) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * Corpus().size()));
  state.counters["lines"] =
      static_cast<double>(sink.lines) / static_cast<double>(state.iterations());
}

void BM_BytePath(benchmark::State& state) {
  const auto& corpus = Corpus();
  const TextOptions options = StringsOptions();
  CountSink sink;
  for (auto _ : state) {
    RunScanner scanner(options, sink);
    scanner.ResetScanner();
    for (uint8_t b : corpus)
      scanner.ScanByte(b);
    scanner.EmitRun();
  }
  Report(state, sink);
}

void BM_BlockPath(benchmark::State& state) {
  const auto& corpus = Corpus();
  const TextOptions options = StringsOptions();
  CountSink sink;
  for (auto _ : state) {
    RunScanner scanner(options, sink);
    scanner.ResetScanner();
    scanner.Classifier().UseKernel(static_cast<ByteClassifier::Kernel>(state.range(0)));
    for (std::size_t at = 0; at < corpus.size(); at += kBlockBytes)
      scanner.ScanBlock(corpus.data() + at, std::min(kBlockBytes, corpus.size() - at));
    scanner.EmitRun();
  }
  Report(state, sink);
}

// Scans `input` in blocks, every line written through the file sink to
// /dev/null, as the command-line extractor does.
void ToDevNull(benchmark::State& state, const std::vector<uint8_t>& input,
               const TextOptions& options) {
  for (auto _ : state) {
    FileLineSink sink;
    sink.Open("/dev/null");
    RunScanner scanner(options, sink);
    scanner.ResetScanner();
    for (std::size_t at = 0; at < input.size(); at += kBlockBytes)
      scanner.ScanBlock(input.data() + at, std::min(kBlockBytes, input.size() - at));
    scanner.EmitRun();
    sink.Close();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * input.size()));
}

void BM_BlockPathToDevNull(benchmark::State& state) {
  ToDevNull(state, Corpus(), StringsOptions());
}

// A text of lines: with the strings options a line is a run, which the
// input already holds as the output writes it; with the default options
// (letters only) runs end at '\n' and at other bytes in turn.
void BM_TextToDevNull(benchmark::State& state) {
  ToDevNull(state, TextCorpus(), state.range(0) ? StringsOptions() : TextOptions());
}

void BM_Classify(benchmark::State& state) {
  const auto& corpus = Corpus();
  AcceptTable table;
  BuildAcceptTable(StringsOptions(), table);
  ByteClassifier classifier;
  classifier.Build(table);
  classifier.UseKernel(static_cast<ByteClassifier::Kernel>(state.range(0)));
  std::vector<uint64_t> masks(kBlockBytes / 64);
  for (auto _ : state) {
    for (std::size_t at = 0; at + kBlockBytes <= corpus.size(); at += kBlockBytes)
      classifier.Classify(corpus.data() + at, masks.size(), masks.data());
    benchmark::DoNotOptimize(masks.data());
  }
  state.SetBytesProcessed(
      static_cast<int64_t>(state.iterations() * (corpus.size() / kBlockBytes) * kBlockBytes));
}

void Kernels(benchmark::internal::Benchmark* b) {
  for (auto k : {ByteClassifier::Kernel::Scalar, ByteClassifier::Kernel::Ssse3,
                 ByteClassifier::Kernel::Avx2})
    if (ByteClassifier::KernelSupported(k))
      b->Arg(static_cast<int>(k));
}

class TextSink : public LineSink {
public:
  std::vector<uint8_t> text;
  void Line(const char* data, std::size_t length, uint64_t) override {
    text.insert(text.end(), data, data + length);
    text.push_back('\n');
  }
};

const std::vector<uint8_t>& TextCorpus() {
  static const std::vector<uint8_t> text = [] {
    const TextOptions options = StringsOptions();
    TextSink sink;
    RunScanner scanner(options, sink);
    scanner.ResetScanner();
    scanner.ScanBlock(Corpus().data(), Corpus().size());
    scanner.EmitRun();
    return sink.text;
  }();
  return text;
}

} // namespace

BENCHMARK(BM_BytePath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockPath)->Apply(Kernels)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockPathToDevNull)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TextToDevNull)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Classify)->Apply(Kernels)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
