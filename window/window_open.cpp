#include "window/window_open.h"

#include <atomic>
#include <cstdio>
#include <cstring>

#include "window/core/event_runtime_errors.h"
#include "window/core/resource_format.h"
#include "window/core/resource_style.h"
#include "window/event_engine.h"
#include "window/resource_lookup.h"
#include "window/runtime_error.h"

namespace korvex {

namespace {

constexpr int kProgramIcon = 32523;
constexpr int kMdiClientId = 0xCAC;
constexpr UINT kFirstMdiChildId = 0xFF00;  // above every control number
const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";

HWND g_frame = nullptr;
WindowObject* g_frame_object = nullptr;  // the open application frame
HICON g_default_icon = nullptr;
std::atomic<unsigned long> g_class_counter{0};

}  // namespace

void SetApplicationFrameWindow(HWND frame) { g_frame = frame; }
void SetDefaultWindowIcon(HICON icon) { g_default_icon = icon; }

// The steps of opening a window, with access to the window object.
class WindowOpener {
 public:
  WindowOpener(WindowObject& window, WindowObject* owner) : w_(window), owner_(owner) {}

  int Open(std::unique_ptr<rsc::ResourceImage> image, uint32_t record, std::string* detail) {
    StartEventEngine();
    // A window destroyed behind the object's back left its class and fonts.
    w_.ReleaseResources();
    w_.image_ = std::move(image);
    w_.record_ = w_.image_->Window(record);
    const rsc::WindowRecord& r = w_.record_;
    application_ = (r.flags & rsc::kWinFlagApplication) != 0;
    // A window of another thread than the frame's opens inside the frame.
    WindowObject* frame = g_frame_object;
    if (frame != nullptr && (!frame->IsOpen() || frame->mdi_client() == nullptr)) frame = nullptr;
    mdi_child_ = !application_ && owner_ == nullptr && frame != nullptr && (r.flags2 & rsc::kWin2Modal) == 0 &&
                 WindowOpenError(WindowKind::kMdiChild) == 0;
    if (const int forbidden = WindowOpenError(application_ ? WindowKind::kFrame : WindowKind::kWindow)) {
      if (detail != nullptr) detail->clear();
      w_.ReleaseResources();
      return forbidden;
    }
    // A fresh event state: queue, focus, loops, close state and timer start over.
    w_.events_ = std::make_unique<WindowEventState>();
    MakeFont();
    if (!RegisterWindowClass()) return Fail(detail, "RegisterClassA failed");

    const bool has_title = !r.title.empty();
    rsc::WindowStyle style = rsc::WindowStyleOf(r.flags, r.flags2, has_title, mdi_child_);
    HWND hwnd = nullptr;
    if (mdi_child_) {
      // Its own caption and close box, whatever the record says.
      style.style |= WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
      HWND client = frame->mdi_client();
      RECT place = OuterRect(style, client, true);
      hwnd = CreateMDIWindowA(w_.class_name_.c_str(), r.title.c_str(), style.style, place.left, place.top,
                              place.right, place.bottom, client, GetModuleHandleA(nullptr),
                              reinterpret_cast<LPARAM>(&w_));
      if (hwnd == nullptr) return Fail(detail, "CreateMDIWindowA failed");
      style.style |= static_cast<DWORD>(GetWindowLongA(hwnd, GWL_STYLE)) & (WS_VISIBLE | WS_MAXIMIZE | WS_MINIMIZE);
    } else {
      HWND owner = owner_ != nullptr ? owner_->hwnd() : g_frame;
      if (owner != nullptr && !IsWindow(owner)) owner = nullptr;
      RECT place = OuterRect(style, owner, false);
      hwnd = CreateWindowExA(style.ex_style, w_.class_name_.c_str(), r.title.c_str(), style.style, place.left,
                             place.top, place.right, place.bottom, owner, nullptr, GetModuleHandleA(nullptr), &w_);
      if (hwnd == nullptr) return Fail(detail, "CreateWindowExA failed");
    }
    w_.hwnd_ = hwnd;
    SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>(style.style));
    SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);

    WindowEventState& events = *w_.events_;
    const bool size_events = (r.flags & rsc::kWinFlagReportsResize) != 0;
    AttachWindow(hwnd, &events, mdi_child_ ? &frame->events() : nullptr);
    SetWindowTraits(&events, size_events, application_);
    if (r.timer != 0) SetWindowTimer(&events, r.timer);
    // The engine raises the modal counter for a modal window while its loop runs.
    events.modal = (r.flags2 & rsc::kWin2Modal) != 0 || ModalCount() > 0;

    CreateControls(w_, r.first_control, nullptr);
    if (application_ && !MakeMdiClient()) return Fail(detail, "the MDI client could not be made");
    QueueOpenEvents(&events, size_events);
    ShowWindow(hwnd, SW_SHOWNORMAL);
    if (mdi_child_) SendMessageA(frame->mdi_client(), WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hwnd), 0);
    return 0;
  }

 private:
  int Fail(std::string* detail, const char* what) {
    if (detail != nullptr) *detail = what;
    CloseWindow(w_);
    if (application_) return kErrorFrameCreate;
    return mdi_child_ ? kErrorMdiCreate : kErrorWindowCreate;
  }

  // The frame's client window, over the whole client area, holds the MDI
  // children.
  bool MakeMdiClient() {
    RECT area{};
    GetClientRect(w_.hwnd_, &area);
    CLIENTCREATESTRUCT ccs{};
    ccs.idFirstChild = kFirstMdiChildId;
    HWND client = CreateWindowExA(WS_EX_CLIENTEDGE, "MDICLIENT", nullptr,
                                  WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL |
                                      WS_VISIBLE | MDIS_ALLCHILDSTYLES,
                                  0, 0, area.right, area.bottom, w_.hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMdiClientId)),
                                  GetModuleHandleA(nullptr), &ccs);
    if (client == nullptr) return false;
    w_.mdi_client_ = client;
    g_frame_object = &w_;
    return true;
  }

  void MakeFont() {
    HDC dc = GetDC(nullptr);
    if (w_.record_.font != 0) {
      const rsc::FontRecord f = w_.image_->Font(w_.record_.font);
      LOGFONTA lf{};
      const uint32_t points = (f.points != 0 && f.points < 1000) ? f.points : 8;
      lf.lfHeight = -MulDiv(static_cast<int>(points), GetDeviceCaps(dc, LOGPIXELSY), 72);
      lf.lfWeight = (f.weight != rsc::kInherit && f.weight <= 1000) ? static_cast<LONG>(f.weight) : FW_NORMAL;
      lf.lfCharSet = DEFAULT_CHARSET;
      std::strncpy(lf.lfFaceName, f.typeface.empty() ? "MS Sans Serif" : f.typeface.c_str(),
                   sizeof lf.lfFaceName - 1);
      w_.font_ = CreateFontIndirectA(&lf);
      w_.own_font_ = w_.font_ != nullptr;
    }
    if (w_.font_ == nullptr) w_.font_ = static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
    GetObjectA(w_.font_, sizeof w_.logfont_, &w_.logfont_);
    // Dialog units follow the font: the average width of the 52 letters and
    // the font's height.
    HGDIOBJ old = SelectObject(dc, w_.font_);
    SIZE size{};
    GetTextExtentPoint32A(dc, kLetters, 52, &size);
    TEXTMETRICA tm{};
    GetTextMetricsA(dc, &tm);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    w_.units_ = rsc::DialogUnits(rsc::AverageCharWidth(size.cx), tm.tmHeight);
  }

  bool RegisterWindowClass() {
    char name[64];
    std::snprintf(name, sizeof name, "VelWin%uClass%lu", static_cast<unsigned>(GetCurrentThreadId()),
                  g_class_counter.fetch_add(1) + 1);
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA wc{};
    wc.lpfnWndProc = WindowObjectProc;
    wc.hInstance = instance;
    wc.lpszClassName = name;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    if (g_default_icon != nullptr) {
      w_.class_icon_copy_ = CopyIcon(g_default_icon);
      wc.hIcon = w_.class_icon_copy_;
    } else {
      wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kProgramIcon));
    }
    const rsc::WindowRecord& r = w_.record_;
    const uint32_t background =
        r.colour != 0 ? w_.image_->U32(r.colour + rsc::kColourBackground) : rsc::kInherit;
    if (background != rsc::kInherit) {
      w_.background_ = CreateSolidBrush(background & 0x00FFFFFF);
      w_.own_background_ = w_.background_ != nullptr;
    }
    if (w_.background_ == nullptr) {
      w_.background_ = GetSysColorBrush((r.flags2 & rsc::kWin2Gray) != 0 ? COLOR_BTNFACE : COLOR_WINDOW);
    }
    wc.hbrBackground = w_.background_;
    if (RegisterClassA(&wc) == 0) {
      if (w_.class_icon_copy_ != nullptr) DestroyIcon(w_.class_icon_copy_);
      w_.class_icon_copy_ = nullptr;
      return false;
    }
    w_.class_name_ = name;
    w_.class_instance_ = instance;
    return true;
  }

  // The outer rectangle (left, top, width, height) for the record's client
  // size and position; defaults are centred on the owner or the work area,
  // or within the client area of `owner` for an MDI child (in_client).
  RECT OuterRect(const rsc::WindowStyle& style, HWND owner, bool in_client) const {
    const rsc::WindowRecord& r = w_.record_;
    const rsc::DialogUnits& u = w_.units_;
    const bool default_width = r.rect.width == rsc::kDefaultCoordinate;
    const bool default_height = r.rect.height == rsc::kDefaultCoordinate;
    RECT client{0, 0, default_width ? 400 : u.ToPixelsX(r.rect.width),
                default_height ? 300 : u.ToPixelsY(r.rect.height)};
    AdjustWindowRectEx(&client, style.style, FALSE, style.ex_style);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    RECT out{0, 0, width, height};
    RECT area{};
    const bool have_area = owner != nullptr && (in_client ? GetClientRect(owner, &area) : GetWindowRect(owner, &area));
    if (!have_area) SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    out.left = r.rect.x == rsc::kDefaultCoordinate ? area.left + (area.right - area.left - width) / 2
                                                   : u.ToPixelsX(r.rect.x);
    out.top = r.rect.y == rsc::kDefaultCoordinate ? area.top + (area.bottom - area.top - height) / 2
                                                  : u.ToPixelsY(r.rect.y);
    if (r.rect.x == rsc::kDefaultCoordinate && out.left < 0) out.left = 0;
    if (r.rect.y == rsc::kDefaultCoordinate && out.top < 0) out.top = 0;
    return out;
  }

  WindowObject& w_;
  WindowObject* owner_;
  bool application_ = false;
  bool mdi_child_ = false;
};

int OpenWindowFromImage(WindowObject& window, std::unique_ptr<rsc::ResourceImage> image, uint32_t record,
                        WindowObject* owner, std::string* detail) {
  if (window.IsOpen()) {
    if (detail != nullptr) detail->clear();
    return kErrorWindowAlreadyOpen;
  }
  if (!image || !image->loaded() || image->U8(record) != rsc::kTypeWindow) {
    if (detail != nullptr) *detail = "no window record";
    return kErrorWindowCreate;
  }
  return WindowOpener(window, owner).Open(std::move(image), record, detail);
}

int OpenWindow(WindowObject& window, const std::string& module_name, const std::string& label, WindowObject* owner,
               std::string* detail) {
  std::string why;
  if (window.IsOpen()) {
    if (detail != nullptr) detail->clear();
    return kErrorWindowAlreadyOpen;
  }
  FoundWindow found;
  if (FindWindowResource(module_name, label, &found, &why) != LookupResult::kFound) {
    if (detail != nullptr) *detail = why;
    return kErrorWindowCreate;
  }
  return OpenWindowFromImage(window, std::move(found.image), found.record, owner, detail);
}

void OpenWindowOrRaise(WindowObject& window, const std::string& module_name, const std::string& label,
                       WindowObject* owner) {
  std::string detail;
  const int error = OpenWindow(window, module_name, label, owner, &detail);
  if (error != 0) RaiseRuntimeError(error, detail.empty() ? nullptr : detail.c_str());
}

void CloseWindow(WindowObject& window) {
  if (g_frame_object == &window) g_frame_object = nullptr;
  if (window.hwnd_ != nullptr) {
    HWND hwnd = window.hwnd_;
    if (g_frame == hwnd) g_frame = nullptr;  // later windows must not name a dead owner
    DestroyWindow(hwnd);  // WM_DESTROY takes the window out of the engine
    window.hwnd_ = nullptr;
  }
  window.mdi_client_ = nullptr;
  window.ReleaseResources();
}

}  // namespace korvex
