#include "window/core/message_box_template.h"

#include <algorithm>
#include <climits>

namespace korvex::mbox {

namespace {

int16_t Clamp16(int value) { return static_cast<int16_t>(std::clamp(value, 0, static_cast<int>(SHRT_MAX))); }

class TemplateWriter {
 public:
  void U16(uint16_t value) {
    bytes_.push_back(static_cast<uint8_t>(value));
    bytes_.push_back(static_cast<uint8_t>(value >> 8));
  }
  void U32(uint32_t value) {
    U16(static_cast<uint16_t>(value));
    U16(static_cast<uint16_t>(value >> 16));
  }
  void I16(int16_t value) { U16(static_cast<uint16_t>(value)); }
  void Text(const std::u16string& text) {
    for (char16_t c : text) U16(static_cast<uint16_t>(c));
    U16(0);
  }
  void Align4() {
    while (bytes_.size() % 4 != 0) bytes_.push_back(0);
  }
  std::vector<uint8_t> Take() { return std::move(bytes_); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace

DialogTemplate LayoutMessageBox(const MessageBoxRequest& request) {
  DialogTemplate dialog;
  dialog.style = 0x80000000u /*WS_POPUP*/ | 0x00C00000u /*WS_CAPTION*/ | 0x00080000u /*WS_SYSMENU*/ |
                 kDsModalFrame | kDsSetFont | kDsCenter | kDs3dLook;
  if (request.system_modal) {
    dialog.style |= kDsSysModal;
    dialog.ex_style |= kWsExTopmost;
  }
  dialog.title = request.title;
  dialog.points = 8;
  dialog.weight = request.new_look ? 400 : 700;
  dialog.typeface = request.new_look ? u"MS Sans Serif" : u"Helv";

  const int text_x = kMargin + (request.has_icon ? kIconSize + kMargin : 0);
  const int text_width = std::max(request.text_width, kMinimumTextWidth);
  const int text_height = std::max(request.text_height, 8);
  const int top_height = std::max(text_height, request.has_icon ? kIconSize : 0);
  const int count = static_cast<int>(request.buttons.size());
  const int row_width = count * kButtonWidth + std::max(count - 1, 0) * kButtonGap;
  const int width = std::max(text_x + text_width + kMargin, row_width + 2 * kMargin);
  const int buttons_y = kMargin + top_height + kMargin;
  dialog.cx = Clamp16(width);
  dialog.cy = Clamp16(buttons_y + kButtonHeight + kMargin);

  if (request.has_icon) {
    dialog.items.push_back({kWsChildStyle | kWsVisible | kSsIcon, 0, kMargin, kMargin, kIconSize, kIconSize,
                            static_cast<uint32_t>(kIconId), kAtomStatic, u""});
  }
  // The text is centred against a taller icon.
  const int text_y = kMargin + (top_height - text_height) / 2;
  dialog.items.push_back({kWsChildStyle | kWsVisible | kSsNoPrefix, 0, Clamp16(text_x), Clamp16(text_y),
                          Clamp16(text_width), Clamp16(text_height), static_cast<uint32_t>(kTextId),
                          kAtomStatic, request.text});

  int x = (width - row_width) / 2;
  for (int i = 0; i < count; ++i) {
    const auto index = static_cast<size_t>(i);
    uint32_t style = kWsChildStyle | kWsVisible | kWsTabStop;
    if (i == 0) style |= kWsGroup;
    if (index == request.default_index) style |= kBsDefPushButton;
    const std::u16string caption =
        index < request.button_captions.size() ? request.button_captions[index] : std::u16string();
    dialog.items.push_back({style, 0, Clamp16(x), Clamp16(buttons_y), kButtonWidth, kButtonHeight,
                            static_cast<uint32_t>(request.buttons[index].id), kAtomButton, caption});
    x += kButtonWidth + kButtonGap;
  }
  return dialog;
}

std::vector<uint8_t> EncodeDialogTemplate(const DialogTemplate& dialog) {
  TemplateWriter w;
  w.U16(1);        // dlgVer
  w.U16(0xFFFF);   // signature: extended template
  w.U32(0);        // helpID
  w.U32(dialog.ex_style);
  w.U32(dialog.style | kDsSetFont);
  w.U16(static_cast<uint16_t>(dialog.items.size()));
  w.I16(dialog.x);
  w.I16(dialog.y);
  w.I16(dialog.cx);
  w.I16(dialog.cy);
  w.U16(0);        // no menu
  w.U16(0);        // the standard dialog class
  w.Text(dialog.title);
  w.U16(dialog.points);
  w.U16(dialog.weight);
  w.U16(0);        // italic = 0, charset = ANSI (0)
  w.Text(dialog.typeface);
  for (const DialogItem& item : dialog.items) {
    w.Align4();
    w.U32(0);      // helpID
    w.U32(item.ex_style);
    w.U32(item.style);
    w.I16(item.x);
    w.I16(item.y);
    w.I16(item.cx);
    w.I16(item.cy);
    w.U32(item.id);
    w.U16(0xFFFF);
    w.U16(item.class_atom);
    w.Text(item.title);
    w.U16(0);      // no creation data
  }
  return w.Take();
}

}  // namespace korvex::mbox
