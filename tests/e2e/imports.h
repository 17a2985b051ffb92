// The program's imports redirected: to hear what no test reads (a beep), to tell it what wine cannot (high contrast).
#pragma once

#include "program.h"

namespace e2e {

// The program's import of a user32 function pointed at code put into the program, made by code(at, real) for the
// address `at` it is put at and the function's own address `real` (the same in every process of one bitness); or,
// with no code, back at the function. The address the code was put at, or 0. Kept in Redirected till the program ends.
inline UINT_PTR RedirectImport(const char* function, const std::function<std::vector<BYTE>(UINT_PTR, UINT_PTR)>& code) {
  const HANDLE p = Process.hProcess;
  const auto real = UINT_PTR(GetProcAddress(GetModuleHandleA("user32.dll"), function));
  const auto base = reinterpret_cast<BYTE*>(GetWindowLongPtrW(MainWindow, GWLP_HINSTANCE));
  IMAGE_DOS_HEADER dos{};
  IMAGE_NT_HEADERS nt{};
  ReadProcessMemory(p, base, &dos, sizeof dos, nullptr);
  ReadProcessMemory(p, base + dos.e_lfanew, &nt, sizeof nt, nullptr);
  const IMAGE_DATA_DIRECTORY iat = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IAT];
  std::vector<UINT_PTR> slots(iat.Size / sizeof real);
  ReadProcessMemory(p, base + iat.VirtualAddress, slots.data(), slots.size() * sizeof real, nullptr);
  UINT_PTR to = real;
  if (code) {
    to = UINT_PTR(VirtualAllocEx(p, nullptr, 256, MEM_COMMIT, PAGE_EXECUTE_READWRITE));
    const std::vector<BYTE> bytes = code(to, real);
    if (!to || !WriteProcessMemory(p, LPVOID(to), bytes.data(), bytes.size(), nullptr)) return 0;
  }
  UINT_PTR& now = Redirected[function];
  const size_t slot = size_t(std::find(slots.begin(), slots.end(), now ? now : real) - slots.begin());
  BYTE* at = base + iat.VirtualAddress + slot * sizeof real;
  // The table lies in a read-only section, which may hold code too (x64): made writable, kept executable if it was.
  MEMORY_BASIC_INFORMATION page{};
  VirtualQueryEx(p, at, &page, sizeof page);
  DWORD old = 0, writable = page.Protect & 0xF0 ? PAGE_EXECUTE_READWRITE : PAGE_READWRITE;
  if (slot == slots.size() || !VirtualProtectEx(p, at, sizeof to, writable, &old) ||
      !WriteProcessMemory(p, at, &to, sizeof to, nullptr)) {
    return 0;
  }
  VirtualProtectEx(p, at, sizeof to, old, &old);
  return now = to;
}
// How many times the program has called MessageBeep since the first call of this (0 then): a refusal is only heard,
// which no test can under wine.
inline unsigned Beeps() {
  // lock inc dword [count]; mov eax, 1; ret (ret 4 on x86); count: dd 0. On x64 the count is addressed from the next
  // instruction, on x86 absolutely.
  UINT_PTR& stub = Redirected["MessageBeep"];
  const size_t count = sizeof(void*) == 8 ? 13 : 15;
  if (!stub && !(stub = RedirectImport("MessageBeep", [count](UINT_PTR at, UINT_PTR) {
        if (sizeof(void*) == 8) return std::vector<BYTE>{0xF0, 0xFF, 5, 6, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC3, 0, 0, 0, 0};
        std::vector<BYTE> code = {0xF0, 0xFF, 0x05, 0, 0, 0, 0, 0xB8, 1, 0, 0, 0, 0xC2, 4, 0, 0, 0, 0, 0};
        const DWORD address = DWORD(at + count);
        memcpy(&code[3], &address, 4);
        return code;
      }))) {
    throw Failure{"could not count the program's beeps"};
  }
  DWORD beeps = 0;
  ReadProcessMemory(Process.hProcess, LPCVOID(stub + count), &beeps, sizeof beeps, nullptr);
  return beeps;
}

}  // namespace e2e
