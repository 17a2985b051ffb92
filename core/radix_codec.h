// Conversion between an unsigned 32-bit value and digit text in bases 2, 8, 10
// and 16. Pure functions over caller-owned, NUL-terminated byte strings: no
// allocation, no global state, no platform headers, no C runtime.
#pragma once

#include <stdint.h>

namespace RadixCodec {

// Longest digit text each formatter produces, without the NUL.
inline constexpr uint32_t MaxBinaryDigits = 32;
inline constexpr uint32_t MaxOctalDigits = 11;
inline constexpr uint32_t MaxDecimalDigits = 10;
inline constexpr uint32_t MaxHexDigits = 8;

// Parsers read from the first byte up to the NUL, most significant digit
// first. Empty text is 0; leading zeros are fine; bits pushed above bit 31 are
// lost. They do not check their input: callers validate the alphabet first.
uint32_t ParseBinary(const char* text);
uint32_t ParseOctal(const char* text);
uint32_t ParseDecimal(const char* text);
uint32_t ParseHex(const char* text);  // accepts a-f and A-F alike

// Formatters write the digits (no leading zeros, upper-case hex, "0" for 0)
// and a NUL into buffer, which must hold at least Max*Digits + 1 bytes.
void FormatBinary(char* buffer, uint32_t value);
void FormatOctal(char* buffer, uint32_t value);
void FormatDecimal(char* buffer, uint32_t value);
void FormatHex(char* buffer, uint32_t value);

// Compares the first n (n >= 1) bytes of a and b as signed 8-bit values,
// without stopping at a NUL: 0 when equal, 2 when a is greater at the first
// difference, 1 when b is.
int CompareDigits(const char* a, const char* b, uint32_t n);

// Bytes before the first NUL.
uint32_t TextLength(const char* text);

// True for 11-digit octal text whose first digit is above 3 (>= 2^32).
bool OctalOverflows(const char* text);

// True for 10-digit decimal text greater than "4294967295".
bool DecimalOverflows(const char* text);

}  // namespace RadixCodec
