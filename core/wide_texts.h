// The texts a person reads, as the UTF-16 that the system's Unicode calls
// take: the four labels, the overflow warning and the label face, which a
// Chinese desktop knows as code page 936 text (a native test decodes those
// bytes and compares). They are held ready here rather than converted at run
// time, so that showing them needs no code page 936 on the system: Windows
// without the East Asian language files has none, and a failed conversion
// would leave its output unwritten.
#pragma once

#include <stdint.h>

#include "converter_panel.h"

// Indexed by FieldKind; NUL-terminated, LabelUnits of each are drawn.
inline constexpr char16_t LabelsW[FieldCount][8] = {
    u"\u4E8C \u8FDB \u5236 :",      // 二 进 制 :
    u"\u516B \u8FDB \u5236 :",      // 八 进 制 :
    u"\u5341 \u8FDB \u5236 :",      // 十 进 制 :
    u"\u5341\u516D\u8FDB\u5236 :",  // 十六进制 :
};

constexpr uint8_t WideLength(const char16_t* text) {
  uint8_t n = 0;
  while (text[n] != u'\0') ++n;
  return n;
}

inline constexpr uint8_t LabelUnits[FieldCount] = {
    WideLength(LabelsW[0]), WideLength(LabelsW[1]), WideLength(LabelsW[2]),
    WideLength(LabelsW[3])};

// "你输入的数值已大于32位最大值0xffffffffH,请重新输入！"
inline constexpr char16_t OverflowWarningTextW[] =
    u"\u4F60\u8F93\u5165\u7684\u6570\u503C\u5DF2\u5927\u4E8E"
    u"32"
    u"\u4F4D\u6700\u5927\u503C"
    u"0xffffffffH,"
    u"\u8BF7\u91CD\u65B0\u8F93\u5165\uFF01";

// "系统担示"
inline constexpr char16_t OverflowWarningCaptionW[] = u"\u7CFB\u7EDF\u62C5\u793A";

// "宋体", named through the Unicode call so that it is found whatever code
// page the system runs in.
inline constexpr char16_t LabelFaceW[] = u"\u5B8B\u4F53";
