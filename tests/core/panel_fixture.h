// Shared set-up for the panel tests: one panel state and the stand-in window
// layer, fresh for each test.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <string>

#include "converter_panel.h"
#include "fake_host.h"

constexpr FieldKind kBin = FieldKind::Binary;
constexpr FieldKind kOct = FieldKind::Octal;
constexpr FieldKind kDec = FieldKind::Decimal;
constexpr FieldKind kHex = FieldKind::Hexadecimal;

using Texts = std::array<std::string, FieldCount>;

inline Texts TextsOf(const FakeHost& host) {
  return {host.Text(kBin), host.Text(kOct), host.Text(kDec), host.Text(kHex)};
}

// What an overflow's undo of a whole entry leaves: that field empty, the
// others 0.
inline Texts EmptiedOthersZero(FieldKind field) {
  Texts texts = {"0", "0", "0", "0"};
  texts[static_cast<int>(field)] = "";
  return texts;
}

class PanelTest : public ::testing::Test {
 protected:
  Texts All() const { return TextsOf(host); }
  // Focus a field the way a click does, caret at the end of its text.
  void ClickEnd(FieldKind kind) {
    host.FocusField(kind);
    host.Select(kind, UINT32_MAX, UINT32_MAX);
  }

  PanelState state{};
  FakeHost host{state};
};
