#include "window/control.h"

#include "window/core/control_factory_table.h"
#include "window/window_object.h"

namespace korvex {

namespace {

rsc::ControlFactoryTable<ControlFactory>& Factories() {
  static rsc::ControlFactoryTable<ControlFactory> table;
  return table;
}

}  // namespace

bool RegisterControlFactory(uint8_t type, ControlFactory factory) { return Factories().Register(type, factory); }

ControlFactory FindControlFactory(uint8_t type) { return Factories().Find(type); }

RECT Control::PixelRect() const {
  const rsc::DialogUnits& units = window_.units();
  RECT r{};
  if (!record_.has_rect) return r;
  r.left = units.ToPixelsX(record_.rect.x);
  r.top = units.ToPixelsY(record_.rect.y);
  r.right = r.left + units.ToPixelsX(record_.rect.width);
  r.bottom = r.top + units.ToPixelsY(record_.rect.height);
  return r;
}

HWND Control::CreateChild(const char* win_class, const char* text, DWORD style, DWORD ex_style,
                          const RECT& pixels) {
  HFONT font = window_.FontFor(record_.font);
  int width = pixels.right - pixels.left;
  int height = pixels.bottom - pixels.top;
  if (width <= 0 || height <= 0) {
    // A default size fits the text in the control's font.
    HDC dc = GetDC(window_.hwnd());
    HGDIOBJ old = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(lstrlenA(text)), &size);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(window_.hwnd(), dc);
    if (width <= 0) width = size.cx + 2;
    if (height <= 0) height = tm.tmHeight;
  }
  hwnd_ = CreateWindowExA(ex_style, win_class, text, WS_CHILD | WS_VISIBLE | style, pixels.left, pixels.top, width,
                          height, window_.hwnd(),
                          reinterpret_cast<HMENU>(static_cast<UINT_PTR>(record_.equate)),
                          GetModuleHandleA(nullptr), nullptr);
  if (hwnd_ != nullptr) SendMessageA(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd_;
}

void CreateControls(WindowObject& window, uint32_t first, Control* parent) {
  if (!window.image_) return;
  // Validation bounded the nesting and ruled out cycles.
  for (uint32_t offset = first; offset != 0;) {
    const rsc::ControlRecord record = window.image_->Control(offset);
    Control* made = nullptr;
    if (ControlFactory factory = FindControlFactory(record.type)) {
      std::unique_ptr<Control> control = factory(window, record, parent);
      if (control && control->InitFromRecord()) {
        made = control.get();
        window.controls_.push_back(std::move(control));
        if (parent != nullptr) parent->AdoptChild(*made);
      }
    }
    // Children (a SHEET's TABs, a TAB's controls) are made whether or not
    // their parent's kind is registered; their positions are in the window's
    // client area.
    if (record.first_child != 0) CreateControls(window, record.first_child, made != nullptr ? made : parent);
    offset = record.next;
  }
}

}  // namespace korvex
