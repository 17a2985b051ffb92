// A stand-in for the window layer: four single-line edit controls, the focus
// and the modal overflow warning, modelled on what the Win32 edit control does
// in everything the panel relies on. Deterministic and free of any test
// framework, so unit tests and fuzz targets can share it. edit_script_check.sh
// compares its edit model with wine's edit control.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "converter_panel.h"

class FakeHost : public PanelHost {
 public:
  struct Warning {
    FieldKind field;
    std::u16string text;
    std::u16string caption;
    uint32_t depth;  // key releases being handled when it came up (1 = outermost)
  };

  // Fresh start: Binary holds "0", selected, with the focus; the others are empty.
  explicit FakeHost(PanelState& state);

  // PanelHost
  bool FocusedField(FieldKind& kind) override;
  void ReadFieldText(FieldKind kind, char* buffer, uint32_t size) override;
  void WriteFieldText(FieldKind kind, const char* text) override;
  void FocusField(FieldKind kind) override;
  void Select(FieldKind kind, uint32_t start, uint32_t end) override;  // EM_SETSEL, clamped
  void ShowOverflowWarning(FieldKind kind, const char16_t* text, const char16_t* caption) override;
  void UndoField(FieldKind kind) override;
  void ResendKeyUp(FieldKind kind) override;
  void GetSelection(FieldKind kind, uint32_t& start, uint32_t& end) override;
  void ReplaceSelection(FieldKind kind, const char* text) override;
  void Beep() override;

  // Drivers: what a user or another program does.
  // Each byte is one keystroke in the focused field: WM_CHAR through the
  // panel, applied by the edit control when handed on, then the key release.
  void Type(const std::string& keys);
  void TypeByte(uint8_t code);
  ConverterPanel::Result KeyUp();  // a key that types nothing (Shift, an arrow)
  ConverterPanel::Result Paste(FieldKind target, const std::string& clip);
  // The text set as it is, with no notification: a window text ends at its
  // first NUL, and the undo is forgotten.
  void SetText(FieldKind kind, const std::string& text);
  void FocusNone();  // another window takes the focus
  // Changes from outside, as the window's procedures pass them on: WM_SETTEXT
  // (true when taken), EM_REPLACESEL with undo at the selection, EM_UNDO.
  bool SetTextFromOutside(FieldKind kind, const std::string& text);
  void ReplaceFromOutside(FieldKind kind, const std::string& text);
  void UndoFromOutside(FieldKind kind);
  // The main window activated or deactivated, as Windows tells it.
  void Activate(bool active);
  // The drawn minimise button used: Binary gets the focus from then on.
  void DrawnMinimise() { state_.MinimizedOnce = 1; }
  bool MinimizedOnce() const { return state_.MinimizedOnce != 0; }

  // Run while the overflow warning is up, before it is dismissed.
  std::function<void()> whileWarningUp;

  const std::string& Text(FieldKind kind) const { return Edit(kind).text; }
  bool HasFocus(FieldKind kind) const { return focus_ == static_cast<int>(kind); }
  bool FocusIsNone() const { return focus_ < 0; }

  std::vector<Warning> warnings;
  uint32_t beeps = 0;
  uint32_t maxNesting = 0;  // deepest key release, 1 = not nested
  static constexpr uint32_t kNestingCap = 16;  // deeper releases are not delivered

 private:
  struct EditControl {
    std::string text;
    uint32_t selStart = 0;
    uint32_t selEnd = 0;
    uint32_t limit = 0;
    // Single-level undo: the text removed by the last edit and the length of
    // the text it inserted, both at undoPosition.
    std::string undoText;
    uint32_t undoPosition = 0;
    uint32_t undoInsertCount = 0;
  };

  EditControl& Edit(FieldKind kind) { return edits_[static_cast<uint8_t>(kind)]; }
  const EditControl& Edit(FieldKind kind) const { return edits_[static_cast<uint8_t>(kind)]; }
  void ReplaceSel(EditControl& edit, const std::string& text);
  void ApplyChar(EditControl& edit, uint8_t code);
  ConverterPanel::Result RunKeyUp();

  PanelState& state_;
  EditControl edits_[FieldCount];
  int focus_ = 0;           // index of the focused field, -1 for another window
  uint32_t keyUpDepth_ = 0;
};
