#include "window/window_object.h"

#include <cstring>

#include "window/event_engine.h"
#include "window/window_open.h"

namespace korvex {

WindowObject::~WindowObject() { CloseWindow(*this); }

Control* WindowObject::FindControl(uint32_t field) const {
  for (const auto& control : controls_) {
    if (control->field() == field) return control.get();
  }
  return nullptr;
}

HFONT WindowObject::FontFor(uint32_t font_record) {
  if (font_record == 0 || !image_) return font_;
  const rsc::FontRecord f = image_->Font(font_record);
  LOGFONTA lf = logfont_;
  if (!f.typeface.empty()) {
    std::memset(lf.lfFaceName, 0, sizeof lf.lfFaceName);
    std::strncpy(lf.lfFaceName, f.typeface.c_str(), sizeof lf.lfFaceName - 1);
  }
  if (f.points != 0 && f.points < 1000) {
    HDC dc = GetDC(nullptr);
    lf.lfHeight = -MulDiv(static_cast<int>(f.points), GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(nullptr, dc);
  }
  if (f.weight != rsc::kInherit && f.weight <= 1000) lf.lfWeight = static_cast<LONG>(f.weight);
  HFONT font = CreateFontIndirectA(&lf);
  if (font == nullptr) return font_;
  control_fonts_.push_back(font);
  return font;
}

COLORREF WindowObject::ColourOf(uint32_t font_record) const {
  if (!image_) return CLR_INVALID;
  if (font_record != 0) {
    const uint32_t colour = image_->Font(font_record).colour;
    if (colour != rsc::kInherit) return colour & 0x00FFFFFF;
  }
  if (record_.font != 0) {
    const uint32_t colour = image_->Font(record_.font).colour;
    if (colour != rsc::kInherit) return colour & 0x00FFFFFF;
  }
  return CLR_INVALID;
}

void WindowObject::ReleaseResources() {
  controls_.clear();
  for (HFONT font : control_fonts_) DeleteObject(font);
  control_fonts_.clear();
  if (own_font_ && font_ != nullptr) DeleteObject(font_);
  font_ = nullptr;
  own_font_ = false;
  if (own_background_ && background_ != nullptr) DeleteObject(background_);
  background_ = nullptr;
  own_background_ = false;
  if (!class_name_.empty()) UnregisterClassA(class_name_.c_str(), class_instance_);
  class_name_.clear();
  if (class_icon_copy_ != nullptr) DestroyIcon(class_icon_copy_);
  class_icon_copy_ = nullptr;
  image_.reset();
  record_ = {};
}

LRESULT CALLBACK WindowObjectProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam) {
  if (msg == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lparam);
    LONG_PTR object = reinterpret_cast<LONG_PTR>(create->lpCreateParams);
    // An MDI child's creation data wraps the value it was created with.
    if ((create->dwExStyle & WS_EX_MDICHILD) != 0 && object != 0) {
      object = reinterpret_cast<const MDICREATESTRUCTA*>(object)->lParam;
    }
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, object);
  }
  auto* window = reinterpret_cast<WindowObject*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (window != nullptr) {
    switch (msg) {
      case WM_COMMAND:
        if (lparam != 0) {
          if (Control* control = window->FindControl(LOWORD(wparam))) control->OnCommand(HIWORD(wparam));
        }
        break;
      case WM_CTLCOLORSTATIC:
      case WM_CTLCOLORBTN: {
        const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lparam));
        if (Control* control = window->FindControl(static_cast<uint32_t>(id))) {
          if (HBRUSH brush = control->OnColour(reinterpret_cast<HDC>(wparam))) {
            return reinterpret_cast<LRESULT>(brush);
          }
        }
        break;
      }
      case WM_NCDESTROY:
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        window->hwnd_ = nullptr;
        window->mdi_client_ = nullptr;
        break;
      default:
        break;
    }
  }
  LRESULT result = 0;
  if (EngineHandleMessage(hwnd, msg, wparam, lparam, &result)) return result;
  // The frame's client follows its size; an MDI child is moved, sized and
  // activated within the client.
  if (window != nullptr && window->mdi_client_ != nullptr) {
    return DefFrameProcA(hwnd, window->mdi_client_, msg, wparam, lparam);
  }
  if ((GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_MDICHILD) != 0) return DefMDIChildProcA(hwnd, msg, wparam, lparam);
  return DefWindowProcA(hwnd, msg, wparam, lparam);
}

}  // namespace korvex
