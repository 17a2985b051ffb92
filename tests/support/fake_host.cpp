#include "fake_host.h"

#include <algorithm>

using ConverterPanel::Result;

FakeHost::FakeHost(PanelState& state) : state_(state) {
  for (uint32_t i = 0; i < FieldCount; ++i) {
    const FieldRow& row = FieldTable[i];
    edits_[i].limit = row.textLimit;
    edits_[i].text = row.initialText;
  }
  Select(FieldKind::Binary, 0, UINT32_MAX);
}

bool FakeHost::FocusedField(FieldKind& kind) {
  if (focus_ < 0) return false;
  kind = static_cast<FieldKind>(focus_);
  return true;
}

void FakeHost::ReadFieldText(FieldKind kind, char* buffer, uint32_t size) {
  if (size == 0) return;
  const std::string& text = Edit(kind).text;
  const size_t n = std::min<size_t>(text.size(), size - 1);
  text.copy(buffer, n);
  buffer[n] = '\0';
}

void FakeHost::WriteFieldText(FieldKind kind, const char* text) {
  SetText(kind, text == nullptr ? std::string() : std::string(text));
}

// As SetFocus does, the field is told it got the focus (WM_SETFOCUS).
void FakeHost::FocusField(FieldKind kind) {
  focus_ = static_cast<int>(kind);
  ConverterPanel::OnFieldFocus(state_, kind);
}

// The box takes the activation from the main window and then the focus; its
// closing activates the main window again, whose activation handling puts
// the focus back into a field.
void FakeHost::ShowOverflowWarning(FieldKind kind, const char16_t* text,
                                   const char16_t* caption) {
  warnings.push_back({kind, text, caption, keyUpDepth_});
  Activate(false);
  focus_ = -1;
  if (whileWarningUp) {
    const std::function<void()> during = std::move(whileWarningUp);
    during();
  }
  Activate(true);
}

void FakeHost::UndoField(FieldKind kind) {
  EditControl& edit = Edit(kind);
  const std::string restore = edit.undoText;
  Select(kind, edit.undoPosition, edit.undoPosition + edit.undoInsertCount);
  edit.undoText.clear();
  edit.undoInsertCount = 0;
  ReplaceSel(edit, restore);
  // Undo leaves the text it put back selected, so a second undo redoes.
  Select(kind, edit.undoPosition, edit.undoPosition + edit.undoInsertCount);
}

void FakeHost::ResendKeyUp(FieldKind /*kind*/) { RunKeyUp(); }

void FakeHost::GetSelection(FieldKind kind, uint32_t& start, uint32_t& end) {
  const EditControl& edit = Edit(kind);
  start = std::min(edit.selStart, edit.selEnd);
  end = std::max(edit.selStart, edit.selEnd);
}

void FakeHost::ReplaceSelection(FieldKind kind, const char* text) {
  ReplaceSel(Edit(kind), text);
}

void FakeHost::Beep() { ++beeps; }

// The edit control's replace-selection step, within the field's limit and
// with its undo bookkeeping: consecutive insertions at one place merge into
// one undoable edit, consecutive deletions extend the deleted text. (Text set
// from outside goes through SetText, which forgets the undo state.)
void FakeHost::ReplaceSel(EditControl& edit, const std::string& insert) {
  const uint32_t s = std::min(edit.selStart, edit.selEnd);
  const uint32_t e = std::max(edit.selStart, edit.selEnd);
  uint32_t count = static_cast<uint32_t>(insert.size());
  if (s == e && count == 0) return;
  const uint32_t kept = static_cast<uint32_t>(edit.text.size()) - (e - s);
  if (kept + count > edit.limit) {
    count = edit.limit < kept ? 0 : std::min(count, edit.limit - kept);
  }

  if (e != s) {
    const std::string removed = edit.text.substr(s, e - s);
    edit.text.erase(s, e - s);
    if (edit.undoInsertCount == 0 && !edit.undoText.empty() && s == edit.undoPosition) {
      edit.undoText += removed;  // Delete pressed again
    } else if (edit.undoInsertCount == 0 && !edit.undoText.empty() && e == edit.undoPosition) {
      edit.undoText.insert(0, removed);  // Backspace pressed again
      edit.undoPosition = s;
    } else {
      edit.undoText = removed;
      edit.undoPosition = s;
    }
    edit.undoInsertCount = 0;
  }
  if (count != 0) {
    edit.text.insert(s, insert, 0, count);
    if (s == edit.undoPosition ||
               (edit.undoInsertCount != 0 && s == edit.undoPosition + edit.undoInsertCount)) {
      edit.undoInsertCount += count;
    } else {
      edit.undoPosition = s;
      edit.undoInsertCount = count;
      edit.undoText.clear();
    }
  }
  edit.selStart = edit.selEnd = s + count;
}

void FakeHost::ApplyChar(EditControl& edit, uint8_t code) {
  if (code == 8) {
    if (edit.selStart == edit.selEnd) {
      if (edit.selEnd == 0) return;
      edit.selStart = edit.selEnd - 1;
    }
    ReplaceSel(edit, std::string());
  } else if (code >= ' ' && code != 127) {
    ReplaceSel(edit, std::string(1, static_cast<char>(code)));
  }
  // Other control characters (Esc among them) insert nothing.
}

Result FakeHost::RunKeyUp() {
  ++keyUpDepth_;
  maxNesting = std::max(maxNesting, keyUpDepth_);
  // A real window would recurse until its stack ran out; stop well before,
  // so a runaway shows as a count instead of a crash.
  if (keyUpDepth_ > kNestingCap) {
    --keyUpDepth_;
    return Result::Done;
  }
  const Result result = ConverterPanel::OnFieldKeyUp(*this, state_);
  --keyUpDepth_;
  return result;
}

void FakeHost::Type(const std::string& keys) {
  for (char c : keys) TypeByte(static_cast<uint8_t>(c));
}

void FakeHost::TypeByte(uint8_t code) {
  if (ConverterPanel::OnFieldChar(*this, state_, code) == Result::HandOn && focus_ >= 0) {
    ApplyChar(edits_[focus_], code);
  }
  RunKeyUp();
}

Result FakeHost::KeyUp() { return RunKeyUp(); }

Result FakeHost::Paste(FieldKind target, const std::string& clip) {
  return ConverterPanel::OnFieldPaste(*this, state_, target, clip.c_str());
}

void FakeHost::SetText(FieldKind kind, const std::string& text) {
  EditControl& edit = Edit(kind);
  edit.text.assign(text.c_str());  // a window text ends at its first NUL
  edit.undoText.clear();
  edit.undoInsertCount = 0;
  edit.selStart = edit.selEnd = 0;
}

void FakeHost::Select(FieldKind kind, uint32_t start, uint32_t end) {
  EditControl& edit = Edit(kind);
  const uint32_t length = static_cast<uint32_t>(edit.text.size());
  edit.selStart = std::min(start, length);
  edit.selEnd = std::min(end, length);
}

void FakeHost::FocusNone() { focus_ = -1; }

bool FakeHost::SetTextFromOutside(FieldKind kind, const std::string& text) {
  if (!ConverterPanel::OnFieldSetText(*this, state_, kind, text.c_str())) return false;
  SetText(kind, text);
  ConverterPanel::OnFieldChanged(*this, state_, kind);
  return true;
}

void FakeHost::ReplaceFromOutside(FieldKind kind, const std::string& text) {
  ReplaceSel(Edit(kind), text);
  ConverterPanel::OnFieldChanged(*this, state_, kind);
}

void FakeHost::UndoFromOutside(FieldKind kind) {
  UndoField(kind);
  ConverterPanel::OnFieldChanged(*this, state_, kind);
}

void FakeHost::Activate(bool active) { ConverterPanel::OnWindowActivation(*this, state_, active); }
