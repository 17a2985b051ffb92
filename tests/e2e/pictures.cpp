// The README's pictures (scripts/screenshots.sh): the window with a value typed, named after the desktop it is on.
#include "e2e.h"
#include "pixels.h"

using namespace e2e;

SCENARIO("pictures", the_window) {
  const bool latin = GetACP() == 1252, nofont = latin && !HasFace(L"宋体");
  const bool contrast = GetSysColor(COLOR_WINDOW) == RGB(0, 0, 0);
  const std::string name = contrast ? "quorvane-contrast" : Dpi() == 144 ? "quorvane-150"
                           : nofont ? "quorvane-cp1252-nofont" : latin ? "quorvane-cp1252" : "quorvane";
  const std::string keys = nofont ? "c0ffee" : latin ? "429496729" : "3735928559";
  EmptyField(nofont ? Hexadecimal : Decimal);
  Type(keys);
  ActivateMain();  // a click on the background: the caret stays in its field
  const State s = Shows("value typed", Showing(nofont ? Hexadecimal : Decimal, keys));
  if (contrast) SwitchContrast(true);
  SavePicture(name, s.rect);
  if (contrast) SwitchContrast(false);
  if (latin && !nofont) {
    Type("6");
    RECT both, box = ExpectWarning("the overflow warning").rect;
    UnionRect(&both, &s.rect, &box);
    Poll([] { return false; }, Slow(0.5));  // the box paints after it shows
    SavePicture(name + "-warning", both);
    DismissWarning("the warning dismissed");
  }
}
