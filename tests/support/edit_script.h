// Random edit sequences for comparing the test host's edit-control model with
// a real edit control: the same seed gives the same operations on both sides.
// Plain C++ without the standard library, so the Windows side needs nothing.
#pragma once

#include <stdint.h>

namespace EditScript {

enum class Op : uint8_t { Char, Select, SetText, Undo, Replace };

struct Step {
  Op op;
  char code;         // Char: a hex digit or Backspace (8)
  uint32_t start;    // Select
  uint32_t end;
  char text[12];     // SetText, Replace: NUL-terminated hex digits
};

class Generator {
 public:
  explicit Generator(uint32_t seed) : state_(seed * 2654435761u + 1) {}

  Step Next() {
    static const char kDigits[] = "0123456789abcdef";
    Step step{};
    const uint32_t pick = Below(20);
    if (pick < 9) {
      step.op = Op::Char;
      step.code = Below(5) == 0 ? '\b' : kDigits[Below(16)];
    } else if (pick < 12) {
      step.op = Op::Select;
      step.start = Below(11);
      step.end = Below(11);
    } else if (pick < 14) {
      // Never empty: wine keeps the undo state when an empty field is given
      // an empty text, where Windows documents that WM_SETTEXT always
      // forgets it; the host follows Windows.
      step.op = Op::SetText;
      FillText(step.text, 1 + Below(10), kDigits);
    } else if (pick < 18) {
      step.op = Op::Undo;
    } else {
      step.op = Op::Replace;
      FillText(step.text, Below(6), kDigits);
    }
    return step;
  }

 private:
  uint32_t Below(uint32_t n) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_ % n;
  }
  void FillText(char* text, uint32_t length, const char* digits) {
    for (uint32_t i = 0; i < length; ++i) text[i] = digits[Below(16)];
    text[length] = '\0';
  }
  uint32_t state_;
};

// Sequences and steps per sequence of one comparison run.
inline constexpr uint32_t Sequences = 2000;
inline constexpr uint32_t StepsPerSequence = 40;
inline constexpr uint32_t Limit = 8;  // the hexadecimal field's

}  // namespace EditScript
