#include "radix_codec.h"

#include <gtest/gtest.h>

#include <charconv>
#include <random>
#include <string>
#include <vector>

using namespace RadixCodec;

namespace {

using Parser = uint32_t (*)(const char*);
using Formatter = void (*)(char*, uint32_t);

struct Base {
  int radix;
  Parser parse;
  Formatter format;
};
const Base kBases[] = {
    {2, ParseBinary, FormatBinary},
    {8, ParseOctal, FormatOctal},
    {10, ParseDecimal, FormatDecimal},
    {16, ParseHex, FormatHex},
};

std::string Formatted(Formatter format, uint32_t value) {
  char buffer[40];
  for (char& c : buffer) c = '#';
  format(buffer, value);
  return buffer;
}

// Each row: what fn answers for text.
template <typename Result>
struct Row {
  Result (*fn)(const char*);
  const char* text;
  Result want;
};

template <typename Result>
void ExpectRows(std::initializer_list<Row<Result>> rows) {
  for (const Row<Result>& row : rows) {
    SCOPED_TRACE(row.text);
    EXPECT_EQ(row.fn(row.text), row.want);
  }
}

// Digit text as the standard library writes it, hex in upper case.
std::string Reference(uint32_t value, int radix) {
  char buffer[40];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, radix);
  std::string text(buffer, result.ptr);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

TEST(RadixCodecFormat, EdgeValuesInEveryBase) {
  struct Case {
    uint32_t value;
    const char* binary;
    const char* octal;
    const char* decimal;
    const char* hex;
  };
  const Case cases[] = {
      {0, "0", "0", "0", "0"},
      {1, "1", "1", "1", "1"},
      {255, "11111111", "377", "255", "FF"},
      {131072, "100000000000000000", "400000", "131072", "20000"},
      {524288, "10000000000000000000", "2000000", "524288", "80000"},
      {1048576, "100000000000000000000", "4000000", "1048576", "100000"},
      {1234567890, "1001001100101100000001011010010", "11145401322", "1234567890", "499602D2"},
      {0x80000000u, "10000000000000000000000000000000", "20000000000", "2147483648", "80000000"},
      {0xFFFFFFFFu, "11111111111111111111111111111111", "37777777777", "4294967295", "FFFFFFFF"},
      {0xABCDEF01u, "10101011110011011110111100000001", "25363367401", "2882400001", "ABCDEF01"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Formatted(FormatBinary, c.value), c.binary);
    EXPECT_EQ(Formatted(FormatOctal, c.value), c.octal);
    EXPECT_EQ(Formatted(FormatDecimal, c.value), c.decimal);
    EXPECT_EQ(Formatted(FormatHex, c.value), c.hex);
  }
}

TEST(RadixCodecParse, DigitTexts) {
  ExpectRows<uint32_t>({
      {ParseBinary, "", 0},
      {ParseOctal, "", 0},
      {ParseDecimal, "", 0},
      {ParseHex, "", 0},
      {ParseBinary, "0001", 1},
      {ParseBinary, "11111111111111111111111111111111", 0xFFFFFFFFu},
      {ParseBinary, "10000000000000000000000000000000", 0x80000000u},
      {ParseOctal, "37777777777", 0xFFFFFFFFu},
      {ParseOctal, "00000000000", 0},
      {ParseOctal, "007", 7},
      {ParseDecimal, "4294967295", 0xFFFFFFFFu},
      {ParseDecimal, "2147483648", 0x80000000u},
      {ParseDecimal, "0000000001", 1},
      {ParseDecimal, "0999999999", 999999999},
      {ParseHex, "ff", 255},
      {ParseHex, "FF", 255},
      {ParseHex, "aBcDeF01", 0xABCDEF01u},
      {ParseHex, "00000010", 16},
      // Without a field's limit the arithmetic wraps modulo 2^32.
      {ParseDecimal, "4294967296", 0},
      {ParseDecimal, "5000000000", 705032704},
      {ParseOctal, "40000000001", 1},
      {ParseHex, "123456789", 0x23456789u},
  });
}

// Bytes outside the alphabets are folded without a check: as a signed byte
// minus 48 kept to 16 bits (hex letters: (byte AND 0x5F) - 55), decimal adds
// the difference modulo 256.
TEST(RadixCodecParse, ForeignBytesKeepTheirArithmetic) {
  ExpectRows<uint32_t>({
      {ParseBinary, "2", 2},
      {ParseBinary, "1\x80", (1u << 1) | 0xFF50u},
      {ParseBinary, " ", 0xFFF0u},
      {ParseOctal, "9", 9},
      {ParseOctal, "\xFF", 0xFFCFu},
      {ParseOctal, "7/", (7u << 3) | 0xFFFFu},
      {ParseHex, "g", 16},
      {ParseHex, ":", 0xFFE3u},
      {ParseHex, "\xB0", 0xFF80u},
      {ParseHex, "1-", (1u << 4) | 0xFFFDu},
      {ParseDecimal, "/", 255},
      {ParseDecimal, "1\x80", 10 + 80},
      {ParseDecimal, "a", 49},
  });
}

TEST(RadixCodecOverflow, OctalAndDecimalRules) {
  ExpectRows<bool>({
      {OctalOverflows, "37777777777", false},
      {OctalOverflows, "00000000000", false},
      {OctalOverflows, "40000000000", true},
      {OctalOverflows, "77777777777", true},
      {OctalOverflows, "7777777777", false},
      {OctalOverflows, "", false},
      {DecimalOverflows, "4294967295", false},
      {DecimalOverflows, "0999999999", false},
      {DecimalOverflows, "0000000001", false},
      {DecimalOverflows, "4294967296", true},
      {DecimalOverflows, "4294967300", true},
      {DecimalOverflows, "5000000000", true},
      {DecimalOverflows, "9999999999", true},
      {DecimalOverflows, "999999999", false},
      {DecimalOverflows, "", false},
  });
}

TEST(RadixCodecCompare, SignedBytesAndNoStopAtNul) {
  EXPECT_EQ(CompareDigits("123", "123", 3), 0);
  EXPECT_EQ(CompareDigits("124", "123", 3), 2);
  EXPECT_EQ(CompareDigits("123", "133", 3), 1);
  EXPECT_EQ(CompareDigits("12", "13", 1), 0);  // only n bytes count
  EXPECT_EQ(CompareDigits("1\0" "5", "1\0" "4", 3), 2);  // walks past the NUL
  EXPECT_EQ(CompareDigits("\x80", "1", 1), 1);  // 0x80 is -128
  EXPECT_EQ(CompareDigits("1", "\xFF", 1), 2);
  EXPECT_EQ(TextLength(""), 0u);
  EXPECT_EQ(TextLength("4294967295"), 10u);
  EXPECT_EQ(TextLength("ab\0cd"), 2u);
}

// Every formatter and parser against std::to_chars/from_chars over edge and
// random values; parsers also see leading zeros and lower-case hex.
TEST(RadixCodecDifferential, RandomValuesAgainstStandardLibrary) {
  std::vector<uint32_t> values = {0, 1, 7, 8, 9, 10, 15, 16, 0x7FFFFFFFu, 0x80000000u,
                                  0xFFFFFFFEu, 0xFFFFFFFFu, 999999999, 1000000000};
  for (uint32_t bit = 0; bit < 32; ++bit) {
    values.push_back(1u << bit);
    values.push_back((1u << bit) - 1);
  }
  std::mt19937 random(20261208);
  while (values.size() < 200000) {
    const uint32_t v = random();
    values.push_back(v >> (random() % 32));  // spread over all lengths
  }
  const uint32_t maxDigits[] = {MaxBinaryDigits, MaxOctalDigits, MaxDecimalDigits, MaxHexDigits};
  uint32_t failures = 0;
  for (uint32_t value : values) {
    for (int b = 0; b < 4; ++b) {
      const Base& base = kBases[b];
      const std::string want = Reference(value, base.radix);
      const std::string got = Formatted(base.format, value);
      std::string padded = std::string(maxDigits[b] - want.size(), '0') + want;
      if (base.radix == 16) {
        for (char& c : padded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      }
      if (got != want || base.parse(want.c_str()) != value || base.parse(padded.c_str()) != value) {
        if (++failures <= 10) ADD_FAILURE() << "value " << value << " radix " << base.radix;
      }
    }
  }
  EXPECT_EQ(failures, 0u);
}

// The overflow rules against the exact value of random 10-digit decimal and
// 11-digit octal texts, leading zeros included.
TEST(RadixCodecDifferential, OverflowRulesMatchExactValue) {
  std::mt19937 random(4294967);
  uint32_t failures = 0;
  // The largest value and the one above it first, then random texts.
  const char* const edges[][2] = {{"4294967295", "37777777777"}, {"4294967296", "40000000000"}};
  for (int i = 0; i < 100000; ++i) {
    std::string decimal, octal;
    for (int d = 0; d < 10; ++d) decimal += static_cast<char>('0' + random() % 10);
    for (int d = 0; d < 11; ++d) octal += static_cast<char>('0' + random() % 8);
    if (i % 3 == 0) decimal.replace(0, 3, "429");  // stay near the edge
    if (i < 2) {
      decimal = edges[i][0];
      octal = edges[i][1];
    }
    uint64_t decimalValue = 0, octalValue = 0;
    std::from_chars(decimal.data(), decimal.data() + decimal.size(), decimalValue, 10);
    std::from_chars(octal.data(), octal.data() + octal.size(), octalValue, 8);
    if (DecimalOverflows(decimal.c_str()) != (decimalValue > 0xFFFFFFFFu) ||
        OctalOverflows(octal.c_str()) != (octalValue > 0xFFFFFFFFu)) {
      if (++failures <= 10) ADD_FAILURE() << decimal << " / " << octal;
    }
  }
  EXPECT_EQ(failures, 0u);
}

}  // namespace
