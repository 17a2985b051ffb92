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

// The standard parser is given each text's length for free, as its callers
// normally have it; the codec finds the NUL itself.
template <uint32_t (*Parse)(const char*)>
uint32_t Codec(const char* text, uint32_t) {
  return Parse(text);
}

template <int Radix>
uint32_t FromChars(const char* text, uint32_t length) {
  uint32_t v = 0;
  std::from_chars(text, text + length, v, Radix);
  return v;
}

// to_chars writes no NUL and lower-case hexadecimal; the codec writes the NUL
// and upper case. The NUL is added here so both produce a usable C string.
template <int Radix>
void ToChars(char* buffer, uint32_t value) {
  *std::to_chars(buffer, buffer + 35, value, Radix).ptr = '\0';
}

template <uint32_t (*Parse)(const char*, uint32_t), int Radix>
void BM_Parse(benchmark::State& state) {
  const Texts& t = TextsOf(Radix);
  for (auto _ : state) {
    uint32_t sum = 0;
    for (size_t i = 0; i < kCount; ++i) sum += Parse(t.at(i), t.lengths[i]);
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

using namespace RadixCodec;
// For each base: the codec's parser and formatter, each beside the standard
// library's.
#define QV_BENCH_BASE(Radix, Parse, Format)                                  \
  BENCHMARK(BM_Parse<Codec<Parse>, Radix>)->Name("parse/" #Radix "/codec");  \
  BENCHMARK(BM_Parse<FromChars<Radix>, Radix>)->Name("parse/" #Radix "/std"); \
  BENCHMARK(BM_Format<Format>)->Name("format/" #Radix "/codec");             \
  BENCHMARK(BM_Format<ToChars<Radix>>)->Name("format/" #Radix "/std")
QV_BENCH_BASE(2, ParseBinary, FormatBinary);
QV_BENCH_BASE(8, ParseOctal, FormatOctal);
QV_BENCH_BASE(10, ParseDecimal, FormatDecimal);
QV_BENCH_BASE(16, ParseHex, FormatHex);

}  // namespace

BENCHMARK_MAIN();
