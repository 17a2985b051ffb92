#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>

#include "panel_fixture.h"

using ConverterPanel::Result;

namespace {

enum class Outcome { Accept, Refuse, Overflow };

struct Case {
  FieldKind field;
  const char* before;  // the field's text, with [start, end) selected
  uint32_t start, end;
  const char* clip;
  Outcome outcome;
  const char* after = "";  // the field's text when accepted
};

const int kRadix[] = {2, 8, 10, 16};

std::string Format(uint64_t value, int radix) {
  char buffer[40];
  std::string text(buffer, std::to_chars(buffer, buffer + 40, value, radix).ptr);
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

const std::string kOnes32(32, '1');

const Case kCases[] = {
    {kBin, "", 0, 0, "101", Outcome::Accept, "101"},
    {kBin, "", 0, 0, "0b1010", Outcome::Accept, "1010"},
    {kBin, "", 0, 0, " 0B11\r\n", Outcome::Accept, "11"},
    {kBin, "", 0, 0, "1010 0101", Outcome::Accept, "10100101"},
    {kBin, "", 0, 0, "1111_0000_1111", Outcome::Accept, "111100001111"},
    {kOct, "", 0, 0, "0o17", Outcome::Accept, "17"},
    {kOct, "", 0, 0, "\v0O37777777777\f", Outcome::Accept, "37777777777"},
    {kDec, "", 0, 0, "\t 4 294 967 295 \n", Outcome::Accept, "4294967295"},
    {kDec, "", 0, 0, "0999999999", Outcome::Accept, "0999999999"},
    {kDec, "12", 1, 1, "34", Outcome::Accept, "1342"},
    {kDec, "12345", 1, 4, "0", Outcome::Accept, "105"},
    {kHex, "", 0, 0, "0xff", Outcome::Accept, "ff"},
    {kHex, "", 0, 0, "0XdeadBEEF", Outcome::Accept, "deadBEEF"},
    {kHex, "", 0, 0, "FFh", Outcome::Accept, "FF"},
    {kHex, "", 0, 0, "1fH", Outcome::Accept, "1f"},
    {kHex, "", 0, 0, "dead_beef", Outcome::Accept, "deadbeef"},
    {kHex, "", 0, 0, "0b1", Outcome::Accept, "0b1"},  // hex digits, not a prefix
    {kHex, "ABCDEFGH", 0, 8, "12", Outcome::Accept, "12"},  // replaces foreign text whole
    // Foreign characters.
    {kDec, "", 0, 0, "12a", Outcome::Refuse},
    {kDec, "", 0, 0, "-5", Outcome::Refuse},
    {kDec, "", 0, 0, "1\t0", Outcome::Refuse},
    {kHex, "", 0, 0, "0x1g", Outcome::Refuse},
    {kOct, "", 0, 0, "78", Outcome::Refuse},
    {kBin, "", 0, 0, "10b1", Outcome::Refuse},
    {kDec, "", 0, 0, "10h", Outcome::Refuse},
    {kDec, "1x", 2, 2, "1", Outcome::Refuse},  // foreign text around the selection
    // Too long, alone or with the text kept around the selection.
    {kDec, "", 0, 0, "12345678901", Outcome::Refuse},
    {kHex, "", 0, 0, "0x123456789", Outcome::Refuse},
    {kDec, "123456789", 9, 9, "12", Outcome::Refuse},
    {kBin, kOnes32.c_str(), 0, 1, "11", Outcome::Refuse},
    // Nothing left.
    {kDec, "", 0, 0, "", Outcome::Refuse},
    {kDec, "", 0, 0, " \r\n\t", Outcome::Refuse},
    {kHex, "", 0, 0, "0x", Outcome::Refuse},
    {kHex, "", 0, 0, "h", Outcome::Refuse},
    {kBin, "", 0, 0, "0b", Outcome::Refuse},
    // Separators only between two digits.
    {kBin, "", 0, 0, "_101", Outcome::Refuse},
    {kBin, "", 0, 0, "101_", Outcome::Refuse},
    {kHex, "", 0, 0, "0x_ff", Outcome::Refuse},
    {kHex, "", 0, 0, "ff_h", Outcome::Refuse},
    {kDec, "", 0, 0, "1__0", Outcome::Refuse},
    {kDec, "", 0, 0, "1 _0", Outcome::Refuse},
    // Prefix and suffix together, or another base's prefix.
    {kHex, "", 0, 0, "0xffh", Outcome::Refuse},
    {kBin, "", 0, 0, "0x1", Outcome::Refuse},
    {kOct, "", 0, 0, "0b1", Outcome::Refuse},
    {kOct, "", 0, 0, "0x7", Outcome::Refuse},
    {kDec, "", 0, 0, "0x10", Outcome::Refuse},
    {kDec, "", 0, 0, "0d10", Outcome::Refuse},
    {kHex, "", 0, 0, "0o7", Outcome::Refuse},
    // Beyond 32 bits once pasted.
    {kDec, "", 0, 0, "4294967296", Outcome::Overflow},
    {kOct, "", 0, 0, "0o40000000000", Outcome::Overflow},
    {kDec, "42949672", 8, 8, "96", Outcome::Overflow},
    {kDec, "4294967295", 0, 1, "5", Outcome::Overflow},
};

// Each row also once the window has been minimised: the warning's closing
// then activates Binary, and the focus must still end in the pasted field.
TEST(PasteTable, AcceptedConvertedRefusedOrWarned) {
  for (const Case& c : kCases) for (bool minimized : {false, true}) {
    SCOPED_TRACE(testing::Message() << "field " << static_cast<int>(c.field) << " clip \""
                                    << c.clip << "\" into \"" << c.before << "\""
                                    << (minimized ? " after a minimise" : ""));
    PanelState state{};
    FakeHost host(state);
    if (minimized) host.DrawnMinimise();
    host.SetText(c.field, c.before);
    host.FocusField(c.field);
    host.Select(c.field, c.start, c.end);
    Texts want = TextsOf(host);

    EXPECT_EQ(host.Paste(c.field, c.clip), Result::Done);

    const int index = static_cast<int>(c.field);
    if (c.outcome == Outcome::Accept) {
      // Converted at once, without waiting for a key release.
      const uint64_t value = std::stoull(c.after, nullptr, kRadix[index]);
      for (int f = 0; f < 4; ++f) want[f] = f == index ? c.after : Format(value, kRadix[f]);
    }
    EXPECT_EQ(TextsOf(host), want);
    EXPECT_EQ(host.beeps, c.outcome == Outcome::Refuse ? 1u : 0u);
    ASSERT_EQ(host.warnings.size(), c.outcome == Outcome::Overflow ? 1u : 0u);
    if (c.outcome == Outcome::Overflow) {
      EXPECT_EQ(host.warnings[0].field, c.field);
    }
    EXPECT_TRUE(host.HasFocus(c.field));
  }
}

// The bytes of a CF_UNICODETEXT block holding text, less cut bytes at its end.
std::string Utf16(const std::u16string& text, size_t cut = 0) {
  return std::string(reinterpret_cast<const char*>(text.data()), 2 * text.size() - cut);
}

// Clipboard blocks from another program need not hold a NUL. Each block here
// is copied into a heap allocation of exactly its size, so under
// AddressSanitizer (scripts/test.sh) a read of one byte past it fails the
// test; on Windows such a read crashes when the block ends at a page end.
// Most blocks are UTF-16, as nearly every program puts text; the system's
// CF_TEXT made from one turns look-alikes into digits ("１０１" into "101").
TEST(PasteClipboardBlock, CopiesAsciiReadsNothingPastTheBlockAndRefusesWhole) {
  const std::string digits127(127, '7');
  const std::u16string wideDigits127(127, u'7');
  // Blanks, the typeset spaces among them; they do not count against the size.
  const std::u16string blanks = std::u16string(60, u' ') + u"\u00A0\u2007\u2009\u202F\t\r\n";
  const struct {
    std::string block;
    bool utf16;
    bool fits;
    std::string copied;
  } cases[] = {
      {Utf16(u" \t\r\n \v\f"), true, true, ""},  // blanks only, no NUL
      {Utf16(u"\u00A04\u202F294\u2009967\u2007295\u202F"), true, true, "4 294 967 295 "},
      {Utf16(blanks + wideDigits127), true, true, digits127},
      {Utf16(wideDigits127 + blanks), true, true, digits127},  // the buffer is full, then blanks
      {Utf16(std::u16string(128, u'7')), true, false, ""},
      {Utf16(wideDigits127 + u" 7"), true, false, ""},
      {Utf16(std::u16string(u"12\0\uFF11", 4)), true, true, "12"},  // a NUL still ends the text
      {Utf16(u"123", 1), true, true, "12"},      // an odd last byte is not read
      {Utf16(u""), true, true, ""},
      // Beyond ASCII: at the start, inside and at the end, whatever the low byte.
      {Utf16(u"\u0131\u0130"), true, false, ""},  // ı İ: low bytes "10"
      {Utf16(u"\uFF11\uFF10\uFF11"), true, false, ""},  // full-width 101
      {Utf16(u" 1\u20810"), true, false, ""},           // subscript 1
      {Utf16(u"ad\u03B1"), true, false, ""},            // α
      {Utf16(u"1\u0080"), true, false, ""},
      {Utf16(u"101 \u00B9"), true, false, ""},  // after the blanks that follow the text
      // CF_TEXT from an older program: its bytes as they are.
      {" \t\n1\xB9", false, true, "1\xB9"},
      {"12\0\xB9", false, true, "12"},
      {std::string(128, '7'), false, false, ""},
      {digits127 + " 7", false, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "case " << &c - cases << ": " << c.block.size() << "-byte "
                                    << (c.utf16 ? "UTF-16" : "byte") << " block");
    const auto block = std::make_unique<char[]>(c.block.size());
    std::memcpy(block.get(), c.block.data(), c.block.size());
    const auto buffer = std::make_unique<char[]>(128);
    EXPECT_EQ(ConverterPanel::CopyClipboardText(block.get(), c.block.size(), c.utf16,
                                                buffer.get(), 128),
              c.fits);
    if (c.fits) {
      EXPECT_EQ(std::string(buffer.get()), c.copied);
    }
  }
}

using PasteUndo = PanelTest;

TEST_F(PasteUndo, AcceptedPasteIsOneUndoableEdit) {
  host.SetText(kDec, "45");
  ClickEnd(kDec);
  host.Paste(kDec, "1 2 3");
  EXPECT_EQ(host.Text(kDec), "45123");
  host.UndoField(kDec);
  EXPECT_EQ(host.Text(kDec), "45");
  host.UndoField(kDec);  // an edit control's undo toggles
  EXPECT_EQ(host.Text(kDec), "45123");
}

TEST_F(PasteUndo, RefusedPasteLeavesUndoAlone) {
  ClickEnd(kDec);
  host.Type("77");
  host.Paste(kDec, "7x");
  host.Paste(kDec, "99999999999");
  host.UndoField(kDec);
  EXPECT_EQ(host.Text(kDec), "");
  EXPECT_EQ(host.beeps, 2u);
}

TEST_F(PasteUndo, HugeClipboardText) {
  const std::string blanks(1 << 20, ' ');
  ClickEnd(kBin);
  host.Select(kBin, 0, 1);
  host.Paste(kBin, blanks + "101" + blanks);
  EXPECT_EQ(All(), (Texts{"101", "5", "5", "5"}));

  // Refused without reading past the longest text the field could take (a
  // prefix and 8 digits with 7 separators: 17 bytes) and one byte more: here
  // an unreadable page follows that byte, so a walk to the text's end crashes.
  const size_t page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const size_t size = 2 * page + (1 << 20);
  char* memory = static_cast<char*>(
      mmap(nullptr, size + page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
  ASSERT_NE(memory, MAP_FAILED);
  ASSERT_EQ(mprotect(memory + size, page, PROT_NONE), 0);
  const size_t digits = 18;
  std::memset(memory, ' ', size - digits);
  std::memset(memory + size - digits, 'f', digits);  // and no NUL before the unreadable page
  ConverterPanel::OnFieldPaste(host, state, kHex, memory);
  EXPECT_EQ(host.beeps, 1u);
  EXPECT_EQ(host.Text(kHex), "5");
  munmap(memory, size + page);
}

}  // namespace
