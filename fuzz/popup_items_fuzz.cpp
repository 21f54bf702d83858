// Drives a popup menu controller with arbitrary menu texts and positions, then
// checks that the definition it writes numbers exactly the items it maps
// choices to, with the texts those items show.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "framework/fake_popup_presenter.h"
#include "framework/popup_menu_controller.h"
#include "window/core/popup_definition.h"

namespace {

void MustHold(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace korvex::framework;
  FakePopupPresenter presenter;
  presenter.controls[1] = {true, "c|{on}trol", "i)c", false};
  presenter.controls[2] = {true, "-", "", true};
  PopupMenuController popup;
  popup.Init(&presenter);
  // Pieces separated by a 0 byte; each piece's first byte picks the operation.
  std::string_view input(reinterpret_cast<const char*>(data), size);
  while (!input.empty()) {
    size_t end = input.find('\0');
    std::string_view piece = input.substr(0, end);
    input = end == std::string_view::npos ? std::string_view() : input.substr(end + 1);
    if (piece.empty()) continue;
    uint8_t op = static_cast<uint8_t>(piece[0]);
    std::string_view text = piece.substr(1);
    std::vector<PopupItem> items = popup.Items();
    std::string some_name = items.empty() ? std::string("none") : items[op % items.size()].name;
    switch (op % 8) {
      case 0: popup.AddItems(text, op / 8); break;
      case 1: popup.AddItemsAfter(text, some_name); break;
      case 2: popup.AddItemAt(text, text, some_name, static_cast<uint16_t>(op / 8)); break;
      case 3: popup.AddItemMimic(text, text, 1 + op / 128); break;
      case 4: popup.AddSubMenu(text, text, some_name); break;
      case 5: popup.DeleteItem(some_name); break;
      case 6: popup.SetItemIcon(some_name, text); break;
      default: popup.AddItem(text); break;
    }
    if (popup.ItemCount() > 2000) break;
  }
  korvex::PopupDefinition def = korvex::ParsePopupDefinition(popup.MenuText(0));
  std::vector<PopupItem> items = popup.Items();
  int n = 0;
  for (const korvex::PopupEntry& e : def.entries) {
    if (e.kind != korvex::PopupEntry::Kind::kItem) continue;
    std::string name = popup.ItemForChoice(++n);
    MustHold(!name.empty());
  }
  MustHold(popup.ItemForChoice(n + 1).empty());
  for (const PopupItem& item : items) MustHold(item.depth >= 1 && !item.name.empty());
  popup.Kill();
  return 0;
}
