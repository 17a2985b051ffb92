// Fuzz target for the converter panel: random sequences of keystrokes, key
// releases, focus moves, undos, pastes, texts set from outside and the
// window's minimised-once state, played against the test host that behaves
// like four edit controls. After every step it checks what must always hold:
//
// - after a key release the three other fields show the value of the focused
//   field in their own bases (when the overflow warning came up, the value of
//   the field that the nested release converted from);
// - no step warns more than once, and no warning comes up nested;
// - the host never sees nesting deeper than the one resent key release;
// - no field's text is longer than its limit;
// - a refused paste leaves the field as it was.
//
// Input: a byte stream of operations, each an opcode byte and its arguments.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "converter_panel.h"
#include "fake_host.h"

namespace {

constexpr FieldKind kKinds[FieldCount] = {FieldKind::Binary, FieldKind::Octal,
                                          FieldKind::Decimal, FieldKind::Hexadecimal};
const char* const kNames[FieldCount] = {"binary", "octal", "decimal", "hex"};
constexpr uint32_t kRadix[FieldCount] = {2, 8, 10, 16};

// What keys produce: digits of every base, letters inside and outside the hex
// alphabet, Backspace, Tab, Esc, blanks and the Ctrl+letter control codes.
constexpr uint8_t kKeys[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'c', 'f',
                             'A', 'B', 'F', 'g', 'G', 'x', ' ', '-', 8, 9, 27, 3, 22, 24, 26};

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t pos = 0;
  bool more() const { return pos < size; }
  uint8_t byte() { return pos < size ? data[pos++] : 0; }
  std::string bytes(size_t n) {
    std::string s;
    while (n-- > 0 && pos < size) s += static_cast<char>(data[pos++]);
    return s;
  }
};

std::string trace;  // the steps so far, printed with a failure

// Texts in the trace, with bytes outside printable ASCII escaped.
std::string Quoted(const std::string& text) {
  std::string out = "\"";
  char hex[8];
  for (char c : text) {
    const auto b = static_cast<uint8_t>(c);
    if (b >= 0x20 && b < 0x7F && c != '"' && c != '\\') {
      out += c;
    } else {
      std::snprintf(hex, sizeof hex, "\\x%02X", b);
      out += hex;
    }
  }
  return out + "\"";
}

[[noreturn]] void Fail(const FakeHost& host, const char* what) {
  std::fprintf(stderr, "PANEL INVARIANT BROKEN: %s\nsteps:%s\nfields:", what, trace.c_str());
  for (uint32_t i = 0; i < FieldCount; ++i)
    std::fprintf(stderr, " %s=\"%s\"", kNames[i], host.Text(kKinds[i]).c_str());
  std::fprintf(stderr, "\nwarnings %zu maxNesting %u minimizedOnce %d\n", host.warnings.size(),
               host.maxNesting, host.MinimizedOnce());
  std::abort();
}

bool InAlphabet(FieldKind kind, const std::string& text) {
  for (char c : text)
    if (!ConverterPanel::Accepts(kind, static_cast<uint8_t>(c))) return false;
  return true;
}

// The value a field's text stands for, computed here rather than by the
// codec: digits of the field's base, most significant first, modulo 2^32.
uint32_t ValueOf(FieldKind kind, const std::string& text) {
  uint64_t v = 0;
  for (char c : text) {
    const uint32_t d = c <= '9' ? static_cast<uint32_t>(c - '0')
                                : static_cast<uint32_t>((c | 0x20) - 'a' + 10);
    v = (v * kRadix[static_cast<uint8_t>(kind)] + d) & 0xFFFFFFFFu;
  }
  return static_cast<uint32_t>(v);
}

std::string Canonical(FieldKind kind, uint32_t value) {
  const uint32_t radix = kRadix[static_cast<uint8_t>(kind)];
  std::string s;
  do {
    s.insert(s.begin(), "0123456789ABCDEF"[value % radix]);
    value /= radix;
  } while (value != 0);
  return s;
}

bool FitsItsRule(FieldKind kind, const std::string& text) {
  if (kind == FieldKind::Octal) return !(text.size() == 11 && text[0] > '3');
  if (kind == FieldKind::Decimal) return !(text.size() == 10 && text > "4294967295");
  return true;
}

// The fields other than source show source's value, canonically.
bool Converted(const FakeHost& host, FieldKind source, bool skipBinary = false) {
  const std::string& text = host.Text(source);
  const uint32_t value = ValueOf(source, text);
  for (FieldKind kind : kKinds) {
    if (kind == source || (skipBinary && kind == FieldKind::Binary)) continue;
    if (host.Text(kind) != Canonical(kind, value)) return false;
  }
  return true;
}

void CheckConverted(const FakeHost& host, FieldKind source, const char* when) {
  const std::string& text = host.Text(source);
  if (!InAlphabet(source, text)) return;  // foreign text is deliberately not converted
  if (!FitsItsRule(source, text)) Fail(host, "source field left holding text above 32 bits");
  if (!Converted(host, source)) Fail(host, when);
}

void CheckLimits(const FakeHost& host) {
  for (FieldKind kind : kKinds)
    if (host.Text(kind).size() > RowOf(kind).textLimit) Fail(host, "field text above its limit");
}

// A key release (or keystroke with its release) just ran.
void CheckAfterRelease(FakeHost& host, size_t warningsBefore) {
  const size_t warned = host.warnings.size() - warningsBefore;
  if (warned > 1) Fail(host, "more than one warning for one key release");
  if (warned == 1 && host.warnings.back().depth != 1) Fail(host, "warning raised while nested");
  if (host.maxNesting > 2) Fail(host, "key release nested deeper than one resend");
  FieldKind focused;
  if (!host.FocusedField(focused)) return;
  if (warned == 0) {
    CheckConverted(host, focused, "other fields do not show the focused field's value");
    return;
  }
  // The overflow path ran: the focus is back in the field that overflowed.
  if (focused != host.warnings.back().field) Fail(host, "focus not back in the warned field");
  // The undo may bring back text set from outside, which is no number and is
  // left alone like any other such text.
  const std::string& text = host.Text(focused);
  if (!InAlphabet(focused, text)) return;
  // Otherwise the field holds no text above 32 bits and the fields agree,
  // converted from it or, once the window has been minimised, from Binary;
  // Binary text set from outside converts nothing and stays as it is.
  if (!FitsItsRule(focused, text)) Fail(host, "overflowing text left after warning");
  const bool binaryIsNumber = InAlphabet(FieldKind::Binary, host.Text(FieldKind::Binary));
  const bool fromFocused =
      Converted(host, focused, /*skipBinary=*/host.MinimizedOnce() && !binaryIsNumber);
  const bool fromBinary =
      host.MinimizedOnce() && binaryIsNumber && Converted(host, FieldKind::Binary);
  if (!fromFocused && !fromBinary) Fail(host, "fields disagree after the overflow warning");
}

void RunOne(const uint8_t* data, size_t size) {
  PanelState state{};
  FakeHost host(state);
  Reader in{data, size};
  trace.clear();
  char step[96];
  for (int steps = 0; in.more() && steps < 400; ++steps) {
    const uint8_t op = in.byte();
    const uint8_t arg = in.byte();
    const FieldKind kind = kKinds[arg % FieldCount];
    const size_t warningsBefore = host.warnings.size();
    host.maxNesting = 0;
    switch (op % 16) {
      default: {  // 0..7: a keystroke and its release in the focused field
        const uint8_t key = arg < 2 * sizeof kKeys ? kKeys[arg % sizeof kKeys] : arg;
        std::snprintf(step, sizeof step, " key(%u)", key);
        trace += step;
        host.TypeByte(key);
        CheckAfterRelease(host, warningsBefore);
        break;
      }
      case 8:  // a key that types nothing: Shift, an arrow
        trace += " release";
        host.KeyUp();
        CheckAfterRelease(host, warningsBefore);
        break;
      case 9:  // a click into a field
        std::snprintf(step, sizeof step, " focus(%s)", kNames[arg % FieldCount]);
        trace += step;
        host.FocusField(kind);
        break;
      case 10:
        trace += " focus(elsewhere)";
        host.FocusNone();
        break;
      case 11:  // Undo from the edit control's context menu, converted at once
        std::snprintf(step, sizeof step, " undo(%s)", kNames[arg % FieldCount]);
        trace += step;
        host.UndoFromOutside(kind);
        if (host.warnings.size() - warningsBefore > 1) Fail(host, "more than one warning for one undo");
        CheckConverted(host, kind, "other fields do not show the value the undo restored");
        break;
      case 12: {  // a paste into a field
        const std::string clip = in.bytes(arg % 24);
        const std::string before = host.Text(kind);
        const uint32_t beeps = host.beeps;
        trace += std::string(" paste(") + kNames[arg % FieldCount] + "," + Quoted(clip) + ")";
        host.Paste(kind, clip);
        // One outcome: accepted, refused with one beep, or one warning after
        // which the focus is back in the pasted field.
        const size_t warned = host.warnings.size() - warningsBefore;
        if (warned + (host.beeps - beeps) > 1) Fail(host, "more than one beep or warning for one paste");
        if (warned == 1) {
          FieldKind focused;
          if (!host.FocusedField(focused) || focused != kind) Fail(host, "focus not back in the pasted field");
        }
        if (warned == 1 || host.beeps != beeps) {
          if (host.Text(kind) != before) Fail(host, "refused paste changed the field");
        } else {
          CheckConverted(host, kind, "other fields do not show the pasted value");
        }
        break;
      }
      case 13: {  // another program sets a field's text (within its limit)
        const std::string text = in.bytes(in.byte() % (RowOf(kind).textLimit + 1u));
        if (arg < 128) {  // unjudged, as a change not yet told leaves it
          trace += std::string(" settext(") + kNames[arg % FieldCount] + "," + Quoted(text) + ")";
          host.SetText(kind, text);
          break;
        }
        // WM_SETTEXT: taken and converted, or refused with one beep or one
        // warning, the field unchanged.
        trace += std::string(" wmsettext(") + kNames[arg % FieldCount] + "," + Quoted(text) + ")";
        const std::string before = host.Text(kind);
        const uint32_t beeps = host.beeps;
        const bool taken = host.SetTextFromOutside(kind, text);
        const size_t refusals = host.warnings.size() - warningsBefore + (host.beeps - beeps);
        if (refusals != (taken ? 0u : 1u)) Fail(host, "not one outcome for one WM_SETTEXT");
        if (!taken && host.Text(kind) != before) Fail(host, "refused WM_SETTEXT changed the field");
        if (taken && (host.Text(kind) != text.c_str() || !Converted(host, kind)))
          Fail(host, "WM_SETTEXT taken but not converted");
        break;
      }
      case 14:
        trace += " minimized";
        host.DrawnMinimise();
        break;
      case 15: {  // the caret or selection moved by mouse or arrow key
        const uint8_t to = in.byte();
        std::snprintf(step, sizeof step, " select(%s,%u,%u)", kNames[arg % FieldCount],
                      (arg / 4) % 40u, to % 40u);
        trace += step;
        host.Select(kind, (arg / 4) % 40u, to % 40u);
        break;
      }
    }
    CheckLimits(host);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  RunOne(data, size);
  return 0;
}
