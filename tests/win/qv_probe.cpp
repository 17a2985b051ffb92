// qv_probe: reads the state of a running quorvane.exe through Win32 from
// another process, and does the few things to it that X input cannot (post
// WM_CLOSE, fill the clipboard, set a field's text from outside, show/hide).
//
// A server: one command per line on stdin, one JSON object per line on
// stdout. Texts are byte strings (code page 936): every byte outside
// printable ASCII is written as \u00XX, so a reader that maps code points
// 0-255 back to bytes gets the exact bytes. Byte arguments are given in hex.
//
//   title HEX ID,ID,ID,ID      the main window's title and its fields' ids,
//                              top to bottom (tests/e2e/product.py): sent
//                              first, since nothing is found before them
//   find                       main window handle (0 when absent)
//   state                      everything a check needs, in one answer: the
//                              window, the fields (texts, selections, each
//                              one's client rectangle and the window just
//                              before it in z-order), the warning box, the
//                              screen's metrics
//   menu                       the open popup menu, if any
//   close                      PostMessage WM_CLOSE to the main window
//   clip HEX [utf16]           put these bytes on the clipboard as CF_TEXT, or as
//                              UTF-16LE text alone (CF_UNICODETEXT)
//   settext ID HEX             WM_SETTEXT to field ID (empty when HEX is -),
//                              as UI Automation and MSAA set a text; answers
//                              the program's result
//   replace ID HEX [undo]      field ID's whole text replaced with these bytes
//                              (EM_SETSEL 0, -1, then EM_REPLACESEL, undoable
//                              with undo): a text set from outside that the
//                              program checks but does not convert
//   beeps                      how many times the program has called
//                              MessageBeep since the first "beeps" (which
//                              answers 0): its import is pointed at a counter
//   holdclip ID MS             the clipboard held open by the probe while
//                              field ID is asked to paste (WM_PASTE posted),
//                              for MS milliseconds
//   show CMD                   ShowWindow(main, CMD) (6 minimise, 9 restore)
//   other                      create (once) and show the probe's own window
//   charpos ID INDEX           EM_POSFROMCHAR of a field, in screen coordinates
//   dpichanged DPI L,T,R,B     WM_DPICHANGED with that suggested rectangle
//   scaledsize DPI CX,CY       WM_GETDPISCALEDSIZE with that size; answers the
//                              program's result and the size it wrote back
//   accessible                 the fields' accessible names and roles, as a
//                              screen reader asks for them (MSAA), and every
//                              other visible object in the main window's
//                              client (buttons: name, role, screen
//                              rectangle, class)
//   uia                        the same as a UI Automation client (Narrator,
//                              NVDA) reads it, control types for roles; ok
//                              false where the system has no UI Automation
//   press INDEX HOW            the INDEXth of those buttons pressed: HOW is
//                              msaa (accDoDefaultAction), uia (UI Automation's
//                              Invoke, INDEX as "uia" lists them), click
//                              (BM_CLICK, the click a push button's default
//                              action makes) or focus (SetFocus, as a client
//                              moves the focus to a control)
//   message ID HOW MSG WPARAM  a message to field ID, HOW one of posta, senda,
//                              postw, sendw (PostMessageA ... SendMessageW);
//                              MSG and WPARAM in C notation (0x0102)
//   contrast on|off WHICH      makes the program see high contrast on (or
//                              off again), which wine never reports, then
//                              tells it as Windows would: WHICH is syscolor
//                              (WM_SYSCOLORCHANGE), setting (WM_SETTINGCHANGE)
//                              or both
//   colours                    GetSysColor of indices 0-30, as 0xRRGGBB
//   awareness                  the program's display-scale awareness, the
//                              main window's DPI, and the probe's awareness
//   quit
#include <windows.h>
// Before oleacc.h, so that IID_IAccessible is defined here, not only declared.
#include <initguid.h>
#include <oleacc.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

char Title[128];
const char OtherTitle[] = "qv-probe-other";
int FieldIds[4];
const char* const FieldNames[4] = {"binary", "octal", "decimal", "hexadecimal"};
const UINT WM_COMMAND_LINE = WM_APP + 1;
const UINT SendTimeoutMs = 3000;

HWND OtherWindow;
DWORD MainThreadId;

// The answer being built for the current command.
char Out[16384];
size_t OutLen;

void Put(const char* s) {
  size_t n = strlen(s);
  if (OutLen + n < sizeof(Out)) {
    memcpy(Out + OutLen, s, n);
    OutLen += n;
    Out[OutLen] = '\0';
  }
}

void Putf(const char* format, ...) {
  char buf[512];
  va_list args;
  va_start(args, format);
  vsnprintf(buf, sizeof(buf), format, args);
  va_end(args);
  Put(buf);
}

// Bytes or UTF-16 text as a JSON string.
template <typename Char>
void PutText(const Char* text, int n) {
  Put("\"");
  for (int i = 0; i < n; ++i) {
    const unsigned c = sizeof(Char) == 1 ? static_cast<unsigned char>(text[i]) : static_cast<unsigned>(text[i]);
    Putf(c >= 0x20 && c < 0x7F && c != '"' && c != '\\' ? "%c" : "\\u%04x", c);
  }
  Put("\"");
}

void PutText(const char* text) { PutText(text, static_cast<int>(strlen(text))); }

const char* Bool(bool b) { return b ? "true" : "false"; }

void PutOk(bool ok) { Putf("{\"ok\":%s}", Bool(ok)); }

void PutRect(const RECT& r) { Putf("[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom); }

void PutHandle(HWND h) { Putf("%llu", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h))); }

// "hwnd": a top-level window, and "xid": the X window wine made for it, so
// that X input can be aimed at exactly this window and not at one found by
// its name.
void PutWindow(HWND h) {
  Put("\"hwnd\":");
  PutHandle(h);
  if (h) {
    Putf(",\"xid\":%llu",
         static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(GetPropA(h, "__wine_x11_whole_window"))));
  }
}

// A window's screen rectangle; null for no window.
void PutWindowRect(HWND window) {
  RECT r;
  if (window && GetWindowRect(window, &r)) {
    PutRect(r);
  } else {
    Put("null");
  }
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, SendTimeoutMs, &result);
  return static_cast<LRESULT>(result);
}

// WM_GETTEXT, not GetWindowTextA: for another process's control the latter
// returns only the creation caption. The W form gives the text as the window
// holds it, whatever the system's ANSI code page.
template <typename Char>
int ReadText(HWND window, Char* buf, int size) {
  buf[0] = 0;
  DWORD_PTR result = 0;
  (sizeof(Char) == 1 ? SendMessageTimeoutA : SendMessageTimeoutW)(
      window, WM_GETTEXT, static_cast<WPARAM>(size), reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG,
      SendTimeoutMs, &result);
  int n = static_cast<int>(result);
  if (n < 0 || n >= size) {
    n = 0;
    while (buf[n]) ++n;
  }
  return n;
}

HWND MainWindow() { return Title[0] ? FindWindowA(Title, Title) : nullptr; }

struct Search {
  const char* cls;
  HWND owner;  // null: any
  HWND found;
};

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
  Search* search = reinterpret_cast<Search*>(param);
  char cls[64];
  GetClassNameA(window, cls, sizeof(cls));
  if (!strcmp(cls, search->cls) && (!search->owner || GetWindow(window, GW_OWNER) == search->owner) &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The first visible top-level window of a class (and owner).
HWND FindVisible(const char* cls, HWND owner) {
  Search search = {cls, owner, nullptr};
  EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND WarningBox(HWND main) { return main ? FindVisible("#32770", main) : nullptr; }

const char* FieldName(HWND main, HWND window) {
  if (!window) return "none";
  for (int i = 0; i < 4; ++i) {
    if (GetDlgItem(main, FieldIds[i]) == window) return FieldNames[i];
  }
  if (window == main) return "main";
  if (window == OtherWindow) return "other";
  HWND box = WarningBox(main);
  if (box && (window == box || IsChild(box, window))) return "box";
  // Anything else: its class, for the failure message.
  static char name[8][80];
  static int next;
  char* out = name[next++ % 8];
  char cls[64];
  GetClassNameA(window, cls, sizeof(cls));
  snprintf(out, 80, "elsewhere:%s", cls);
  for (char* p = out; *p; ++p) {
    if (*p == '"' || *p == '\\' || static_cast<unsigned char>(*p) < 0x20) *p = '?';
  }
  return out;
}

struct BoxContents {
  HWND text;
  HWND ok;
};

BOOL CALLBACK FindBoxChildren(HWND window, LPARAM param) {
  BoxContents* contents = reinterpret_cast<BoxContents*>(param);
  char cls[64];
  GetClassNameA(window, cls, sizeof(cls));
  if (_stricmp(cls, "Static") == 0) {
    // The text static is the one with text; the icon static has none.
    if (Send(window, WM_GETTEXTLENGTH, 0, 0) > 0 && !contents->text) contents->text = window;
  } else if (_stricmp(cls, "Button") == 0 && GetDlgCtrlID(window) == IDOK) {
    contents->ok = window;
  }
  return TRUE;
}

// ,"KEY": a window's text as bytes, and ,"KEY_w": as UTF-16; null for no window.
void PutTexts(const char* key, HWND window) {
  char buf[512];
  wchar_t wide[256];
  Putf(",\"%s\":", key);
  window ? PutText(buf, ReadText(window, buf, sizeof(buf))) : Put("null");
  Putf(",\"%s_w\":", key);
  window ? PutText(wide, ReadText(window, wide, 256)) : Put("null");
}

void PutBox(HWND main) {
  HWND box = WarningBox(main);
  if (!box) {
    Put("null");
    return;
  }
  BoxContents contents = {nullptr, nullptr};
  EnumChildWindows(box, FindBoxChildren, reinterpret_cast<LPARAM>(&contents));
  Put("{");
  PutWindow(box);
  PutTexts("caption", box);
  PutTexts("text", contents.text);
  Put(",\"rect\":");
  PutWindowRect(box);
  Put(",\"ok\":");
  PutWindowRect(contents.ok);
  Put(",\"owner\":");
  PutHandle(GetWindow(box, GW_OWNER));
  Put("}");
}

// The process that owns a window, opened for access; null where it cannot be.
HANDLE OpenOwner(HWND window, DWORD access) {
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  return OpenProcess(access, FALSE, pid);
}

// A user32 function that older systems lack, looked up by name: null where
// it is missing.
template <typename Function>
Function User32(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("user32"), name)));
}

// --- high contrast -----------------------------------------------------------
// Wine answers SPI_GETHIGHCONTRAST with "off" whatever the theme, and refuses
// to turn it on. The program's import slot for SystemParametersInfoW is
// pointed at a stub in the program's own memory that calls the real function
// and adds HCF_HIGHCONTRASTON to a SPI_GETHIGHCONTRAST answer; every other
// call goes straight on. The stub keeps the original address in its last
// bytes, from where "off" puts it back. One stub per build: the probe is
// built for the same one as the program it reads.
#if defined(_WIN64)
// cmp ecx, SPI_GETHIGHCONTRAST; jne pass; push r8 (the answer); sub rsp, 32
// (the callee's home space, keeping rsp 16-byte aligned); call [original];
// add rsp, 32; pop r8; or dword [r8+4], HCF_HIGHCONTRASTON; ret;
// pass: jmp [original]; original: dq.
const unsigned char ContrastStub[] = {
    0x83, 0xF9, 0x42, 0x75, 0x18, 0x41, 0x50, 0x48, 0x83, 0xEC, 0x20, 0xFF, 0x15, 0x12, 0x00,
    0x00, 0x00, 0x48, 0x83, 0xC4, 0x20, 0x41, 0x58, 0x41, 0x83, 0x48, 0x04, 0x01, 0xC3, 0xFF,
    0x25, 0x00, 0x00, 0x00, 0x00};
#else
// cmp dword [esp+4], SPI_GETHIGHCONTRAST; jne pass; the four arguments pushed
// again; call [original]; mov ecx, [esp+12] (the answer); or dword [ecx+4],
// HCF_HIGHCONTRASTON; ret 16; pass: jmp [original]; original: dd. The two
// absolute addresses of "original" are filled in once the stub has its place.
const unsigned char ContrastStub[] = {
    0x83, 0x7C, 0x24, 0x04, 0x42, 0x75, 0x21, 0xFF, 0x74, 0x24, 0x10, 0xFF, 0x74, 0x24, 0x10,
    0xFF, 0x74, 0x24, 0x10, 0xFF, 0x74, 0x24, 0x10, 0xFF, 0x15, 0x00, 0x00, 0x00, 0x00, 0x8B,
    0x4C, 0x24, 0x0C, 0x83, 0x49, 0x04, 0x01, 0xC2, 0x10, 0x00, 0xFF, 0x25, 0x00, 0x00, 0x00,
    0x00};
const size_t ContrastStubAbsolute[] = {0x19, 0x2A};
#endif
static_assert(SPI_GETHIGHCONTRAST == 0x42 && HCF_HIGHCONTRASTON == 1, "the stub's constants");

template <typename T>
bool ReadRemote(HANDLE process, UINT_PTR address, T& out) {
  SIZE_T got = 0;
  return ReadProcessMemory(process, reinterpret_cast<const void*>(address), &out, sizeof(out), &got) &&
         got == sizeof(out);
}

// A NUL-terminated name in the other process (shorter than size).
bool ReadRemoteName(HANDLE process, UINT_PTR address, char* out, size_t size) {
  SIZE_T got = 0;
  memset(out, 0, size);
  if (!ReadProcessMemory(process, reinterpret_cast<const void*>(address), out, size - 1, &got)) {
    // The name may end just before unreadable memory.
    for (got = 0; got + 1 < size && ReadRemote(process, address + got, out[got]) && out[got]; ++got) {
    }
  }
  return out[0] != '\0';
}

// Where the program's import address table holds dll's function name: read
// from the image in its memory, by the import lookup table. 0 when absent.
UINT_PTR FindImportSlot(HANDLE process, UINT_PTR base, const char* dll, const char* name) {
  IMAGE_DOS_HEADER dos;
  IMAGE_NT_HEADERS nt;
  if (!ReadRemote(process, base, dos) || !ReadRemote(process, base + static_cast<UINT_PTR>(dos.e_lfanew), nt)) {
    return 0;
  }
  const IMAGE_DATA_DIRECTORY& imports = nt.OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  char text[64];
  for (UINT_PTR at = base + imports.VirtualAddress;; at += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
    IMAGE_IMPORT_DESCRIPTOR entry;
    if (!imports.VirtualAddress || !ReadRemote(process, at, entry) || !entry.Name) return 0;
    if (!ReadRemoteName(process, base + entry.Name, text, sizeof(text)) || _stricmp(text, dll)) continue;
    for (UINT_PTR i = 0;; ++i) {
      IMAGE_THUNK_DATA thunk;
      if (!ReadRemote(process, base + entry.OriginalFirstThunk + i * sizeof(thunk), thunk) ||
          !thunk.u1.AddressOfData) {
        return 0;
      }
      if (!IMAGE_SNAP_BY_ORDINAL(thunk.u1.Ordinal) &&
          ReadRemoteName(process, base + static_cast<UINT_PTR>(thunk.u1.AddressOfData) + 2, text, sizeof(text)) &&
          !strcmp(text, name)) {
        return base + entry.FirstThunk + i * sizeof(thunk);
      }
    }
  }
}

bool WriteRemote(HANDLE process, UINT_PTR address, const void* data, size_t size) {
  SIZE_T put = 0;
  return WriteProcessMemory(process, reinterpret_cast<void*>(address), data, size, &put) && put == size;
}

// The import address table lies in the program's read-only code section.
bool WriteSlot(HANDLE process, UINT_PTR slot, UINT_PTR value) {
  DWORD old = 0;
  if (!VirtualProtectEx(process, reinterpret_cast<void*>(slot), sizeof(value), PAGE_READWRITE, &old)) return false;
  bool ok = WriteRemote(process, slot, &value, sizeof(value));
  VirtualProtectEx(process, reinterpret_cast<void*>(slot), sizeof(value), old, &old);
  return ok;
}

void CmdContrast(HWND main, bool on, const char* which) {
  HANDLE process = OpenOwner(main, PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE);
  const UINT_PTR base = static_cast<UINT_PTR>(GetWindowLongPtrA(main, GWLP_HINSTANCE));
  const UINT_PTR slot = process ? FindImportSlot(process, base, "USER32.dll", "SystemParametersInfoW") : 0;
  UINT_PTR current = 0;
  bool ok = slot && ReadRemote(process, slot, current);
  // Whether the slot already points at a stub: its code, and the original
  // address in its last bytes.
  unsigned char code[sizeof(ContrastStub)];
  UINT_PTR original = 0;
  const bool stubbed = ok && ReadRemote(process, current, code) &&
                       ReadRemote(process, current + sizeof(ContrastStub), original) &&
                       !memcmp(code, ContrastStub, 5);
  if (ok && on && !stubbed) {
    UINT_PTR stub = reinterpret_cast<UINT_PTR>(VirtualAllocEx(process, nullptr, sizeof(ContrastStub) + sizeof(UINT_PTR),
                                                              MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    unsigned char bytes[sizeof(ContrastStub) + sizeof(UINT_PTR)];
    memcpy(bytes, ContrastStub, sizeof(ContrastStub));
    memcpy(bytes + sizeof(ContrastStub), &current, sizeof(current));
#if !defined(_WIN64)
    const DWORD at = static_cast<DWORD>(stub + sizeof(ContrastStub));
    for (size_t offset : ContrastStubAbsolute) memcpy(bytes + offset, &at, sizeof(at));
#endif
    ok = stub && WriteRemote(process, stub, bytes, sizeof(bytes)) &&
         FlushInstructionCache(process, reinterpret_cast<void*>(stub), sizeof(bytes)) && WriteSlot(process, slot, stub);
  } else if (ok && !on && stubbed) {
    ok = WriteSlot(process, slot, original);
  }
  // The stub's page is left in place: the program could be inside it.
  if (process) CloseHandle(process);
  if (ok && (!strcmp(which, "syscolor") || !strcmp(which, "both"))) Send(main, WM_SYSCOLORCHANGE, 0, 0);
  if (ok && (!strcmp(which, "setting") || !strcmp(which, "both"))) {
    Send(main, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
  }
  Putf("{\"ok\":%s,\"was_on\":%s}", Bool(ok), Bool(stubbed));
}

// --- beeps -------------------------------------------------------------------
// A refusal shows only as MessageBeep, which no test can hear under wine. The
// program's import slot for it is pointed at a stub in the program's own
// memory that counts the calls (and answers TRUE) instead; the count follows
// the code.
#if defined(_WIN64)
// lock inc dword [rip+6] (the count); mov eax, 1; ret; count: dd 0
const unsigned char BeepStub[] = {0xF0, 0xFF, 0x05, 0x06, 0x00, 0x00, 0x00, 0xB8, 0x01,
                                  0x00, 0x00, 0x00, 0xC3, 0x00, 0x00, 0x00, 0x00};
#else
// lock inc dword [count]; mov eax, 1; ret 4; count: dd 0. The count's
// absolute address is filled in once the stub has its place.
const unsigned char BeepStub[] = {0xF0, 0xFF, 0x05, 0x00, 0x00, 0x00, 0x00, 0xB8, 0x01, 0x00,
                                  0x00, 0x00, 0xC2, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00};
#endif
const size_t BeepCountAt = sizeof(BeepStub) - 4;

void CmdBeeps(HWND main) {
  HANDLE process = OpenOwner(main, PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE);
  const UINT_PTR base = static_cast<UINT_PTR>(GetWindowLongPtrA(main, GWLP_HINSTANCE));
  const UINT_PTR slot = process ? FindImportSlot(process, base, "USER32.dll", "MessageBeep") : 0;
  UINT_PTR current = 0;
  unsigned char code[3];
  DWORD count = 0;
  bool ok = slot && ReadRemote(process, slot, current) && ReadRemote(process, current, code);
  if (ok && !memcmp(code, BeepStub, sizeof(code))) {
    ok = ReadRemote(process, current + BeepCountAt, count);
  } else if (ok) {
    UINT_PTR stub = reinterpret_cast<UINT_PTR>(
        VirtualAllocEx(process, nullptr, sizeof(BeepStub), MEM_COMMIT | MEM_RESERVE, PAGE_EXECUTE_READWRITE));
    unsigned char bytes[sizeof(BeepStub)];
    memcpy(bytes, BeepStub, sizeof(BeepStub));
#if !defined(_WIN64)
    const DWORD at = static_cast<DWORD>(stub + BeepCountAt);
    memcpy(bytes + 3, &at, sizeof(at));
#endif
    ok = stub && WriteRemote(process, stub, bytes, sizeof(bytes)) &&
         FlushInstructionCache(process, reinterpret_cast<void*>(stub), sizeof(bytes)) && WriteSlot(process, slot, stub);
  }
  if (process) CloseHandle(process);
  Putf("{\"ok\":%s,\"beeps\":%lu}", Bool(ok), static_cast<unsigned long>(count));
}

void CmdColours() {
  Put("{\"ok\":true,\"colours\":[");
  for (int i = 0; i <= COLOR_MENUBAR; ++i) {
    COLORREF c = GetSysColor(i);
    Putf("%s%lu", i ? "," : "", static_cast<unsigned long>((GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c)));
  }
  Put("]}");
}

// ,"KEY":[...] with put's answer for each field, top to bottom.
template <typename PutOne>
void PutFields(HWND main, const char* key, PutOne put) {
  Putf(",\"%s\":[", key);
  for (int i = 0; i < 4; ++i) {
    if (i) Put(",");
    put(GetDlgItem(main, FieldIds[i]));
  }
  Put("]");
}

void CmdState() {
  HWND main = MainWindow();
  Put("{\"ok\":true,");
  PutWindow(main);
  if (!main) {
    Put("}");
    return;
  }
  Put(",\"rect\":");
  PutWindowRect(main);
  RECT r;
  GetClientRect(main, &r);
  Putf(",\"client\":[%ld,%ld],\"iconic\":%s,\"visible\":%s", r.right, r.bottom, Bool(IsIconic(main)),
       Bool(IsWindowVisible(main)));
  Putf(",\"style\":%lu,\"exstyle\":%lu", static_cast<unsigned long>(GetWindowLongA(main, GWL_STYLE)),
       static_cast<unsigned long>(GetWindowLongA(main, GWL_EXSTYLE)));
  PutFields(main, "field_styles", [](HWND field) {
    Putf("%lu", static_cast<unsigned long>(GetWindowLongA(field, GWL_STYLE)));
  });
  PutFields(main, "limits", [](HWND field) {
    Putf("%ld", static_cast<long>(Send(field, EM_GETLIMITTEXT, 0, 0)));
  });

  HWND fg = GetForegroundWindow();
  Putf(",\"foreground\":\"%s\"", FieldName(main, fg));

  GUITHREADINFO info;
  memset(&info, 0, sizeof(info));
  info.cbSize = sizeof(info);
  DWORD thread = GetWindowThreadProcessId(main, nullptr);
  if (GetGUIThreadInfo(thread, &info)) {
    Putf(",\"focus\":\"%s\",\"active\":\"%s\"", FieldName(main, info.hwndFocus), FieldName(main, info.hwndActive));
  } else {
    Put(",\"focus\":null,\"active\":null");
  }

  PutFields(main, "texts", [](HWND field) {
    char buf[256];
    PutText(buf, ReadText(field, buf, sizeof(buf)));
  });
  PutFields(main, "lengths", [](HWND field) {
    Putf("%ld", static_cast<long>(Send(field, WM_GETTEXTLENGTH, 0, 0)));
  });
  PutFields(main, "sel", [](HWND field) {
    DWORD sel = static_cast<DWORD>(Send(field, EM_GETSEL, 0, 0));
    Putf("[%u,%u]", LOWORD(sel), HIWORD(sel));
  });
  // Each field's rectangle in the main window's client coordinates, and the
  // window just before it in z-order: the one a screen reader names it after.
  PutFields(main, "field_rects", [main](HWND field) {
    RECT fr = {0, 0, 0, 0};
    GetWindowRect(field, &fr);
    MapWindowPoints(nullptr, main, reinterpret_cast<POINT*>(&fr), 2);
    PutRect(fr);
  });
  PutFields(main, "before", [](HWND field) {
    HWND prev = GetWindow(field, GW_HWNDPREV);
    if (!prev) {
      Put("null");
      return;
    }
    char cls[64];
    GetClassNameA(prev, cls, sizeof(cls));
    wchar_t wide[64];
    Put("{\"class\":");
    PutText(cls);
    Putf(",\"visible\":%s,\"text_w\":", Bool(IsWindowVisible(prev)));
    PutText(wide, ReadText(prev, wide, 64));
    Put("}");
  });
  Put(",\"box\":");
  PutBox(main);
  Putf(",\"metrics\":{\"cxmaximized\":%d,\"cymaximized\":%d}}", GetSystemMetrics(SM_CXMAXIMIZED),
       GetSystemMetrics(SM_CYMAXIMIZED));
}

// The bytes of CF_TEXT, or of CF_UNICODETEXT (UTF-16LE) as the only format,
// as nearly every program puts text; a NUL unit ends either.
void SetClipboardBytes(const char* bytes, size_t n, UINT format) {
  HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, n + 2);
  char* p = static_cast<char*>(GlobalLock(mem));
  memcpy(p, bytes, n);
  p[n] = p[n + 1] = '\0';
  GlobalUnlock(mem);
  bool ok = false;
  for (int attempt = 0; attempt < 50 && !ok; ++attempt) {
    if (OpenClipboard(nullptr)) {
      EmptyClipboard();
      ok = SetClipboardData(format, mem) != nullptr;
      CloseClipboard();
    } else {
      Sleep(10);
    }
  }
  PutOk(ok);
}

size_t FromHex(const char* hex, char* out, size_t size) {
  size_t n = 0;
  while (strcmp(hex, "-") != 0 && hex[0] && hex[1] && n + 1 < size) {
    char pair[3] = {hex[0], hex[1], 0};
    out[n++] = static_cast<char>(strtoul(pair, nullptr, 16));
    hex += 2;
  }
  out[n] = '\0';
  return n;
}

LRESULT CALLBACK OtherProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(window, message, wParam, lParam);
}

void CmdOther() {
  if (!OtherWindow) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof(wc));
    wc.lpfnWndProc = OtherProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    wc.lpszClassName = OtherTitle;
    RegisterClassA(&wc);
    OtherWindow = CreateWindowExA(0, OtherTitle, OtherTitle, WS_OVERLAPPEDWINDOW, 20, 20, 200, 100, nullptr,
                                  nullptr, wc.hInstance, nullptr);
  }
  ShowWindow(OtherWindow, SW_SHOWNORMAL);
  UpdateWindow(OtherWindow);
  Put("{\"ok\":true,");
  PutWindow(OtherWindow);
  Put("}");
}

// An accessible name as a JSON string (null for none), freed.
void PutName(BSTR name) {
  if (name) {
    PutText(name, static_cast<int>(SysStringLen(name)));
    SysFreeString(name);
  } else {
    Put("null");
  }
}

VARIANT Self() {
  VARIANT self;
  VariantInit(&self);
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  return self;
}

// A window's client object, as MSAA gives it to a screen reader; null where
// there is none.
IAccessible* ClientObject(HWND window) {
  IAccessible* object = nullptr;
  if (!window || FAILED(AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible,
                                                   reinterpret_cast<void**>(&object)))) {
    return nullptr;
  }
  return object;
}

// The objects a screen reader finds in the main window's client besides the
// fields and their hidden labels: the client's children, each one's window
// asked for its own client object (wine's window objects answer no role),
// the visible ones that are not edits. Up to size; the caller releases them.
int AccessibleButtons(HWND main, IAccessible** found, int size) {
  IAccessible* client = ClientObject(main);
  if (!client) return 0;
  int n = 0;
  VARIANT children[32];
  LONG got = 0;
  AccessibleChildren(client, 0, 32, children, &got);
  for (LONG i = 0; i < got; ++i) {
    HWND window = nullptr;
    IAccessible* child = nullptr;
    if (children[i].vt == VT_DISPATCH && children[i].pdispVal &&
        SUCCEEDED(children[i].pdispVal->QueryInterface(IID_IAccessible, reinterpret_cast<void**>(&child)))) {
      WindowFromAccessibleObject(child, &window);
      child->Release();
    }
    VariantClear(&children[i]);
    IAccessible* object = ClientObject(window);
    if (!object) continue;
    VARIANT role, state;
    VariantInit(&role);
    VariantInit(&state);
    object->get_accRole(Self(), &role);
    object->get_accState(Self(), &state);
    const bool visible = state.vt == VT_I4 && !(state.lVal & STATE_SYSTEM_INVISIBLE);
    if (visible && !(role.vt == VT_I4 && role.lVal == ROLE_SYSTEM_TEXT) && n < size) {
      found[n++] = object;
    } else {
      object->Release();
    }
  }
  client->Release();
  return n;
}

// Sends a message whose lParam points at data. Wine does not carry such data
// across processes for these messages: it is put into the program's own
// memory, the message points there, and what the program wrote back is read
// into data again.
bool SendWithData(HWND main, UINT message, WPARAM wParam, void* data, SIZE_T size, LRESULT* result) {
  HANDLE process = OpenOwner(main, PROCESS_VM_OPERATION | PROCESS_VM_WRITE | PROCESS_VM_READ);
  void* remote = process ? VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)
                         : nullptr;
  bool ok = remote && WriteProcessMemory(process, remote, data, size, nullptr);
  if (ok) {
    LRESULT answer = Send(main, message, wParam, reinterpret_cast<LPARAM>(remote));
    if (result) *result = answer;
    ok = ReadProcessMemory(process, remote, data, size, nullptr) != 0;
  }
  if (remote) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  if (process) CloseHandle(process);
  return ok;
}

// UI Automation as a screen reader uses it. mingw-w64 declares none of its
// interfaces, so the three used here are called through their vtables: the
// slot numbers are the methods' places in UIAutomationClient.idl.
const GUID ClsidCuiAutomation = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
const GUID IidIuiAutomation = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
const int SlotElementFromHandle = 6;     // IUIAutomation
const int SlotCurrentPattern = 16;       // IUIAutomationElement
const int SlotCurrentControlType = 21;   // IUIAutomationElement
const int SlotCurrentName = 23;          // IUIAutomationElement
const int SlotBoundingRectangle = 43;    // IUIAutomationElement
const int SlotInvoke = 3;                // IUIAutomationInvokePattern
const int UiaInvokePattern = 10000;

template <typename... Args>
HRESULT Call(IUnknown* object, int slot, Args... args) {
  using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
  return reinterpret_cast<Method>((*reinterpret_cast<void***>(object))[slot])(object, args...);
}

// The UI Automation client object; null (with the error written) where the
// system has none.
IUnknown* Automation() {
  static bool initialised;
  if (!initialised) initialised = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
  IUnknown* automation = nullptr;
  HRESULT hr = CoCreateInstance(ClsidCuiAutomation, nullptr, CLSCTX_INPROC_SERVER, IidIuiAutomation,
                                reinterpret_cast<void**>(&automation));
  if (FAILED(hr) || !automation) {
    Putf("{\"ok\":false,\"error\":\"CoCreateInstance(CUIAutomation) 0x%08lx\"}", static_cast<unsigned long>(hr));
    return nullptr;
  }
  return automation;
}

// UI Automation's element for a window; null where there is none.
IUnknown* Element(IUnknown* automation, HWND window) {
  IUnknown* element = nullptr;
  if (!window || FAILED(Call(automation, SlotElementFromHandle, window, &element))) return nullptr;
  return element;
}

// The main window's visible children that are not edits, up to size: what
// UI Automation is asked about besides the fields. Wine 10's tree walkers
// answer E_NOTIMPL, so the windows are found by Win32.
int ChildButtons(HWND main, HWND* found, int size) {
  int n = 0;
  for (HWND child = main ? GetWindow(main, GW_CHILD) : nullptr; child && n < size;
       child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[64];
    GetClassNameA(child, cls, sizeof(cls));
    if (IsWindowVisible(child) && _stricmp(cls, "edit")) found[n++] = child;
  }
  return n;
}

// What a screen reader is told of an object: its name, its role (MSAA) or
// control type (UI Automation), its screen rectangle; and its window.
struct Described {
  BSTR name;
  long role;
  RECT rect;
  HWND window;
};

// MSAA's answers for an object, which is released; nothing for none.
Described Describe(IAccessible* object) {
  Described d = {nullptr, -1, {0, 0, 0, 0}, nullptr};
  if (!object) return d;
  VARIANT role;
  VariantInit(&role);
  LONG x = 0, y = 0, w = 0, h = 0;
  object->get_accName(Self(), &d.name);
  if (SUCCEEDED(object->get_accRole(Self(), &role)) && role.vt == VT_I4) d.role = role.lVal;
  object->accLocation(&x, &y, &w, &h, Self());
  d.rect = {x, y, x + w, y + h};
  WindowFromAccessibleObject(object, &d.window);
  object->Release();
  return d;
}

// UI Automation's answers for a window's element, which is released.
Described Describe(IUnknown* element, HWND window) {
  Described d = {nullptr, -1, {0, 0, 0, 0}, window};
  int type = -1;
  if (!element) return d;
  Call(element, SlotCurrentName, &d.name);
  Call(element, SlotCurrentControlType, &type);
  Call(element, SlotBoundingRectangle, &d.rect);
  d.role = type;
  element->Release();
  return d;
}

// The four fields' names and roles (or control types, kind "type"), then
// every other object: "buttons":[{"name":..,KIND:..,"rect":..,"class":..}].
void PutDescribed(const char* kind, const Described* objects, int n) {
  Put("{\"ok\":true,\"names\":[");
  for (int i = 0; i < 4; ++i) {
    if (i) Put(",");
    PutName(objects[i].name);
  }
  Putf("],\"%ss\":[%ld,%ld,%ld,%ld],\"buttons\":[", kind, objects[0].role, objects[1].role, objects[2].role,
       objects[3].role);
  for (int i = 4; i < n; ++i) {
    char cls[64] = "";
    GetClassNameA(objects[i].window, cls, sizeof(cls));
    Put(i > 4 ? ",{\"name\":" : "{\"name\":");
    PutName(objects[i].name);
    Putf(",\"%s\":%ld,\"rect\":", kind, objects[i].role);
    PutRect(objects[i].rect);
    Put(",\"class\":");
    PutText(cls);
    Put("}");
  }
  Put("]}");
}

void CmdAccessible(HWND main) {
  Described objects[4 + 8];
  for (int i = 0; i < 4; ++i) objects[i] = Describe(ClientObject(GetDlgItem(main, FieldIds[i])));
  IAccessible* found[8];
  const int n = AccessibleButtons(main, found, 8);
  for (int i = 0; i < n; ++i) objects[4 + i] = Describe(found[i]);
  PutDescribed("role", objects, 4 + n);
}

void CmdUia(HWND main) {
  IUnknown* automation = Automation();
  if (!automation) return;
  HWND windows[4 + 16];
  for (int i = 0; i < 4; ++i) windows[i] = GetDlgItem(main, FieldIds[i]);
  const int n = 4 + ChildButtons(main, windows + 4, 16);
  Described objects[4 + 16];
  for (int i = 0; i < n; ++i) objects[i] = Describe(Element(automation, windows[i]), windows[i]);
  PutDescribed("type", objects, n);
  automation->Release();
}

// The default action of the index-th button that "accessible" (msaa) or "uia"
// lists, as a screen reader or voice control performs it.
void CmdPress(HWND main, int index, const char* how) {
  HRESULT hr = E_INVALIDARG;
  if (!strcmp(how, "msaa") || !strcmp(how, "click") || !strcmp(how, "focus")) {
    IAccessible* found[8];
    const int n = AccessibleButtons(main, found, 8);
    HWND button = nullptr;
    if (index >= 0 && index < n && !strcmp(how, "msaa")) {
      hr = found[index]->accDoDefaultAction(Self());
    } else if (index >= 0 && index < n && SUCCEEDED(hr = WindowFromAccessibleObject(found[index], &button))) {
      if (!strcmp(how, "click")) {
        Send(button, BM_CLICK, 0, 0);
      } else {
        // As a client gives a control of another program the focus: joined
        // to the program's input for the call.
        const DWORD thread = GetWindowThreadProcessId(button, nullptr);
        AttachThreadInput(GetCurrentThreadId(), thread, TRUE);
        hr = SetFocus(button) ? S_OK : HRESULT_FROM_WIN32(GetLastError());
        AttachThreadInput(GetCurrentThreadId(), thread, FALSE);
      }
    }
    for (int i = 0; i < n; ++i) found[i]->Release();
  } else if (!strcmp(how, "uia")) {
    IUnknown* automation = Automation();
    if (!automation) return;
    HWND found[16];
    const int n = ChildButtons(main, found, 16);
    IUnknown* element = index >= 0 && index < n ? Element(automation, found[index]) : nullptr;
    IUnknown* invoke = nullptr;
    if (element) {
      hr = Call(element, SlotCurrentPattern, UiaInvokePattern, &invoke);
      element->Release();
    }
    if (SUCCEEDED(hr) && !invoke) hr = E_NOINTERFACE;
    if (invoke) {
      hr = Call(invoke, SlotInvoke);
      invoke->Release();
    }
    automation->Release();
  }
  Putf("{\"ok\":%s,\"hr\":\"0x%08lx\"}", Bool(SUCCEEDED(hr)), static_cast<unsigned long>(hr));
}

// Display-scale awareness, looked up by name: the calls exist from Windows
// 10 1607 on (and in wine). awareness: 0 unaware, 1 system, 2 per monitor;
// v2: per-monitor v2, the mode that scales dialogs and non-client parts too.
void PutAwareness(const char* name, DPI_AWARENESS_CONTEXT context) {
  auto awareness = User32<int(WINAPI*)(DPI_AWARENESS_CONTEXT)>("GetAwarenessFromDpiAwarenessContext");
  auto equal = User32<BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT, DPI_AWARENESS_CONTEXT)>("AreDpiAwarenessContextsEqual");
  Putf("\"%s\":{\"awareness\":%d,\"v2\":%s}", name, awareness && context ? awareness(context) : -1,
       Bool(equal && context && equal(context, DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2)));
}

// The program's own awareness, as a thread of its own sees it: a thread
// started in the program at GetThreadDpiAwarenessContext (user32 is mapped at
// the same address in every process of one bitness), whose exit code is the
// answer. A window's context does not tell: wine 10 reports a v2 window as
// v1, and asked from another process for its context, answers unaware.
DPI_AWARENESS_CONTEXT ProgramAwareness(HWND main) {
  auto start = User32<LPTHREAD_START_ROUTINE>("GetThreadDpiAwarenessContext");
  HANDLE process = start ? OpenOwner(main, PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                               PROCESS_VM_WRITE | PROCESS_VM_READ)
                         : nullptr;
  HANDLE thread = process ? CreateRemoteThread(process, nullptr, 0, start, nullptr, 0, nullptr) : nullptr;
  DWORD code = 0;
  if (thread && WaitForSingleObject(thread, SendTimeoutMs) == WAIT_OBJECT_0) GetExitCodeThread(thread, &code);
  if (thread) CloseHandle(thread);
  if (process) CloseHandle(process);
  return reinterpret_cast<DPI_AWARENESS_CONTEXT>(static_cast<UINT_PTR>(code));
}

void CmdAwareness(HWND main) {
  auto thread_context = User32<DPI_AWARENESS_CONTEXT(WINAPI*)()>("GetThreadDpiAwarenessContext");
  auto window_dpi = User32<UINT(WINAPI*)(HWND)>("GetDpiForWindow");
  if (!main || !thread_context || !window_dpi) {
    Put("{\"ok\":false}");
    return;
  }
  Put("{\"ok\":true,");
  PutAwareness("program", ProgramAwareness(main));
  Put(",");
  PutAwareness("probe", thread_context());
  Putf(",\"window_dpi\":%u}", window_dpi(main));
}

void Command(char* line) {
  OutLen = 0;
  Out[0] = '\0';
  char* save = nullptr;
  const char* word[5];
  for (int i = 0; i < 5; ++i) word[i] = strtok_r(i ? nullptr : line, " \t\r\n", &save);
  const char *cmd = word[0], *a1 = word[1], *a2 = word[2], *a3 = word[3], *a4 = word[4];
  HWND main = MainWindow();
  static char bytes[4096];
  if (!cmd) {
    Put("{\"ok\":false,\"error\":\"empty\"}");
  } else if (!strcmp(cmd, "find")) {
    Put("{\"ok\":true,");
    PutWindow(main);
    Put("}");
  } else if (!strcmp(cmd, "state")) {
    CmdState();
  } else if (!strcmp(cmd, "menu")) {
    Put("{\"ok\":true,\"menu\":");
    PutWindowRect(FindVisible("#32768", nullptr));
    Put("}");
  } else if (!strcmp(cmd, "close")) {
    PutOk(main && PostMessageA(main, WM_CLOSE, 0, 0));
  } else if (!strcmp(cmd, "clip") && a1) {
    size_t n = FromHex(a1, bytes, sizeof(bytes));
    SetClipboardBytes(bytes, n, a2 && !strcmp(a2, "utf16") ? CF_UNICODETEXT : CF_TEXT);
  } else if (!strcmp(cmd, "settext") && a1 && a2) {
    FromHex(a2, bytes, sizeof(bytes));
    HWND field = GetDlgItem(main, atoi(a1));
    LRESULT r = field ? Send(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(bytes)) : 0;
    Putf("{\"ok\":%s,\"result\":%ld}", Bool(field), static_cast<long>(r));
  } else if (!strcmp(cmd, "replace") && a1 && a2) {
    FromHex(a2, bytes, sizeof(bytes));
    HWND field = GetDlgItem(main, atoi(a1));
    if (field) {
      Send(field, EM_SETSEL, 0, -1);
      Send(field, EM_REPLACESEL, a3 && !strcmp(a3, "undo"), reinterpret_cast<LPARAM>(bytes));
    }
    PutOk(field);
  } else if (!strcmp(cmd, "beeps") && main) {
    CmdBeeps(main);
  } else if (!strcmp(cmd, "holdclip") && a1 && a2) {
    // As clipboard history or a remote desktop's clipboard holds it open.
    HWND field = GetDlgItem(main, atoi(a1));
    const bool held = field && OpenClipboard(nullptr);
    if (held) {
      PostMessageW(field, WM_PASTE, 0, 0);
      Sleep(static_cast<DWORD>(atoi(a2)));
      CloseClipboard();
    }
    PutOk(held);
  } else if (!strcmp(cmd, "show") && a1) {
    if (main) ShowWindow(main, atoi(a1));
    PutOk(main);
  } else if (!strcmp(cmd, "other")) {
    CmdOther();
  } else if (!strcmp(cmd, "charpos") && a1 && a2) {
    HWND field = GetDlgItem(main, atoi(a1));
    LRESULT r = field ? Send(field, EM_POSFROMCHAR, static_cast<WPARAM>(atoi(a2)), 0) : -1;
    POINT p = {static_cast<short>(LOWORD(r)), static_cast<short>(HIWORD(r))};
    if (field) ClientToScreen(field, &p);
    Putf("{\"ok\":%s,\"x\":%ld,\"y\":%ld}", Bool(field && r != -1), p.x, p.y);
  } else if (!strcmp(cmd, "title") && a1 && a2) {
    FromHex(a1, Title, sizeof(Title));
    sscanf(a2, "%d,%d,%d,%d", &FieldIds[0], &FieldIds[1], &FieldIds[2], &FieldIds[3]);
    Put("{\"ok\":true}");
  } else if (!strcmp(cmd, "dpichanged") && a1 && a2 && main) {
    RECT r;
    sscanf(a2, "%ld,%ld,%ld,%ld", &r.left, &r.top, &r.right, &r.bottom);
    WORD dpi = static_cast<WORD>(atoi(a1));
    PutOk(SendWithData(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), &r, sizeof(r), nullptr));
  } else if (!strcmp(cmd, "scaledsize") && a1 && a2 && main) {
    SIZE size;
    sscanf(a2, "%ld,%ld", &size.cx, &size.cy);
    LRESULT result = 0;
    bool ok = SendWithData(main, WM_GETDPISCALEDSIZE, static_cast<WPARAM>(atoi(a1)), &size,
                           sizeof(size), &result);
    Putf("{\"ok\":%s,\"result\":%ld,\"size\":[%ld,%ld]}", Bool(ok), static_cast<long>(result), size.cx,
         size.cy);
  } else if (!strcmp(cmd, "accessible")) {
    CmdAccessible(main);
  } else if (!strcmp(cmd, "message") && a1 && a2 && a3 && a4) {
    HWND field = GetDlgItem(main, atoi(a1));
    UINT message = static_cast<UINT>(strtoul(a3, nullptr, 0));
    WPARAM wParam = static_cast<WPARAM>(strtoul(a4, nullptr, 0));
    LRESULT r = 0;
    if (field && !strcmp(a2, "posta")) r = PostMessageA(field, message, wParam, 0);
    else if (field && !strcmp(a2, "postw")) r = PostMessageW(field, message, wParam, 0);
    else if (field && !strcmp(a2, "senda")) r = Send(field, message, wParam, 0);
    else if (field && !strcmp(a2, "sendw")) r = SendMessageW(field, message, wParam, 0);
    else field = nullptr;
    Putf("{\"ok\":%s,\"result\":%ld}", Bool(field), static_cast<long>(r));
  } else if (!strcmp(cmd, "contrast") && a1 && a2 && main) {
    CmdContrast(main, !strcmp(a1, "on"), a2);
  } else if (!strcmp(cmd, "colours")) {
    CmdColours();
  } else if (!strcmp(cmd, "press") && a1 && a2) {
    CmdPress(main, atoi(a1), a2);
  } else if (!strcmp(cmd, "uia")) {
    CmdUia(main);
  } else if (!strcmp(cmd, "awareness")) {
    CmdAwareness(main);
  } else {
    Putf("{\"ok\":false,\"error\":\"unknown command\"}");
  }
  Put("\n");
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD written = 0;
  WriteFile(out, Out, static_cast<DWORD>(OutLen), &written, nullptr);
}

// Reads stdin on its own thread so that the main thread keeps its message
// loop running (the probe's own window must stay responsive).
DWORD WINAPI ReadCommands(LPVOID) {
  HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
  static char pending[8192];
  size_t have = 0;
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(in, pending + have, static_cast<DWORD>(sizeof(pending) - 1 - have), &got, nullptr) || got == 0) {
      break;
    }
    have += got;
    char* start = pending;
    char* nl;
    while ((nl = static_cast<char*>(memchr(start, '\n', have - static_cast<size_t>(start - pending)))) != nullptr) {
      *nl = '\0';
      char* line = _strdup(start);
      PostThreadMessageA(MainThreadId, WM_COMMAND_LINE, 0, reinterpret_cast<LPARAM>(line));
      start = nl + 1;
    }
    have -= static_cast<size_t>(start - pending);
    memmove(pending, start, have);
  }
  PostThreadMessageA(MainThreadId, WM_QUIT, 0, 0);
  return 0;
}

}  // namespace

int main() {
  // Window positions and sizes in the display's own pixels, whatever the
  // scale and whether wine makes programs aware of it by default: a reader
  // that is not per-monitor aware gets other programs' rectangles scaled back
  // to 96 DPI. Per-monitor v2 where the system has it, else v1, else the
  // system-wide mode.
  auto set_context = User32<BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT)>("SetProcessDpiAwarenessContext");
  if (!set_context || (!set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2) &&
                       !set_context(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE))) {
    SetProcessDPIAware();
  }
  MainThreadId = GetCurrentThreadId();
  MSG msg;
  // Make sure the thread has a message queue before the reader posts to it.
  PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
  CreateThread(nullptr, 0, ReadCommands, nullptr, 0, nullptr);
  Put("");
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (!msg.hwnd && msg.message == WM_COMMAND_LINE) {
      char* line = reinterpret_cast<char*>(msg.lParam);
      bool quit = strncmp(line, "quit", 4) == 0;
      if (!quit) Command(line);
      free(line);
      if (quit) break;
      continue;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
