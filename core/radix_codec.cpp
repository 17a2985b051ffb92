#include "radix_codec.h"

namespace RadixCodec {

namespace {

// The largest value as decimal digit text; a 10-digit text above it does not
// fit in 32 bits.
constexpr char MaxDecimalText[] = "4294967295";

// A digit byte folded the way the parsers have always folded it: the byte is
// taken as signed, and the result keeps 16 bits. For the field alphabets this
// is simply the digit's value; foreign bytes (only reachable through text the
// fields did not filter) land in the low 16 bits without a check.
inline uint32_t Fold(char byte) {
  const int signedByte = static_cast<signed char>(byte);
  return static_cast<uint16_t>(signedByte - 48);
}

inline uint32_t FoldHex(char byte) {
  const int signedByte = static_cast<signed char>(byte);
  if (signedByte <= '9') return static_cast<uint16_t>(signedByte - 48);
  // Clearing bit 5 upper-cases a-f, so both cases give 10..15.
  return static_cast<uint16_t>((signedByte & 0x5F) - 55);
}

// Digits of value least significant first, then reversed in place.
// mask/shift give the power-of-two bases; shift 0 means base 10.
void Format(char* buffer, uint32_t value, uint32_t mask, uint32_t shift) {
  uint32_t count = 0;
  do {
    uint32_t digit;
    if (shift == 0) {
      digit = value % 10u;
      value /= 10u;
    } else {
      digit = value & mask;
      value >>= shift;
    }
    buffer[count++] = static_cast<char>(digit < 10 ? digit + 48 : digit + 7 + 48);
  } while (value != 0);
  buffer[count] = '\0';
  for (uint32_t left = 0, right = count - 1; left < right; ++left, --right) {
    const char swap = buffer[left];
    buffer[left] = buffer[right];
    buffer[right] = swap;
  }
}

}  // namespace

uint32_t ParseBinary(const char* text) {
  uint32_t value = 0;
  for (; *text != '\0'; ++text) value = (value << 1) | Fold(*text);
  return value;
}

uint32_t ParseOctal(const char* text) {
  uint32_t value = 0;
  for (; *text != '\0'; ++text) value = (value << 3) | Fold(*text);
  return value;
}

uint32_t ParseDecimal(const char* text) {
  uint32_t value = 0;
  for (; *text != '\0'; ++text) {
    value = value * 10u + static_cast<uint8_t>(*text - 48);
  }
  return value;
}

uint32_t ParseHex(const char* text) {
  uint32_t value = 0;
  for (; *text != '\0'; ++text) value = (value << 4) | FoldHex(*text);
  return value;
}

void FormatBinary(char* buffer, uint32_t value) { Format(buffer, value, 1, 1); }
void FormatOctal(char* buffer, uint32_t value) { Format(buffer, value, 7, 3); }
void FormatDecimal(char* buffer, uint32_t value) { Format(buffer, value, 0, 0); }
void FormatHex(char* buffer, uint32_t value) { Format(buffer, value, 15, 4); }

int CompareDigits(const char* a, const char* b, uint32_t n) {
  for (uint32_t i = 0; i < n; ++i) {
    const signed char left = static_cast<signed char>(a[i]);
    const signed char right = static_cast<signed char>(b[i]);
    if (left != right) return left > right ? 2 : 1;
  }
  return 0;
}

uint32_t TextLength(const char* text) {
  uint32_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

bool OctalOverflows(const char* text) {
  // 4 * 8^10 is 2^32: eleven digits fit only while the first is at most 3.
  return TextLength(text) == MaxOctalDigits && static_cast<uint8_t>(text[0]) > '3';
}

bool DecimalOverflows(const char* text) {
  return TextLength(text) == MaxDecimalDigits &&
         CompareDigits(MaxDecimalText, text, MaxDecimalDigits) == 1;
}

}  // namespace RadixCodec
