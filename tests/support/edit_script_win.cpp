// The edit sequences against a real Win32 edit control (run under wine):
// characters, selection, WM_SETTEXT, WM_UNDO and EM_REPLACESEL, printing the
// text and selection after every step like edit_script_fake.
#include <windows.h>

#include <cstdio>

#include "edit_script.h"

int main() {
  HWND parent = CreateWindowExA(0, "STATIC", "", WS_OVERLAPPEDWINDOW, 0, 0, 400, 100, nullptr,
                                nullptr, GetModuleHandleA(nullptr), nullptr);
  for (uint32_t seq = 0; seq < EditScript::Sequences; ++seq) {
    HWND edit = CreateWindowExA(0, "edit", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 0, 0, 300,
                                24, parent, nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(edit, EM_LIMITTEXT, EditScript::Limit, 0);
    EditScript::Generator generator(seq);
    for (uint32_t i = 0; i < EditScript::StepsPerSequence; ++i) {
      const EditScript::Step step = generator.Next();
      switch (step.op) {
        case EditScript::Op::Char: SendMessageA(edit, WM_CHAR, static_cast<WPARAM>(step.code), 1); break;
        case EditScript::Op::Select: SendMessageA(edit, EM_SETSEL, step.start, step.end); break;
        case EditScript::Op::SetText: SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(step.text)); break;
        case EditScript::Op::Undo: SendMessageA(edit, WM_UNDO, 0, 0); break;
        case EditScript::Op::Replace: SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(step.text)); break;
      }
      char text[64];
      SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
      DWORD start = 0, end = 0;
      SendMessageA(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
      std::printf("%u.%u %d %s|%lu,%lu\n", seq, i, static_cast<int>(step.op), text, start, end);
    }
    DestroyWindow(edit);
  }
  return 0;
}
