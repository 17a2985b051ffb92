// A field's context menu, the edit control's own: opened, and its items clicked.
#pragma once

#include "pixels.h"

namespace e2e {

enum MenuItem { MenuUndo, MenuCut, MenuCopy, MenuPaste, MenuDelete, MenuSelectAll };
// Opened by a right click in the field, or with key by the Menu key (the field focused): its screen rectangle.
inline RECT OpenContextMenu(Field f, bool key = false, Where where = Where::current()) {
  key ? Type("{Menu}") : ClickField(f, 150, Right);
  RECT r{};
  if (!Poll([&] { return GetWindowRect(FindVisible("#32768"), &r); }, Slow(5))) {
    Fail("context menu open", "the edit control's context menu", Read().Describe(), where);
  }
  return r;
}
// The bands of rows that hold some text on a menu's background, as screen rectangles; separators and the frame are
// rows nearly all line. A mnemonic's underline, a row or two below its letter, joins its item's band.
inline std::vector<RECT> TextBands(RECT m) {
  const Shot shot = Screen(m);  // the menu alone: the whole screen is slow to read under an emulator
  const uint32_t background = shot.At(2, 2);
  std::vector<RECT> bands;
  for (int y = 1; y < shot.height; ++y) {
    int marked = 0;
    for (int x = 3; x < shot.width - 3; ++x) marked += shot.At(x, y) != background;
    if (marked == 0 || marked >= shot.width * 3 / 4) continue;
    if (bands.empty() || m.top + y - bands.back().bottom > Scale(3)) bands.push_back({m.left, m.top + y, m.right, 0});
    bands.back().bottom = m.top + y;
  }
  return bands;
}
inline void ClickMenuItem(Field f, MenuItem item, Where where = Where::current()) {
  const RECT m = OpenContextMenu(f, false, where);
  // The item found by its command id: the message the edit control sends itself (wine's Undo is EM_UNDO).
  const UINT ids[] = {WM_UNDO, WM_CUT, WM_COPY, WM_PASTE, WM_CLEAR, EM_SETSEL};
  const HMENU menu = HMENU(Send(FindVisible("#32768"), MN_GETHMENU));
  RECT r{};
  const int count = menu ? GetMenuItemCount(menu) : -1;
  int i = count;
  while (--i >= 0 && GetMenuItemID(menu, i) != ids[item] && (item || GetMenuItemID(menu, i) != EM_UNDO)) continue;
  if (i < 0 || !GetMenuItemRect(nullptr, menu, UINT(i), &r)) {
    // Wine keeps a menu's items in the process that made it: another process gets its handle, but GetMenuItemCount
    // answers -1 for it (wine 8 and 10). The items are found in a picture then.
    std::string read = Say("%d items:", count);
    for (int j = 0; j < count; ++j) read += Say(" %04X", GetMenuItemID(menu, j));
    const std::string want = Say("an item with the id %04X%s, and its place", ids[item], item ? "" : " or EM_UNDO's");
    if (!Wine()) Fail("context menu's items", want, read, where);
    std::vector<RECT> rows;
    if (!Poll([&] { return (rows = TextBands(m)).size() == 6; }, Slow(3))) {
      Fail("context menu's items", "6 items", Say("%zu text bands", rows.size()), where);
    }
    r = rows[item];
  }
  ClickScreen(Centre(r));
  if (!Poll([] { return !FindVisible("#32768"); }, Slow(5))) Fail("menu closed", "no menu", "the menu open", where);
}

}  // namespace e2e
