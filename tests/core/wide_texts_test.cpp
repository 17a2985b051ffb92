// The UTF-16 texts the program draws and shows must say what a Chinese
// desktop knows as these code page 936 bytes: the labels, the warning and the
// label face. glibc's iconv decodes the bytes, independently of anything the
// program does.
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
  // Each label is 10 bytes; the painter draws LabelUnits of it.
  const char* labels[FieldCount] = {"\xB6\xFE \xBD\xF8 \xD6\xC6 :", "\xB0\xCB \xBD\xF8 \xD6\xC6 :",
                                    "\xCA\xAE \xBD\xF8 \xD6\xC6 :",
                                    "\xCA\xAE\xC1\xF9\xBD\xF8\xD6\xC6 :"};
  for (uint32_t i = 0; i < FieldCount; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(std::u16string(LabelsW[i]), Decode936(labels[i]));
    EXPECT_EQ(LabelUnits[i], std::u16string(LabelsW[i]).size());
  }
  // "你输入的数值已大于32位最大值0xffffffffH,请重新输入！" and "系统担示".
  EXPECT_EQ(std::u16string(OverflowWarningTextW),
            Decode936("\xC4\xE3\xCA\xE4\xC8\xEB\xB5\xC4\xCA\xFD\xD6\xB5\xD2\xD1\xB4\xF3\xD3\xDA"
                      "32\xCE\xBB\xD7\xEE\xB4\xF3\xD6\xB5" "0xffffffffH,"
                      "\xC7\xEB\xD6\xD8\xD0\xC2\xCA\xE4\xC8\xEB\xA3\xA1"));
  EXPECT_EQ(std::u16string(OverflowWarningCaptionW), Decode936("\xCF\xB5\xCD\xB3\xB5\xA3\xCA\xBE"));
  // The face's name, CB CE CC E5 in code page 936.
  EXPECT_EQ(std::u16string(LabelFaceW), Decode936("\xCB\xCE\xCC\xE5"));
}

}  // namespace
