#include "window/list_sheet_factories.h"

#include "window/control.h"
#include "window/core/resource_format.h"
#include "window/vel_list.h"
#include "window/vel_sheet.h"
#include "window/window_object.h"

namespace korvex {

namespace {

class ListControl : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override {
    ListSetup setup;
    setup.field = static_cast<int>(field());
    setup.rect = PixelRect();
    setup.format = record_.format;
    setup.flags = record_.flags;
    setup.dragIds = window_.image().IdList(record_.drag_ids);
    setup.dropIds = window_.image().IdList(record_.drop_ids);
    setup.font = window_.FontFor(record_.font);
    VelList* list = VelList::Create(window_.hwnd(), setup);
    hwnd_ = list != nullptr ? list->hwnd() : nullptr;
    return list != nullptr;
  }
};

class SheetControl : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override {
    SheetSetup setup;
    setup.field = static_cast<int>(field());
    setup.rect = PixelRect();
    setup.font = window_.FontFor(record_.font);
    sheet_ = VelSheet::Create(window_.hwnd(), setup);
    hwnd_ = sheet_ != nullptr ? sheet_->hwnd() : nullptr;
    return sheet_ != nullptr;
  }
  VelSheet* sheet() const { return sheet_; }

 private:
  VelSheet* sheet_ = nullptr;  // owned by its window
};

// A tab has no window of its own: it is a page of its sheet, and the
// controls made under it are shown only while it is current.
class TabControl : public Control {
 public:
  using Control::Control;
  bool InitFromRecord() override {
    auto* sheet = dynamic_cast<SheetControl*>(parent_);
    if (sheet == nullptr || sheet->sheet() == nullptr) return false;
    sheet_ = sheet->sheet();
    index_ = sheet_->addTab(static_cast<int>(field()), record_.text);
    return true;
  }
  void AdoptChild(Control& child) override {
    if (child.hwnd() != nullptr) sheet_->addControl(index_, child.hwnd());
  }

 private:
  VelSheet* sheet_ = nullptr;
  int index_ = 0;
};

std::unique_ptr<Control> MakeList(WindowObject& window, const rsc::ControlRecord& record, Control* parent) {
  // A drop byte asks for the drop-down form, which this program does not have.
  if (record.drop_byte != 0) return nullptr;
  return std::make_unique<ListControl>(window, record, parent);
}

template <typename T>
std::unique_ptr<Control> Make(WindowObject& window, const rsc::ControlRecord& record, Control* parent) {
  return std::make_unique<T>(window, record, parent);
}

}  // namespace

void RegisterListAndSheetControls() {
  RegisterControlFactory(rsc::kTypeList, &MakeList);
  RegisterControlFactory(rsc::kTypeSheet, &Make<SheetControl>);
  RegisterControlFactory(rsc::kTypeTab, &Make<TabControl>);
}

}  // namespace korvex
