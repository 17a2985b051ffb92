// The codec's parsers and formatters next to std::from_chars / std::to_chars
// on the same inputs in the same run. scripts/bench.sh turns the pairs into
// ratios (codec time / standard library time).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "radix_codec.h"

namespace {

constexpr size_t kCount = 1024;

// Values of every bit length from 1 to 32, so the texts cover short and
// full-width digit strings alike.
const std::vector<uint32_t>& Values() {
  static const std::vector<uint32_t> values = [] {
    std::mt19937 rng(12345);
    std::vector<uint32_t> v(kCount);
    for (size_t i = 0; i < kCount; ++i) {
      const uint32_t bits = 1 + static_cast<uint32_t>(i % 32);
      v[i] = static_cast<uint32_t>(rng()) >> (32 - bits);
    }
    return v;
  }();
  return values;
}

struct Texts {
  std::vector<char> bytes;  // kCount NUL-terminated texts, 36 bytes apart
  std::vector<uint32_t> lengths;
  const char* at(size_t i) const { return bytes.data() + 36 * i; }
};

const Texts& TextsOf(int radix) {
  static Texts texts[17];
  Texts& t = texts[radix];
  if (t.lengths.empty()) {
    t.bytes.assign(36 * kCount, 0);
    for (size_t i = 0; i < kCount; ++i) {
      char* p = t.bytes.data() + 36 * i;
      const auto r = std::to_chars(p, p + 35, Values()[i], radix);
      t.lengths.push_back(static_cast<uint32_t>(r.ptr - p));
    }
  }
  return t;
}

template <uint32_t (*Parse)(const char*), int Radix>
void BM_Parse(benchmark::State& state) {
  const Texts& t = TextsOf(Radix);
  for (auto _ : state) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kCount; ++i) sum += Parse(t.at(i));
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

// The standard parser is given each text's length for free, as its callers
// normally have it; the codec finds the NUL itself.
template <int Radix>
void BM_FromChars(benchmark::State& state) {
  const Texts& t = TextsOf(Radix);
  for (auto _ : state) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kCount; ++i) {
      uint32_t v = 0;
      std::from_chars(t.at(i), t.at(i) + t.lengths[i], v, Radix);
      sum += v;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

template <void (*Format)(char*, uint32_t)>
void BM_Format(benchmark::State& state) {
  const std::vector<uint32_t>& values = Values();
  char buffer[36];
  for (auto _ : state) {
    for (size_t i = 0; i < kCount; ++i) {
      Format(buffer, values[i]);
      benchmark::DoNotOptimize(buffer);
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

// to_chars writes no NUL and lower-case hexadecimal; the codec writes the NUL
// and upper case. The NUL is added here so both produce a usable C string.
template <int Radix>
void BM_ToChars(benchmark::State& state) {
  const std::vector<uint32_t>& values = Values();
  char buffer[36];
  for (auto _ : state) {
    for (size_t i = 0; i < kCount; ++i) {
      *std::to_chars(buffer, buffer + 35, values[i], Radix).ptr = '\0';
      benchmark::DoNotOptimize(buffer);
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kCount));
}

using namespace RadixCodec;
BENCHMARK(BM_Parse<ParseBinary, 2>)->Name("parse/2/codec");
BENCHMARK(BM_FromChars<2>)->Name("parse/2/std");
BENCHMARK(BM_Parse<ParseOctal, 8>)->Name("parse/8/codec");
BENCHMARK(BM_FromChars<8>)->Name("parse/8/std");
BENCHMARK(BM_Parse<ParseDecimal, 10>)->Name("parse/10/codec");
BENCHMARK(BM_FromChars<10>)->Name("parse/10/std");
BENCHMARK(BM_Parse<ParseHex, 16>)->Name("parse/16/codec");
BENCHMARK(BM_FromChars<16>)->Name("parse/16/std");
BENCHMARK(BM_Format<FormatBinary>)->Name("format/2/codec");
BENCHMARK(BM_ToChars<2>)->Name("format/2/std");
BENCHMARK(BM_Format<FormatOctal>)->Name("format/8/codec");
BENCHMARK(BM_ToChars<8>)->Name("format/8/std");
BENCHMARK(BM_Format<FormatDecimal>)->Name("format/10/codec");
BENCHMARK(BM_ToChars<10>)->Name("format/10/std");
BENCHMARK(BM_Format<FormatHex>)->Name("format/16/codec");
BENCHMARK(BM_ToChars<16>)->Name("format/16/std");

}  // namespace

BENCHMARK_MAIN();
