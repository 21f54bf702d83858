// An open window of a procedure: its Win32 window, the resource image it was
// built from (owned until it closes: controls read their attributes by offset
// from it), its controls, its font with the dialog units derived from it, and
// the event engine's state of the window.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "window/control.h"
#include "window/core/dialog_units.h"
#include "window/core/event_window_state.h"
#include "window/core/resource_image.h"

namespace korvex {

// The window procedure of every window opened from a record.
LRESULT CALLBACK WindowObjectProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

class WindowObject {
 public:
  WindowObject() = default;
  ~WindowObject();
  WindowObject(const WindowObject&) = delete;
  WindowObject& operator=(const WindowObject&) = delete;

  bool IsOpen() const { return hwnd_ != nullptr; }
  HWND hwnd() const { return hwnd_; }
  // The application frame's MDI client, nullptr for other windows.
  HWND mdi_client() const { return mdi_client_; }
  const rsc::ResourceImage& image() const { return *image_; }
  const rsc::WindowRecord& record() const { return record_; }
  const rsc::DialogUnits& units() const { return units_; }
  HFONT font() const { return font_; }
  const std::string& class_name() const { return class_name_; }
  // The event engine's state of the window; made anew at every open.
  WindowEventState& events() { return *events_; }

  // The control with field equate number field, nullptr when none was made.
  Control* FindControl(uint32_t field) const;
  const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }

  // A font made from a font record: fields that inherit come from the
  // window's font. The window keeps it until it closes.
  HFONT FontFor(uint32_t font_record);
  // The text colour a control's font record asks for, CLR_INVALID to inherit.
  COLORREF ColourOf(uint32_t font_record) const;
  // The brush of the window's background.
  HBRUSH background() const { return background_; }

 private:
  friend class WindowOpener;
  friend void CloseWindow(WindowObject& window);
  friend void CreateControls(WindowObject& window, uint32_t first, Control* parent);
  friend LRESULT CALLBACK WindowObjectProc(HWND hwnd, UINT msg, WPARAM wparam, LPARAM lparam);

  void ReleaseResources();

  HWND hwnd_ = nullptr;
  HWND mdi_client_ = nullptr;             // made by the frame, destroyed with it
  std::unique_ptr<rsc::ResourceImage> image_;
  rsc::WindowRecord record_;
  std::vector<std::unique_ptr<Control>> controls_;
  HFONT font_ = nullptr;                  // the window's font
  bool own_font_ = false;                 // font_ is ours to delete
  std::vector<HFONT> control_fonts_;      // fonts made for controls
  HBRUSH background_ = nullptr;
  bool own_background_ = false;
  rsc::DialogUnits units_;
  std::string class_name_;
  HINSTANCE class_instance_ = nullptr;
  HICON class_icon_copy_ = nullptr;       // a copy of the default icon, ours to destroy
  LOGFONTA logfont_{};                    // the window font, the base of control fonts
  std::unique_ptr<WindowEventState> events_ = std::make_unique<WindowEventState>();
};

}  // namespace korvex
