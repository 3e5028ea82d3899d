// Throughput of the attachment codec on three kinds of input from 4 KB to
// 64 MB, beside zlib's Huffman-only deflate, its inflate and libdeflate's
// decompression of the same deflate stream. After the runs a summary gives
// MB/s side by side, the speed ratios and the compression ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "english_text.h"
#include "protocol/codec/huffman_compress.h"
#include "protocol/codec/huffman_decompress.h"

#ifdef QX_HAVE_YARDSTICKS
#include "codec_yardsticks.h"
#endif

namespace {

using qx::bench::englishText;
using qx::bench::kWords;
using Bytes = std::vector<std::uint8_t>;

// Like an executable or a data file: runs of zeros, small little-endian
// integers, machine-code-like opcode bytes, strings and some noise.
Bytes binaryData(std::size_t size) {
  std::mt19937 rng(2);
  std::geometric_distribution<int> small(0.02);
  const std::uint8_t opcodes[] = {0x48, 0x89, 0x8B, 0xE8, 0x0F, 0x85, 0x84, 0xC3, 0x83, 0xC7,
                                  0x45, 0x24, 0x74, 0xFF, 0x41, 0x5D, 0x31, 0xC0, 0x8D, 0x44};
  Bytes out;
  out.reserve(size + 256);
  while (out.size() < size) {
    switch (rng() % 5) {
      case 0:
        out.insert(out.end(), 4 + rng() % 60, 0);
        break;
      case 1:
        for (int i = 0; i < 16; ++i) {
          const auto v = static_cast<std::uint32_t>(small(rng));
          for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(v >> (8 * b)));
        }
        break;
      case 2:
        for (int i = 0; i < 48; ++i) out.push_back(opcodes[small(rng) % std::size(opcodes)]);
        break;
      case 3:
        for (const char* s = kWords[rng() % std::size(kWords)]; *s != '\0'; ++s) {
          out.push_back(static_cast<std::uint8_t>(*s));
        }
        out.push_back(0);
        break;
      default:
        for (int i = 0; i < 24; ++i) out.push_back(static_cast<std::uint8_t>(rng()));
        break;
    }
  }
  out.resize(size);
  return out;
}

// Tasks saved as message files: property headers, UTF-16 texts of field
// names and values, dates and flags, one task after another.
Bytes taskMessages(std::size_t size) {
  std::mt19937 rng(3);
  const char* const fields[] = {"Subject",      "Body",           "StartDate",  "DueDate",
                                "Status",       "Priority",       "Categories", "Owner",
                                "quendrilaxid", "PercentComplete"};
  Bytes out;
  out.reserve(size + 1024);
  auto utf16 = [&out](const std::string& text) {
    for (char c : text) {
      out.push_back(static_cast<std::uint8_t>(c));
      out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
  };
  while (out.size() < size) {
    const std::uint8_t header[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1, 0x00, 0x00,
                                   0x00, 0x00, 0x3E, 0x00, 0x03, 0x00, 0xFE, 0xFF, 0x09, 0x00};
    out.insert(out.end(), std::begin(header), std::end(header));
    for (const char* field : fields) {
      const std::uint32_t tag = 0x0037001Fu + (rng() % 64) * 0x10000u;
      for (int b = 0; b < 4; ++b) out.push_back(static_cast<std::uint8_t>(tag >> (8 * b)));
      utf16(field);
      std::string value;
      const int words = 1 + static_cast<int>(rng() % 12);
      for (int w = 0; w < words; ++w) {
        value += kWords[rng() % 64];
        value += ' ';
      }
      value += std::to_string(2026 - static_cast<int>(rng() % 3)) + "-" +
               std::to_string(1 + rng() % 12) + "-" + std::to_string(1 + rng() % 28);
      utf16(value);
      out.insert(out.end(), 8, 0);
    }
    out.insert(out.end(), 512 - out.size() % 512, 0);
  }
  out.resize(size);
  return out;
}

enum Kind { kText, kBinary, kTasks };
const char* const kKindNames[] = {"text", "binary", "tasks"};

const Bytes& input(Kind kind, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, Bytes> cache;
  auto& data = cache[{kind, size}];
  if (data.empty()) {
    data = kind == kText     ? englishText(size)
           : kind == kBinary ? binaryData(size)
                             : taskMessages(size);
  }
  return data;
}

const Bytes& qxStream(Kind kind, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, Bytes> cache;
  auto& stream = cache[{kind, size}];
  if (stream.empty()) stream = *qx::huffmanCompress(input(kind, size));
  return stream;
}

void setCommon(benchmark::State& state, std::size_t size, std::size_t compressed) {
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
  state.counters["ratio"] = static_cast<double>(compressed) / static_cast<double>(size);
}

void qxCompress(benchmark::State& state, Kind kind) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Bytes& data = input(kind, size);
  Bytes stream;
  for (auto _ : state) {
    if (!qx::huffmanCompressInto(data, stream)) state.SkipWithError("compression failed");
    benchmark::DoNotOptimize(stream.data());
  }
  setCommon(state, size, stream.size());
}

void qxDecompress(benchmark::State& state, Kind kind) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Bytes& stream = qxStream(kind, size);
  Bytes out(size);
  for (auto _ : state) {
    if (!qx::huffmanDecompressInto(stream, out)) state.SkipWithError("decompression failed");
    benchmark::DoNotOptimize(out.data());
  }
  if (out != input(kind, size)) state.SkipWithError("round trip differs");
  setCommon(state, size, stream.size());
}

#ifdef QX_HAVE_YARDSTICKS
const Bytes& deflateStream(Kind kind, std::size_t size) {
  static std::map<std::pair<int, std::size_t>, Bytes> cache;
  auto& stream = cache[{kind, size}];
  if (stream.empty()) stream = qx::bench::Deflater().deflated(input(kind, size));
  return stream;
}

void zlibDeflate(benchmark::State& state, Kind kind) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Bytes& data = input(kind, size);
  qx::bench::Deflater d;
  Bytes out(d.bound(size));
  std::size_t produced = 0;
  for (auto _ : state) {
    produced = d.deflateInto(data, out.data(), out.size());
    if (produced == 0) state.SkipWithError("deflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  setCommon(state, size, produced);
}

void zlibInflate(benchmark::State& state, Kind kind) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Bytes& stream = deflateStream(kind, size);
  Bytes out(size);
  z_stream z{};
  inflateInit2(&z, -15);
  for (auto _ : state) {
    inflateReset(&z);
    z.next_in = const_cast<Bytef*>(stream.data());
    z.avail_in = static_cast<uInt>(stream.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(size);
    if (inflate(&z, Z_FINISH) != Z_STREAM_END) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  inflateEnd(&z);
  setCommon(state, size, stream.size());
}

void libdeflateDecompress(benchmark::State& state, Kind kind) {
  const auto size = static_cast<std::size_t>(state.range(0));
  const Bytes& stream = deflateStream(kind, size);
  Bytes out(size);
  libdeflate_decompressor* d = libdeflate_alloc_decompressor();
  for (auto _ : state) {
    if (libdeflate_deflate_decompress(d, stream.data(), stream.size(), out.data(), size, nullptr) !=
        LIBDEFLATE_SUCCESS) {
      state.SkipWithError("libdeflate failed");
    }
    benchmark::DoNotOptimize(out.data());
  }
  libdeflate_free_decompressor(d);
  if (out != input(kind, size)) state.SkipWithError("round trip differs");
  setCommon(state, size, stream.size());
}
#endif

const std::int64_t kSizes[] = {4 << 10, 64 << 10, 1 << 20, 16 << 20, 64 << 20};

void registerAll() {
  using Fn = void (*)(benchmark::State&, Kind);
  std::vector<std::pair<const char*, Fn>> codecs = {{"qx_compress", qxCompress},
                                                    {"qx_decompress", qxDecompress}};
#ifdef QX_HAVE_YARDSTICKS
  codecs.push_back({"zlib_huffman_deflate", zlibDeflate});
  codecs.push_back({"zlib_inflate", zlibInflate});
  codecs.push_back({"libdeflate_decompress", libdeflateDecompress});
#endif
  for (int kind = kText; kind <= kTasks; ++kind) {
    for (const auto& [name, fn] : codecs) {
      auto* b = benchmark::RegisterBenchmark(
          (std::string(name) + "/" + kKindNames[kind]).c_str(),
          [fn = fn, kind](benchmark::State& s) { fn(s, static_cast<Kind>(kind)); });
      for (std::int64_t size : kSizes) b->Arg(size);
      b->Unit(benchmark::kMicrosecond);
    }
  }
}

// Collects MB/s per benchmark for the summary.
class SummaryReporter : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, double> mbps;
  std::map<std::string, double> ratio;
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
      const auto bps = run.counters.find("bytes_per_second");
      const auto r = run.counters.find("ratio");
      if (bps != run.counters.end()) mbps[run.benchmark_name()] = bps->second.value / 1e6;
      if (r != run.counters.end()) ratio[run.benchmark_name()] = r->second.value;
    }
  }
};

void printSummary(const SummaryReporter& rep) {
  auto get = [](const std::map<std::string, double>& m, const std::string& key) {
    const auto it = m.find(key);
    return it == m.end() ? 0.0 : it->second;
  };
  std::printf("\n%-7s %9s | %9s %9s %6s | %9s %9s %9s %6s | %7s %7s\n", "input", "size", "qx comp",
              "zlib huf", "x", "qx dec", "inflate", "libdefl", "x", "qx/in", "zl/in");
  for (int kind = kText; kind <= kTasks; ++kind) {
    for (std::int64_t size : kSizes) {
      const std::string suffix = std::string("/") + kKindNames[kind] + "/" + std::to_string(size);
      const double qc = get(rep.mbps, "qx_compress" + suffix);
      const double zc = get(rep.mbps, "zlib_huffman_deflate" + suffix);
      const double qd = get(rep.mbps, "qx_decompress" + suffix);
      const double zi = get(rep.mbps, "zlib_inflate" + suffix);
      const double ld = get(rep.mbps, "libdeflate_decompress" + suffix);
      std::printf("%-7s %9lld | %9.0f %9.0f %6.2f | %9.0f %9.0f %9.0f %6.2f | %7.3f %7.3f\n",
                  kKindNames[kind], static_cast<long long>(size), qc, zc, zc > 0 ? qc / zc : 0.0,
                  qd, zi, ld, ld > 0 ? qd / ld : 0.0, get(rep.ratio, "qx_compress" + suffix),
                  get(rep.ratio, "zlib_huffman_deflate" + suffix));
    }
  }
  std::printf(
      "MB/s of uncompressed data; x = qx over zlib Huffman-only deflate (compression)\n"
      "and over libdeflate (decompression); qx/in, zl/in = compressed size over input.\n");
}

}  // namespace

int main(int argc, char** argv) {
  registerAll();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  SummaryReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  printSummary(reporter);
  benchmark::Shutdown();
  return 0;
}
