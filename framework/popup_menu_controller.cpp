#include "framework/popup_menu_controller.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "framework/text_translator.h"
#include "window/core/event_codes.h"
#include "window/core/popup_definition.h"

namespace korvex::framework {

namespace {

std::string Cut(std::string_view text, size_t max) { return std::string(text.substr(0, max)); }

// The name an item's source text stands for, before it is made unique.
std::string BaseName(std::string_view source) {
  while (!source.empty() && source.back() == ' ') source.remove_suffix(1);
  if (source == "-") return "Separator";
  std::string base;
  for (char c : source) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    if (keep) base.push_back(c);
  }
  // An empty name would read as "nothing chosen"; give such items a real one.
  if (base.empty()) base = "Item";
  return Cut(base, kPopupNameMax);
}

int16_t ControlNumber(int control) {
  return static_cast<int16_t>(std::clamp(control, -32768, 32767));
}

// Depths as the menu text writes them: never below 1 and at most one level
// deeper than the item before, so every "{" opens exactly one level.
std::vector<uint16_t> ShownDepths(const std::vector<PopupItem>& items) {
  std::vector<uint16_t> depths;
  depths.reserve(items.size());
  uint16_t previous = 1;
  for (const PopupItem& item : items) {
    uint16_t d = std::max<uint16_t>(1, item.depth);
    if (d > previous + 1) d = static_cast<uint16_t>(previous + 1);
    depths.push_back(d);
    previous = d;
  }
  return depths;
}

// Index of the item that choice n stands for in items, -1 for none.
int ChoiceIndex(const std::vector<PopupItem>& items, int n) {
  if (n <= 0) return -1;
  std::vector<uint16_t> depths = ShownDepths(items);
  int counted = 0;
  for (size_t i = 0; i < items.size(); ++i) {
    bool title = i + 1 < items.size() && depths[i + 1] > depths[i];
    if (items[i].IsSeparator() || title) continue;
    if (++counted == n) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

PopupMenuController::~PopupMenuController() {
  if (presenter_ != nullptr) Kill();
}

void PopupMenuController::Init(PopupPresenter* presenter) {
  presenter_ = presenter;
  std::lock_guard<std::mutex> lock(mutex_);
  items_.clear();
  last_selection_.clear();
  clear_key_code = 1;
  my_thread_ = presenter_->CurrentThread();
}

void PopupMenuController::Kill() {
  if (presenter_ == nullptr) return;
  {
    std::lock_guard<std::mutex> lock(toolbox_mutex_);
    closing_ = true;
    if (this_window_ != nullptr) this_window_->RequestClose();
  }
  if (toolbox_started_.exchange(false)) presenter_->JoinToolboxThread();
  std::lock_guard<std::mutex> lock(mutex_);
  items_.clear();
  presenter_ = nullptr;
}

std::string PopupMenuController::MakeName(std::string_view source) const {
  std::string base = BaseName(source);
  if (Find(base) < 0) return base;
  std::unordered_set<std::string> taken;
  for (const PopupItem& item : items_) taken.insert(item.name);
  for (unsigned n = 1;; ++n) {
    std::string suffix = std::to_string(n);
    std::string name = Cut(base, kPopupNameMax - suffix.size()) + suffix;
    if (taken.count(name) == 0) return name;
  }
}

int PopupMenuController::Find(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (items_[i].name == name) return static_cast<int>(i);
  }
  return -1;
}

std::string PopupMenuController::InsertItem(std::string_view text, std::string_view name_source, int after,
                                            uint16_t depth) {
  PopupItem item;
  item.name = MakeName(name_source);
  item.depth = std::max<uint16_t>(1, depth);
  std::string_view rest = text.substr(0, kPopupTextMax);
  if (rest != "-") {
    while (!rest.empty() && (rest[0] == '~' || rest[0] == '+' || rest[0] == '-')) {
      if (rest[0] == '~') item.disabled = 1;
      if (rest[0] == '+') item.check = 1;
      if (rest[0] == '-') item.check = 2;
      rest.remove_prefix(1);
    }
  }
  item.text = std::string(rest);
  std::string name = item.name;
  items_.insert(items_.begin() + (after + 1), std::move(item));
  return name;
}

std::string PopupMenuController::AddItem(std::string_view text) { return AddItemLast(text, text); }

std::string PopupMenuController::AddItemLast(std::string_view text, std::string_view name_source) {
  std::lock_guard<std::mutex> lock(mutex_);
  uint16_t depth = items_.empty() ? 1 : items_.back().depth;
  return InsertItem(text, name_source, static_cast<int>(items_.size()) - 1, depth);
}

std::string PopupMenuController::AddItemAt(std::string_view text, std::string_view name_source,
                                           std::string_view after_name, uint16_t depth) {
  std::lock_guard<std::mutex> lock(mutex_);
  int after = Find(after_name);
  if (after < 0) after = static_cast<int>(items_.size()) - 1;
  if (depth == 0) depth = after >= 0 ? items_[after].depth : 1;
  return InsertItem(text, name_source, after, depth);
}

std::string PopupMenuController::AddItemMimic(std::string_view name_source, std::string_view text, int control) {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = Find(BaseName(name_source));
  if (i < 0) {
    uint16_t depth = items_.empty() ? 1 : items_.back().depth;
    InsertItem(name_source, name_source, static_cast<int>(items_.size()) - 1, depth);
    i = static_cast<int>(items_.size()) - 1;
  }
  PopupItem& item = items_[i];
  item.control_id = ControlNumber(control);
  item.event = kEventAccepted;
  item.mimic_mode = 1;
  item.on_toolbox = 1;
  item.text = Cut(text, kPopupTextMax);
  return item.name;
}

std::string PopupMenuController::SetItemEvent(std::string_view name, uint16_t event, int control) {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = Find(name);
  if (i < 0) {
    uint16_t depth = items_.empty() ? 1 : items_.back().depth;
    InsertItem(name, name, static_cast<int>(items_.size()) - 1, depth);
    i = static_cast<int>(items_.size()) - 1;
  }
  PopupItem& item = items_[i];
  item.mimic_mode = 0;
  item.control_id = ControlNumber(control);
  item.event = event;
  item.on_toolbox = 1;
  return item.name;
}

void PopupMenuController::InsertParsed(std::string_view menu_text, int after, uint16_t depth) {
  std::string current;
  // Whether each open "{" went a level deeper (it does only after a title).
  std::vector<bool> opened;
  auto flush = [&]() -> bool {
    if (current.empty()) return false;
    InsertItem(current, current, after, depth);
    ++after;
    current.clear();
    return true;
  };
  for (char c : menu_text) {
    if (c == '|') {
      flush();
    } else if (c == '{') {
      bool deeper = flush() && depth < UINT16_MAX;
      if (deeper) ++depth;
      opened.push_back(deeper);
    } else if (c == '}') {
      flush();
      bool deeper = true;
      if (!opened.empty()) {
        deeper = opened.back();
        opened.pop_back();
      }
      if (deeper && depth > 1) --depth;
    } else {
      current.push_back(c);
    }
  }
  flush();
}

void PopupMenuController::AddItems(std::string_view menu_text, size_t position) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (position == 0) {
    items_.clear();
    InsertParsed(menu_text, -1, 1);
    return;
  }
  int after = static_cast<int>(std::min(position - 1, items_.size())) - 1;
  InsertParsed(menu_text, after, after >= 0 ? items_[after].depth : 1);
}

void PopupMenuController::AddItemsAfter(std::string_view menu_text, std::string_view after_name) {
  size_t position;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    int after = Find(after_name);
    // An unknown name appends; it must not turn into position 0, which wipes.
    position = (after < 0 ? items_.size() : static_cast<size_t>(after) + 1) + 1;
  }
  AddItems(menu_text, position);
}

void PopupMenuController::AddSubMenu(std::string_view title, std::string_view items_text,
                                     std::string_view after_name) {
  std::string text(title);
  text += '{';
  text += items_text;
  text += '}';
  AddItemsAfter(text, after_name);
}

void PopupMenuController::DeleteItem(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = Find(name);
  if (i >= 0) items_.erase(items_.begin() + i);
}

void PopupMenuController::SetItemEnabled(std::string_view name, bool enabled) {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = Find(name);
  if (i >= 0 && !items_[i].IsSeparator()) items_[i].disabled = enabled ? 2 : 1;
}

void PopupMenuController::SetItemIcon(std::string_view name, std::string_view icon) {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = Find(name);
  if (i >= 0) items_[i].icon = Cut(icon, kPopupIconMax);
}

void PopupMenuController::SetItemOnToolbox(std::string_view name, bool on) {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = Find(name);
  if (i >= 0) items_[i].on_toolbox = on ? 1 : 0;
}

size_t PopupMenuController::ItemCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_.size();
}

std::string PopupMenuController::LastSelection() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_selection_;
}

std::vector<PopupItem> PopupMenuController::Items() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return items_;
}

PopupItem PopupMenuController::Refreshed(const PopupItem& item, WindowRef window) {
  PopupItem shown = item;
  if (item.mimic_mode == 1) {
    ControlLook look = presenter_->ReadControl(window, item.control_id);
    if (!look.text.empty() && (shown.text.empty() || shown.text[0] == '!')) shown.text = Cut(look.text, kPopupTextMax);
    // A control the window does not have cannot be pressed.
    if (shown.disabled == 0) shown.disabled = (look.disabled || !look.exists) ? 1 : 2;
    if (shown.icon.empty()) shown.icon = Cut(look.icon, kPopupIconMax);
  }
  // A fallback text without a control's text shows what follows the "!".
  if (!shown.text.empty() && shown.text[0] == '!') shown.text.erase(0, 1);
  return shown;
}

std::string PopupMenuController::MenuText(WindowRef window) { return BuildMenuText(Items(), window); }

std::string PopupMenuController::BuildMenuText(std::vector<PopupItem> items, WindowRef window) {
  // Separators are what the stored items say, whatever a control's text shows.
  std::vector<bool> separators;
  bool icons = false;
  for (PopupItem& item : items) {
    separators.push_back(item.IsSeparator());
    item = Refreshed(item, window);
    if (!separators.back() && !item.icon.empty()) icons = true;
  }
  std::vector<uint16_t> depths = ShownDepths(items);
  std::string text;
  uint16_t previous = 1;
  for (size_t i = 0; i < items.size(); ++i) {
    const PopupItem& item = items[i];
    if (depths[i] == previous) text += '|';
    if (depths[i] > previous) text += '{';
    if (depths[i] < previous) text.append(previous - depths[i], '}');
    previous = depths[i];
    if (separators[i]) {
      text += '-';
      continue;
    }
    std::string entry;
    if (item.disabled == 1) entry += '~';
    if (item.check == 1) entry += '+';
    if (item.check == 2) entry += '-';
    if (icons) {
      entry += '[';
      if (!item.icon.empty()) {
        entry += std::to_string(kPopupIconProperty) + "(~" + EscapePopupAttributeText(item.icon) + ")";
      }
      entry += ']';
    }
    std::string shown = translator != nullptr ? translator->TranslateText(item.text) : item.text;
    // An empty text would leave an entry that reads as no item at all, or as
    // a separator after the unticked mark "-": either shifts every number.
    entry += shown.empty() ? std::string(" ") : EscapePopupText(shown);
    text += entry;
  }
  return text;
}

std::string PopupMenuController::ItemForChoice(int n) const {
  std::lock_guard<std::mutex> lock(mutex_);
  int i = ChoiceIndex(items_, n);
  return i < 0 ? std::string() : items_[i].name;
}

void PopupMenuController::Post(const PopupItem& item) {
  if (item.event == 0 && item.mimic_mode != 1) return;
  uint16_t event = item.mimic_mode == 1 ? kEventAccepted : item.event;
  // Control 0 is "none": a control's event without a control goes nowhere.
  if (!IsWindowEvent(event) && item.control_id == 0) return;
  if (clear_key_code) presenter_->ClearKeyCode();
  presenter_->PostEvent(event, IsWindowEvent(event) ? 0 : item.control_id, my_thread_);
}

std::string PopupMenuController::Select(const std::vector<PopupItem>& shown, int index) {
  std::string name = index >= 0 ? shown[index].name : std::string();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    last_selection_ = Cut(name, kPopupSelectionMax);
  }
  if (index >= 0) Post(shown[index]);
  return name;
}

std::string PopupMenuController::Ask(int x, int y) {
  if (presenter_ == nullptr) return std::string();
  // The choice is mapped against the items the menu was built from, so that
  // a change while the menu is open cannot move it to another item.
  std::vector<PopupItem> shown = Items();
  std::string text = BuildMenuText(shown, presenter_->CurrentWindow());
  int choice = presenter_->ShowPopup(text, x, y);
  return Select(shown, ChoiceIndex(shown, choice));
}

namespace {

// Indexes of the items that get toolbox buttons, button 1 first.
std::vector<int> ToolboxIndexes(const std::vector<PopupItem>& items) {
  std::vector<int> indexes;
  for (size_t i = 0; i < items.size(); ++i) {
    if (items[i].on_toolbox && !items[i].IsSeparator()) indexes.push_back(static_cast<int>(i));
  }
  return indexes;
}

std::string ButtonIcon(const PopupItem& item) { return item.icon.empty() ? std::string() : "~" + item.icon; }

}  // namespace

bool PopupMenuController::ShowToolbox(std::string_view title) {
  if (presenter_ == nullptr) return false;
  if (toolbox_started_.load()) {
    if (!toolbox_done_.load()) return false;  // one toolbox at a time
    presenter_->JoinToolboxThread();
    toolbox_started_ = false;
  }
  parent_window_ = presenter_->CurrentWindow();
  {
    std::lock_guard<std::mutex> lock(toolbox_mutex_);
    closing_ = false;
  }
  toolbox_done_ = false;
  toolbox_started_ = true;
  std::string owned_title(title);
  if (!presenter_->StartToolboxThread([this, owned_title] { RunToolbox(owned_title); })) {
    toolbox_started_ = false;
    return false;
  }
  return true;
}

void PopupMenuController::RunToolbox(const std::string& title) {
  std::unique_ptr<ToolboxWindow> window = presenter_->OpenToolbox();
  if (window == nullptr) {
    toolbox_done_ = true;
    return;
  }
  bool close_now;
  {
    std::lock_guard<std::mutex> lock(toolbox_mutex_);
    this_window_ = window.get();
    close_now = closing_;
  }
  in_toolbox_ = true;
  window->SetTitle(title);
  std::vector<PopupItem> items = Items();
  std::vector<int> buttons = ToolboxIndexes(items);
  for (size_t k = 0; k < buttons.size(); ++k) {
    PopupItem shown = Refreshed(items[buttons[k]], parent_window_);
    window->AddButton(static_cast<int>(k + 1), ButtonIcon(shown), shown.text);
  }
  window->Layout();
  if (close_now) window->RequestClose();

  auto tick = [&] {
    std::vector<PopupItem> now = Items();
    std::vector<int> indexes = ToolboxIndexes(now);
    for (size_t k = 0; k < indexes.size() && k < buttons.size(); ++k) {
      PopupItem shown = Refreshed(now[indexes[k]], parent_window_);
      window->UpdateButton(static_cast<int>(k + 1), ButtonIcon(shown), shown.text, shown.disabled != 1);
    }
  };
  for (;;) {
    int pressed = window->WaitForButton(tick);
    // A button stands for the item it shows (the k-th toolbox item), which is
    // not the menu's choice number when some items are not on the toolbox.
    std::vector<PopupItem> now = Items();
    std::vector<int> indexes = ToolboxIndexes(now);
    int index = pressed >= 1 && static_cast<size_t>(pressed) <= indexes.size() ? indexes[pressed - 1] : -1;
    if (Select(now, index).empty()) break;
  }
  in_toolbox_ = false;
  {
    std::lock_guard<std::mutex> lock(toolbox_mutex_);
    this_window_ = nullptr;
  }
  window.reset();  // closes the window
  toolbox_done_ = true;
}

}  // namespace korvex::framework
