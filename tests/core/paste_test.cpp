#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <charconv>
#include <cstring>
#include <memory>

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
    host.minimizedOnce = minimized;
    host.SetText(c.field, c.before);
    host.FocusField(c.field);
    host.Select(c.field, c.start, c.end);
    Texts want = {host.Text(kBin), host.Text(kOct), host.Text(kDec), host.Text(kHex)};

    EXPECT_EQ(host.Paste(c.field, c.clip), Result::Done);

    const int index = static_cast<int>(c.field);
    if (c.outcome == Outcome::Accept) {
      // Converted at once, without waiting for a key release.
      const uint64_t value = std::stoull(c.after, nullptr, kRadix[index]);
      for (int f = 0; f < 4; ++f) want[f] = f == index ? c.after : Format(value, kRadix[f]);
    }
    EXPECT_EQ((Texts{host.Text(kBin), host.Text(kOct), host.Text(kDec), host.Text(kHex)}), want);
    EXPECT_EQ(host.beeps, c.outcome == Outcome::Refuse ? 1u : 0u);
    ASSERT_EQ(host.warnings.size(), c.outcome == Outcome::Overflow ? 1u : 0u);
    if (c.outcome == Outcome::Overflow) {
      EXPECT_EQ(host.warnings[0].field, c.field);
    }
    EXPECT_TRUE(host.HasFocus(c.field));
  }
}

// Clipboard blocks from another program need not hold a NUL. Each block here
// is copied into a heap allocation of exactly its size, so under
// AddressSanitizer (scripts/test.sh) a read of one byte past it fails the
// test; on Windows such a read crashes when the block ends at a page end.
TEST(PasteClipboardBlock, ReadsNothingPastTheBlockAndRefusesLongTextWhole) {
  const std::string digits127(127, '7');
  const std::string blanks(300, ' ');
  const struct {
    std::string block;
    bool fits;
    std::string copied;
  } cases[] = {
      {" \t\r\n \v\f", true, ""},  // blanks only, no NUL
      {"12345", true, "12345"},
      {" \t\n101", true, "101"},
      {blanks + digits127, true, digits127},  // leading blanks do not count
      {digits127 + blanks, true, digits127},  // the buffer is full, then blanks
      {std::string(128, '7'), false, ""},
      {digits127 + " 7", false, ""},
      {std::string("12\0 34", 6), true, "12"},  // a NUL still ends the text
      {"", true, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.block.size() << "-byte block \"" << c.block.substr(0, 12)
                                    << "\"");
    const auto block = std::make_unique<char[]>(c.block.size());
    std::memcpy(block.get(), c.block.data(), c.block.size());
    const auto buffer = std::make_unique<char[]>(128);
    EXPECT_EQ(ConverterPanel::CopyClipboardText(block.get(), c.block.size(), buffer.get(), 128),
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
