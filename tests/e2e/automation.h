// What assistive technology reads of the window: MSAA (oleacc) and UI Automation, through their vtables.
#pragma once

#include "program.h"

#include <oleacc.h>

#include <memory>

namespace e2e {

using Com = std::shared_ptr<IUnknown>;
inline Com Hold(IUnknown* object) { return Com(object, [](IUnknown* o) { o->Release(); }); }
inline VARIANT Self() { return {{{VT_I4}}}; }  // CHILDID_SELF

// What assistive technology is told of an object: name, kind (MSAA's role, UI Automation's control type), class, place.
inline std::string Said(const std::string& name, long kind, const std::string& cls, RECT r) {
  return Say("%s %ld %s (%ld,%ld,%ld,%ld)", name.c_str(), kind, cls.c_str(), r.left, r.top, r.right, r.bottom);
}

struct Heard { std::string said, name; HWND window; Com object; };  // and the object, to press it

// UI Automation through its vtables (mingw-w64 declares none of its interfaces), slots as in UIAutomationClient.idl.
const GUID kClsidAutomation = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
const GUID kIidAutomation = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
enum Slot { kInvoke = 3, kElementFromHandle = 6, kCurrentPattern = 16, kControlType = 21, kName = 23, kRectangle = 43 };

template <typename... Args>
HRESULT Call(IUnknown* object, Slot slot, Args... args) {
  using Method = HRESULT(STDMETHODCALLTYPE*)(IUnknown*, Args...);
  return reinterpret_cast<Method>((*reinterpret_cast<void***>(object))[slot])(object, args...);
}

// The UI Automation client: null under wine 8, which registers no CUIAutomation.
inline Com Automation(Where where = Where::current()) {
  IUnknown* automation = nullptr;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  const HRESULT hr = CoCreateInstance(kClsidAutomation, nullptr, CLSCTX_INPROC_SERVER, kIidAutomation,
                                      reinterpret_cast<void**>(&automation));
  if (SUCCEEDED(hr)) return Hold(automation);
  if (Wine() && atoi(Wine()) < 10) return nullptr;
  Fail("UI Automation", "CoCreateInstance(CUIAutomation) to succeed", Say("0x%08lX", hr), where);
}

// The visible objects in the client: through MSAA as a screen reader walks it, each child window's own client object
// (wine's window objects answer no role); through UI Automation the child windows (wine 10's walkers answer E_NOTIMPL).
inline std::vector<Heard> Objects(const Com& automation) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  std::vector<HWND> windows;
  for (HWND w = GetWindow(Main(), GW_CHILD); automation && w; w = GetWindow(w, GW_HWNDNEXT)) windows.push_back(w);
  IAccessible* client = nullptr;
  VARIANT children[32];
  LONG got = 0;
  if (!automation && SUCCEEDED(AccessibleObjectFromWindow(Main(), OBJID_CLIENT, IID_PPV_ARGS(&client)))) {
    AccessibleChildren(static_cast<IAccessible*>(Hold(client).get()), 0, 32, children, &got);
  }
  for (LONG i = 0; i < got; ++i) {
    IAccessible* child = nullptr;
    if (children[i].vt == VT_DISPATCH && SUCCEEDED(children[i].pdispVal->QueryInterface(IID_PPV_ARGS(&child)))) {
      WindowFromAccessibleObject(static_cast<IAccessible*>(Hold(child).get()), &windows.emplace_back());
    }
    VariantClear(&children[i]);
  }
  std::vector<Heard> all;
  for (HWND w : windows) {
    if (!IsWindowVisible(w)) continue;
    IUnknown* object = nullptr;
    IAccessible* accessible = nullptr;
    BSTR name = nullptr;
    long kind = -1;
    RECT r{};
    VARIANT role{};
    if (automation && SUCCEEDED(Call(automation.get(), kElementFromHandle, w, &object))) {
      Call(object, kName, &name);
      Call(object, kControlType, &kind);
      Call(object, kRectangle, &r);
    } else if (!automation && SUCCEEDED(AccessibleObjectFromWindow(w, OBJID_CLIENT, IID_PPV_ARGS(&accessible)))) {
      object = accessible;
      accessible->get_accName(Self(), &name);
      if (SUCCEEDED(accessible->get_accRole(Self(), &role)) && role.vt == VT_I4) kind = role.lVal;
      accessible->accLocation(&r.left, &r.top, &r.right, &r.bottom, Self());
      r = {r.left, r.top, r.left + r.right, r.top + r.bottom};
    }
    const std::string text = Utf8(name ? name : L"");
    SysFreeString(name);
    all.push_back({Said(text, kind, ClassOf(w), r), text, w, object ? Hold(object) : nullptr});
  }
  return all;
}

}  // namespace e2e
