// The codec on what it carries in real use: tasks saved as message files by
// the simulated mail client's own writer, from 2 KB to 2 MB, some with an
// attachment of random bytes that no longer compresses. Each benchmark runs
// over all files of one size (or the whole corpus) beside zlib's Huffman-only
// deflate and libdeflate's decompression of that deflate stream, and the
// summary gives the speed ratios per size and for the corpus from one run.
// With --benchmark_repetitions the summary keeps each benchmark's best run;
// --write-corpus=FOLDER writes the message files instead.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "english_text.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"
#include "sim/mail/msg_file.h"

#ifdef QX_HAVE_YARDSTICKS
#include "codec_yardsticks.h"
#endif

namespace {

using Bytes = std::vector<std::uint8_t>;
namespace mail = qx::sim::mail;

std::u16string widened(const Bytes& text) { return {text.begin(), text.end()}; }

// A shared task as the add-in saves it, with a body and an attachment (a
// share of the file, 0 for none) chosen so that the file comes to about
// `size` bytes.
Bytes messageFile(std::size_t size, double attachmentShare, unsigned seed) {
  mail::ItemData task = mail::ItemData::newTask();
  task.subject = u"Quarterly report: collect the figures of every branch";
  task.categories = u"Office; Reports";
  task.owner = u"Dana Whitfield";
  task.status = 1;
  task.percentComplete = 25;
  task.startDate = qx::DateValue{46000.375};
  task.dueDate = qx::DateValue{46014.5};
  task.userProperties.push_back({u"quendrilaxid", 1, qx::Variant(u"4F2A9C3E-17B0-4C55-9E21"), 0});
  task.userProperties.push_back({u"quendrilaxshare", 1, qx::Variant(u"Office tasks"), 0});
  const std::size_t overhead = mail::encodeMessageFile(task).size();
  const auto attachment = static_cast<std::size_t>(static_cast<double>(size) * attachmentShare);
  if (attachment > 0) {
    std::mt19937 rng(seed);
    mail::AttachmentData picture{1, u"photo.jpg", u"photo.jpg", Bytes(attachment)};
    for (auto& b : picture.content) b = static_cast<std::uint8_t>(rng());
    task.attachments.push_back(std::move(picture));
  }
  const std::size_t fixed = overhead + attachment + 64;
  const std::size_t bodyChars = size > fixed ? (size - fixed) / 2 : 16;
  task.body = widened(qx::bench::englishText(bodyChars, seed));
  return mail::encodeMessageFile(task);
}

struct Sample {
  Bytes file;
  Bytes stream;    // this codec's
  Bytes deflated;  // zlib's Huffman-only raw deflate
};

struct SizeClass {
  std::string name;
  std::vector<const Sample*> samples;
  std::size_t bytes = 0;
};

const std::size_t kSizes[] = {2 << 10, 4 << 10, 16 << 10, 64 << 10, 256 << 10, 1 << 20, 2 << 20};
// Per size: two tasks of text only and one whose attachment is most of it.
const double kAttachmentShares[] = {0.0, 0.0, 0.6};

std::string sizeName(std::size_t size) {
  return size >= (1 << 20) ? std::to_string(size >> 20) + "M" : std::to_string(size >> 10) + "K";
}

const std::vector<SizeClass>& classes() {
  static std::vector<Sample> samples;
  static std::vector<SizeClass> all;
  if (!all.empty()) return all;
  samples.reserve(std::size(kSizes) * std::size(kAttachmentShares));
  unsigned seed = 1;
  for (std::size_t size : kSizes) {
    for (double share : kAttachmentShares) {
      Sample s;
      s.file = messageFile(size, share, seed++);
      s.stream = *qx::huffmanCompress(s.file);
#ifdef QX_HAVE_YARDSTICKS
      s.deflated = qx::bench::Deflater().deflated(s.file);
#endif
      samples.push_back(std::move(s));
    }
  }
  SizeClass corpus{"corpus", {}, 0};
  SizeClass text{"text", {}, 0};
  SizeClass attached{"attached", {}, 0};
  std::size_t next = 0;
  for (std::size_t size : kSizes) {
    SizeClass c{sizeName(size), {}, 0};
    for (std::size_t i = 0; i < std::size(kAttachmentShares); ++i, ++next) {
      c.samples.push_back(&samples[next]);
      c.bytes += samples[next].file.size();
      for (SizeClass* whole : {&corpus, kAttachmentShares[i] > 0 ? &attached : &text}) {
        whole->samples.push_back(&samples[next]);
        whole->bytes += samples[next].file.size();
      }
    }
    all.push_back(std::move(c));
  }
  all.push_back(std::move(text));
  all.push_back(std::move(attached));
  all.push_back(std::move(corpus));
  return all;
}

std::size_t largestFile() {
  std::size_t largest = 0;
  for (const Sample* s : classes().back().samples) largest = std::max(largest, s->file.size());
  return largest;
}

void finish(benchmark::State& state, const SizeClass& c, std::size_t compressed) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.bytes));
  state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(c.bytes);
}

void qxCompress(benchmark::State& state, const SizeClass& c) {
  Bytes stream;
  std::size_t compressed = 0;
  for (auto _ : state) {
    compressed = 0;
    for (const Sample* s : c.samples) {
      if (!qx::huffmanCompressInto(s->file, stream)) state.SkipWithError("compression failed");
      compressed += stream.size();
      benchmark::DoNotOptimize(stream.data());
    }
  }
  finish(state, c, compressed);
}

void qxDecompress(benchmark::State& state, const SizeClass& c) {
  Bytes out(largestFile());
  std::size_t compressed = 0;
  for (const Sample* s : c.samples) compressed += s->stream.size();
  for (auto _ : state) {
    for (const Sample* s : c.samples) {
      if (!qx::huffmanDecompressInto(s->stream, out)) state.SkipWithError("decompression failed");
      benchmark::DoNotOptimize(out.data());
    }
  }
  for (const Sample* s : c.samples) {
    if (!qx::huffmanDecompressInto(s->stream, out) ||
        !std::equal(s->file.begin(), s->file.end(), out.begin())) {
      state.SkipWithError("round trip differs");
    }
  }
  finish(state, c, compressed);
}

#ifdef QX_HAVE_YARDSTICKS
void zlibDeflate(benchmark::State& state, const SizeClass& c) {
  qx::bench::Deflater d;
  Bytes out(d.bound(largestFile()));
  std::size_t compressed = 0;
  for (auto _ : state) {
    compressed = 0;
    for (const Sample* s : c.samples) {
      const std::size_t produced = d.deflateInto(s->file, out.data(), out.size());
      if (produced == 0) state.SkipWithError("deflate failed");
      compressed += produced;
      benchmark::DoNotOptimize(out.data());
    }
  }
  finish(state, c, compressed);
}

void libdeflateDecompress(benchmark::State& state, const SizeClass& c) {
  Bytes out(largestFile());
  std::size_t compressed = 0;
  for (const Sample* s : c.samples) compressed += s->deflated.size();
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    for (const Sample* s : c.samples) {
      if (libdeflate_deflate_decompress(d, s->deflated.data(), s->deflated.size(), out.data(),
                                        s->file.size(), nullptr) != LIBDEFLATE_SUCCESS) {
        state.SkipWithError("libdeflate failed");
      }
      benchmark::DoNotOptimize(out.data());
    }
  }
  libdeflate_free_decompressor(d);
  finish(state, c, compressed);
}
#endif

using Runner = void (*)(benchmark::State&, const SizeClass&);
struct Codec {
  const char* name;
  Runner run;
};

std::vector<Codec> codecs() {
  // Each codec beside its yardstick, so that both see the same load.
  return {
      {"qx_compress", qxCompress},
#ifdef QX_HAVE_YARDSTICKS
      {"zlib_huffman_deflate", zlibDeflate},
#endif
      {"qx_decompress", qxDecompress},
#ifdef QX_HAVE_YARDSTICKS
      {"libdeflate_decompress", libdeflateDecompress},
#endif
  };
}

void registerAll() {
  for (const SizeClass& c : classes()) {
    for (const Codec& codec : codecs()) {
      benchmark::RegisterBenchmark((std::string(codec.name) + "/" + c.name).c_str(),
                                   [run = codec.run, &c](benchmark::State& s) { run(s, c); })
          ->Unit(benchmark::kMicrosecond);
    }
  }
}

// Keeps the best MB/s of each benchmark over its repetitions.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> mbps;
  std::map<std::string, double> ratio;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const std::string name = run.run_name.function_name;
      const auto bps = run.counters.find("bytes_per_second");
      const auto r = run.counters.find("ratio");
      if (bps != run.counters.end()) mbps[name] = std::max(mbps[name], bps->second.value / 1e6);
      if (r != run.counters.end()) ratio[name] = r->second.value;
    }
  }
};

void printSummary(const SummaryReporter& rep) {
  auto get = [](const std::map<std::string, double>& m, const std::string& key) {
    const auto it = m.find(key);
    return it == m.end() ? 0.0 : it->second;
  };
  std::printf("\n%-7s %5s %9s | %8s %8s %6s | %8s %8s %6s | %6s %6s\n", "size", "files", "bytes",
              "qx comp", "zlib huf", "x", "qx dec", "libdefl", "x", "qx/in", "zl/in");
  for (const SizeClass& c : classes()) {
    const std::string suffix = "/" + c.name;
    const double qc = get(rep.mbps, "qx_compress" + suffix);
    const double zc = get(rep.mbps, "zlib_huffman_deflate" + suffix);
    const double qd = get(rep.mbps, "qx_decompress" + suffix);
    const double ld = get(rep.mbps, "libdeflate_decompress" + suffix);
    std::printf("%-7s %5zu %9zu | %8.0f %8.0f %6.2f | %8.0f %8.0f %6.2f | %6.3f %6.3f\n",
                c.name.c_str(), c.samples.size(), c.bytes, qc, zc, zc > 0 ? qc / zc : 0.0, qd, ld,
                ld > 0 ? qd / ld : 0.0, get(rep.ratio, "qx_compress" + suffix),
                get(rep.ratio, "zlib_huffman_deflate" + suffix));
  }
  std::printf(
      "MB/s of message file (CPU time); x = qx over zlib Huffman-only deflate (compression)\n"
      "and over libdeflate (decompression); qx/in, zl/in = compressed size over input.\n"
      "Each size: two tasks of text and one whose attachment of random bytes is 60%% of it;\n"
      "text and attached: those files of every size.\n");
}

}  // namespace

// Writes the corpus's message files into `folder`, for the comparison of
// whole programs (bench/codec_process.sh).
int writeCorpus(const std::string& folder) {
  int n = 0;
  for (const Sample* s : classes().back().samples) {
    const std::string path = folder + "/message" + std::to_string(++n) + ".msg";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr || std::fwrite(s->file.data(), 1, s->file.size(), f) != s->file.size() ||
        std::fclose(f) != 0) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}

int main(int argc, char** argv) {
  const std::string_view writeOption = "--write-corpus=";
  if (argc == 2 && std::string_view(argv[1]).starts_with(writeOption)) {
    return writeCorpus(std::string(std::string_view(argv[1]).substr(writeOption.size())));
  }
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
