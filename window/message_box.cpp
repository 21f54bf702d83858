#include "window/message_box.h"

#include <windows.h>

#include <cstring>
#include <iterator>

#include "runtime/locale/locale.h"
#include "window/core/dialog_units.h"
#include "window/core/message_box_buttons.h"
#include "window/core/message_box_template.h"
#include "window/event_engine.h"

namespace korvex {

namespace {

std::u16string Wide(const std::string& text) {
  if (text.empty()) return {};
  const int count = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::u16string out(static_cast<size_t>(count > 0 ? count : 0), u'\0');
  if (count > 0) {
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), reinterpret_cast<wchar_t*>(out.data()),
                        count);
  }
  return out;
}

struct BoxState {
  std::vector<mbox::ShownButton> buttons;
  size_t default_index = 0;
  HICON icon = nullptr;
};

INT_PTR CALLBACK MessageBoxProc(HWND dialog, UINT msg, WPARAM wparam, LPARAM lparam) {
  switch (msg) {
    case WM_INITDIALOG: {
      auto* state = reinterpret_cast<BoxState*>(lparam);
      SetWindowLongPtrA(dialog, DWLP_USER, lparam);
      if (state->icon != nullptr) {
        SendDlgItemMessageA(dialog, mbox::kIconId, STM_SETICON, reinterpret_cast<WPARAM>(state->icon), 0);
      }
      HWND focus = GetDlgItem(dialog, state->buttons[state->default_index].id);
      if (focus != nullptr) SetFocus(focus);
      return FALSE;  // the focus is set
    }
    case WM_COMMAND: {
      auto* state = reinterpret_cast<BoxState*>(GetWindowLongPtrA(dialog, DWLP_USER));
      if (state == nullptr) return FALSE;
      const int id = LOWORD(wparam);
      const uint32_t bit = mbox::BitForCommand(state->buttons, id);
      if (bit != 0 || id == mbox::kCancelId) {
        EndDialog(dialog, static_cast<INT_PTR>(bit));
        return TRUE;
      }
      return FALSE;
    }
    default:
      return FALSE;
  }
}

HICON LoadBoxIcon(const MessageIcon& icon) {
  switch (icon.code & 0xF0) {
    case kMessageIconStop: return LoadIconA(nullptr, IDI_HAND);
    case kMessageIconQuestion: return LoadIconA(nullptr, IDI_QUESTION);
    case kMessageIconExclamation: return LoadIconA(nullptr, IDI_EXCLAMATION);
    case kMessageIconInformation: return LoadIconA(nullptr, IDI_ASTERISK);
    case kMessageIconNamed:
      return icon.name.empty() ? nullptr : LoadIconA(GetModuleHandleA(nullptr), icon.name.c_str());
    default: return nullptr;
  }
}

// The text's extent in the dialog units of the box's font, wrapped at about
// two thirds of the screen.
void MeasureText(const std::string& text, mbox::MessageBoxRequest* request) {
  HDC dc = GetDC(nullptr);
  LOGFONTA lf{};
  lf.lfHeight = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
  lf.lfWeight = request->new_look ? FW_NORMAL : FW_BOLD;
  lf.lfCharSet = DEFAULT_CHARSET;
  lstrcpynA(lf.lfFaceName, request->new_look ? "MS Sans Serif" : "Helv", LF_FACESIZE);
  HFONT font = CreateFontIndirectA(&lf);
  HGDIOBJ old = SelectObject(dc, font != nullptr ? font : GetStockObject(DEFAULT_GUI_FONT));
  SIZE letters{};
  GetTextExtentPoint32A(dc, "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ", 52, &letters);
  TEXTMETRICA tm{};
  GetTextMetricsA(dc, &tm);
  const rsc::DialogUnits units(rsc::AverageCharWidth(letters.cx), tm.tmHeight);
  RECT box{0, 0, GetSystemMetrics(SM_CXSCREEN) * 2 / 3, 0};
  DrawTextA(dc, text.empty() ? " " : text.c_str(), -1, &box,
            DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX | DT_EXPANDTABS);
  SelectObject(dc, old);
  if (font != nullptr) DeleteObject(font);
  ReleaseDC(nullptr, dc);
  // One unit more each way so that rounding never cuts the last letter.
  request->text_width = units.ToUnitsX(box.right - box.left) + 1;
  request->text_height = units.ToUnitsY(box.bottom - box.top) + 1;
}

HWND OwnerWindow() {
  if (WindowEventState* window = ThreadWindow()) {
    HWND hwnd = reinterpret_cast<HWND>(window->handle);
    if (IsWindow(hwnd)) return hwnd;
  }
  return GetActiveWindow();
}

}  // namespace

uint32_t ShowMessage(const std::string& text, const std::string& title, const MessageIcon& icon, uint32_t buttons,
                     uint32_t default_button, uint32_t style_flags) {
  BoxState state;
  const LocaleSettings& locale = CurrentLocale();
  state.buttons = mbox::ShownButtons(
      buttons, mbox::CaptionOverrides(std::begin(locale.button_captions), std::end(locale.button_captions)));
  state.default_index = mbox::DefaultButtonIndex(state.buttons, default_button);
  state.icon = LoadBoxIcon(icon);

  const std::string prepared = mbox::PrepareMessageText(text);
  mbox::MessageBoxRequest request;
  request.title = Wide(title);
  request.text = Wide(prepared);
  request.has_icon = state.icon != nullptr;
  request.buttons = state.buttons;
  for (const mbox::ShownButton& button : state.buttons) request.button_captions.push_back(Wide(button.caption));
  request.default_index = state.default_index;
  request.system_modal = (style_flags & kMessageSystemModal) != 0;
  MeasureText(prepared, &request);
  const std::vector<uint8_t> bytes = mbox::EncodeDialogTemplate(mbox::LayoutMessageBox(request));
  // The template must start on a 4-byte boundary: copy it into DWORDs.
  std::vector<DWORD> aligned((bytes.size() + 3) / 4, 0);
  std::memcpy(aligned.data(), bytes.data(), bytes.size());

  HWND owner = OwnerWindow();
  INT_PTR answer;
  {
    ModalBoxScope modal;  // lock released, modal counter raised
    answer = DialogBoxIndirectParamA(GetModuleHandleA(nullptr), reinterpret_cast<LPCDLGTEMPLATEA>(aligned.data()),
                                     owner, MessageBoxProc, reinterpret_cast<LPARAM>(&state));
  }
  return answer < 0 ? 0 : static_cast<uint32_t>(answer);
}

}  // namespace korvex
