// The UTF-16 texts the program draws and shows must say what the code page
// 936 bytes of the field table, the warning and the label face say. glibc's
// iconv decodes the bytes, independently of anything the program does.
#include <gtest/gtest.h>
#include <iconv.h>

#include <string>

#include "converter_panel.h"
#include "wide_texts.h"

namespace {

std::u16string Decode936(const std::string& bytes) {
  iconv_t cd = iconv_open("UTF-16LE", "CP936");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << "no CP936 converter in this C library";
  char out[256] = {};
  char* in = const_cast<char*>(bytes.data());
  size_t inLeft = bytes.size();
  char* outPtr = out;
  size_t outLeft = sizeof(out);
  EXPECT_NE(iconv(cd, &in, &inLeft, &outPtr, &outLeft), static_cast<size_t>(-1));
  iconv_close(cd);
  std::u16string text;
  for (const char* p = out; p < outPtr; p += 2) {
    text.push_back(static_cast<char16_t>(static_cast<unsigned char>(p[0]) |
                                         static_cast<unsigned char>(p[1]) << 8));
  }
  return text;
}

TEST(WideTexts, EqualTheCodePage936TextsDecoded) {
  for (uint32_t i = 0; i < FieldCount; ++i) {
    SCOPED_TRACE(i);
    // Each label is exactly 10 bytes; the painter draws LabelUnits of it.
    EXPECT_EQ(std::u16string(LabelsW[i]), Decode936(std::string(FieldTable[i].label, 10)));
    EXPECT_EQ(LabelUnits[i], std::u16string(LabelsW[i]).size());
  }
  EXPECT_EQ(std::u16string(OverflowWarningTextW), Decode936(OverflowWarningText));
  EXPECT_EQ(std::u16string(OverflowWarningCaptionW), Decode936(OverflowWarningCaption));
  // The face's name, CB CE CC E5 in code page 936.
  EXPECT_EQ(std::u16string(LabelFaceW), Decode936("\xCB\xCE\xCC\xE5"));
}

}  // namespace
