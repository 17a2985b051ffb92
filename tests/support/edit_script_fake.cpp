// Runs the edit sequences against the test host's Hexadecimal field and
// prints the text and selection after every step. Compare with the output of
// edit_script_win.exe (a real edit control) using edit_script_check.sh.
#include <cstdio>

#include "edit_script.h"
#include "fake_host.h"

int main() {
  for (uint32_t seq = 0; seq < EditScript::Sequences; ++seq) {
    PanelState state{};
    FakeHost host(state);
    const FieldKind hex = FieldKind::Hexadecimal;
    host.FocusField(hex);
    EditScript::Generator generator(seq);
    for (uint32_t i = 0; i < EditScript::StepsPerSequence; ++i) {
      const EditScript::Step step = generator.Next();
      switch (step.op) {
        case EditScript::Op::Char: host.TypeByte(static_cast<uint8_t>(step.code)); break;
        case EditScript::Op::Select: host.Select(hex, step.start, step.end); break;
        case EditScript::Op::SetText: host.SetText(hex, step.text); break;
        case EditScript::Op::Undo: host.UndoField(hex); break;
        case EditScript::Op::Replace: host.ReplaceSelection(hex, step.text); break;
      }
      uint32_t start, end;
      host.GetSelection(hex, start, end);
      std::printf("%u.%u %d %s|%u,%u\n", seq, i, static_cast<int>(step.op),
                  host.Text(hex).c_str(), start, end);
    }
  }
  return 0;
}
