// Differential fuzz target for the radix codec. Every answer of the codec is
// checked against a reference built on other ground: std::from_chars and
// std::to_chars, and 64-bit arithmetic reduced modulo 2^32. The reference
// never looks at how the codec computes.
//
// Input layout: the first 4 bytes are a value for the formatters (missing
// bytes are 0); every following byte is text for the parsers and the
// overflow rules.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "radix_codec.h"

namespace {

[[noreturn]] void Fail(const char* what, const std::string& text, uint64_t got, uint64_t want) {
  std::fprintf(stderr, "MISMATCH %s: text \"%s\" got %llu want %llu\n", what, text.c_str(),
               static_cast<unsigned long long>(got), static_cast<unsigned long long>(want));
  std::abort();
}

struct Base {
  const char* name;
  int radix;
  uint32_t limit;  // the field's text limit
  const char* alphabet;
  uint32_t (*parse)(const char*);
  void (*format)(char*, uint32_t);
};

const Base kBases[] = {
    {"binary", 2, 32, "01", RadixCodec::ParseBinary, RadixCodec::FormatBinary},
    {"octal", 8, 11, "01234567", RadixCodec::ParseOctal, RadixCodec::FormatOctal},
    {"decimal", 10, 10, "0123456789", RadixCodec::ParseDecimal, RadixCodec::FormatDecimal},
    {"hex", 16, 8, "0123456789abcdefABCDEF", RadixCodec::ParseHex, RadixCodec::FormatHex},
};

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The value of any digit string modulo 2^32: what the field's bits hold after
// the digits above bit 31 are lost (or, for decimal, arithmetic mod 2^32).
uint32_t ReferenceModulo(const std::string& digits, int radix) {
  uint64_t v = 0;
  for (char c : digits) v = (v * static_cast<uint64_t>(radix) + static_cast<uint64_t>(DigitValue(c))) & 0xFFFFFFFFu;
  return static_cast<uint32_t>(v);
}

// Digits of a base: bytes that already are digits stay (so the fuzzer's
// comparison hints reach the codec unchanged), others map into the alphabet.
std::string DigitsOf(const Base& base, const uint8_t* data, size_t size) {
  const size_t n = std::strlen(base.alphabet);
  std::string s;
  for (size_t i = 0; i < size && s.size() < 40; ++i) {
    const char c = static_cast<char>(data[i]);
    s += std::memchr(base.alphabet, c, n) != nullptr && c != '\0' ? c : base.alphabet[data[i] % n];
  }
  return s;
}

void CheckParse(const Base& base, const std::string& digits) {
  const uint32_t got = base.parse(digits.c_str());
  const uint32_t want = ReferenceModulo(digits, base.radix);
  if (got != want) Fail(base.name, digits, got, want);

  // Within the field's limit the text fits in 32 bits exactly when from_chars
  // can read it as a uint32_t; then both must agree and the overflow rules
  // must stay quiet, otherwise the field's rule must fire.
  if (digits.empty() || digits.size() > base.limit) return;
  uint32_t exact = 0;
  const auto r = std::from_chars(digits.data(), digits.data() + digits.size(), exact, base.radix);
  const bool fits = r.ec == std::errc() && r.ptr == digits.data() + digits.size();
  if (fits && exact != got) Fail(base.name, digits, got, exact);
  bool rule = false;
  if (base.radix == 8) rule = RadixCodec::OctalOverflows(digits.c_str());
  if (base.radix == 10) rule = RadixCodec::DecimalOverflows(digits.c_str());
  if (base.radix == 2 || base.radix == 16) {
    if (!fits) Fail("binary/hex text within the limit does not fit", digits, 0, 1);
  } else if (rule == fits) {
    Fail(base.radix == 8 ? "OctalOverflows" : "DecimalOverflows", digits, rule, !fits);
  }
}

void CheckFormat(const Base& base, uint32_t value) {
  // The 36-byte text buffer the panel hands in, filled with a marker so that
  // writes past the NUL show.
  char buffer[36];
  std::memset(buffer, '#', sizeof buffer);
  base.format(buffer, value);
  char want[40];
  auto r = std::to_chars(want, want + sizeof want, value, base.radix);
  *r.ptr = '\0';
  for (char* p = want; *p; ++p)
    if (*p >= 'a' && *p <= 'f') *p = static_cast<char>(*p - 'a' + 'A');
  const size_t len = static_cast<size_t>(r.ptr - want);
  if (std::memcmp(buffer, want, len + 1) != 0) {
    buffer[sizeof buffer - 1] = '\0';
    Fail(base.name, std::string("format: ") + buffer + " vs " + want, value, value);
  }
  for (size_t i = len + 1; i < sizeof buffer; ++i)
    if (buffer[i] != '#') Fail("format wrote past its NUL", want, i, len);
  if (base.parse(buffer) != value) Fail("round trip", want, base.parse(buffer), value);
}

// Zero-padded text of n at the field's full width: the overflow rules only
// speak about full-width text, so the values either side of 2^32 are probed
// on every input rather than left for the mutator to find.
void CheckFullWidth(const Base& base, uint64_t n) {
  char digits[72];
  auto r = std::to_chars(digits, digits + sizeof digits, n, base.radix);
  if (r.ec != std::errc()) std::abort();
  std::string s(digits, r.ptr);
  if (s.size() > base.limit) return;
  CheckParse(base, std::string(base.limit - s.size(), '0') + s);
}

// Reference for CompareDigits: bytes as signed 8-bit values, first difference
// decides, NULs compared like any byte.
int ReferenceCompare(const char* a, const char* b, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    const auto x = static_cast<int8_t>(a[i]), y = static_cast<int8_t>(b[i]);
    if (x != y) return x > y ? 2 : 1;
  }
  return 0;
}

// Any byte folded as the codec's contract for text from outside states: the
// byte taken as signed, minus 48 ('0'), kept to 16 bits (hexadecimal letters:
// the byte AND 0x5F, minus 55), shifted in; decimal adds the difference
// modulo 256 instead.
uint32_t ReferenceFold(const char* text, int radix) {
  uint64_t v = 0;
  for (; *text; ++text) {
    const int byte = static_cast<int8_t>(*text);
    if (radix == 10) {
      v = v * 10 + static_cast<uint8_t>(byte - 48);
    } else {
      const int digit = radix == 16 && byte > '9' ? (byte & 0x5F) - 55 : byte - 48;
      const int shift = radix == 2 ? 1 : radix == 8 ? 3 : 4;
      v = (v << shift) | static_cast<uint16_t>(digit);
    }
    v &= 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(v);
}

void CheckRawText(const uint8_t* data, size_t size) {
  // Arbitrary bytes, as a paste could bring: the rules are defined on bytes.
  std::string raw(reinterpret_cast<const char*>(data), size);
  const char* t = raw.c_str();
  const uint32_t len = static_cast<uint32_t>(std::strlen(t));
  if (RadixCodec::TextLength(t) != len) Fail("TextLength", raw, RadixCodec::TextLength(t), len);

  const bool oct = len == 11 && static_cast<uint8_t>(t[0]) > '3';
  if (RadixCodec::OctalOverflows(t) != oct) Fail("OctalOverflows(raw)", raw, !oct, oct);
  const bool dec = len == 10 && ReferenceCompare("4294967295", t, 10) == 1;
  if (RadixCodec::DecimalOverflows(t) != dec) Fail("DecimalOverflows(raw)", raw, !dec, dec);

  // CompareDigits over the two halves of the input, both directions.
  if (size >= 2) {
    const uint32_t n = static_cast<uint32_t>(size / 2);
    const char* a = reinterpret_cast<const char*>(data);
    const char* b = a + n;
    if (RadixCodec::CompareDigits(a, b, n) != ReferenceCompare(a, b, n))
      Fail("CompareDigits", raw, static_cast<uint64_t>(RadixCodec::CompareDigits(a, b, n)),
           static_cast<uint64_t>(ReferenceCompare(a, b, n)));
    if (RadixCodec::CompareDigits(b, a, n) != ReferenceCompare(b, a, n))
      Fail("CompareDigits reversed", raw, 0, 0);
    if (RadixCodec::CompareDigits(a, a, n) != 0) Fail("CompareDigits self", raw, 1, 0);
  }

  // The parsers take text from outside the alphabet without reading past
  // its NUL (the sanitizers watch), folding each byte as radix_codec.h says.
  for (const Base& base : kBases) {
    const uint32_t want = ReferenceFold(t, base.radix);
    if (base.parse(t) != want) Fail(base.name, raw, base.parse(t), want);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4 && i < size; ++i) value |= static_cast<uint32_t>(data[i]) << (8 * i);
  for (const Base& base : kBases) {
    CheckFormat(base, value);
    CheckFormat(base, ~value);
  }
  const uint8_t* text = size > 4 ? data + 4 : data + size;
  const size_t textSize = size > 4 ? size - 4 : 0;
  for (const Base& base : kBases) CheckParse(base, DigitsOf(base, text, textSize));
  const int64_t delta = static_cast<int16_t>(value & 0xFFFF);
  for (const Base& base : kBases) {
    CheckFullWidth(base, value);
    CheckFullWidth(base, static_cast<uint64_t>(int64_t{0xFFFFFFFF} + delta));
  }
  CheckRawText(text, textSize);
  return 0;
}
