#include "framework/engine_view.h"

#include "data/driver/current_error.h"
#include "data/driver/operation.h"
#include "framework/file_controller_fields.h"

namespace korvex::framework {

using driver::Argument;
using driver::Arguments;

EngineView::EngineView(const view::ViewDeclaration* declaration) : declaration_(declaration), block_(declaration) {}

EngineView::~EngineView() = default;

int32_t EngineView::Run(int operation, const Arguments& args) { return view::ViewEntry(operation, &block_, &args); }

int32_t EngineView::Open(uint8_t access_mode) { return Run(driver::kOpOpen, {Argument::Number(access_mode)}); }

void EngineView::Close() { Run(driver::kOpClose); }

void EngineView::Buffer(uint16_t page_size, uint16_t behind, uint16_t ahead, uint16_t timeout) {
  Run(driver::kOpBuffer, {Argument::Number(page_size), Argument::Number(behind), Argument::Number(ahead),
                          Argument::Number(timeout)});
  // A view keeps no read-ahead of its own: its refusal is nothing the user needs to hear of.
  driver::ClearCurrentError();
}

int32_t EngineView::SetOrder(const std::string& text) {
  return Run(driver::kOpSetProperty, {Argument::Number(view::kPropOrder), Argument::Text(text)});
}

int32_t EngineView::SetFilter(const std::string& text) {
  return Run(driver::kOpSetProperty, {Argument::Number(view::kPropFilter), Argument::Text(text)});
}

int32_t EngineView::Set(int components) {
  if (components <= 0) return Run(driver::kOpSetView);
  return Run(driver::kOpSetView, {Argument::Number(components)});
}

int32_t EngineView::Next() { return Run(driver::kOpNext); }

int32_t EngineView::Previous() { return Run(driver::kOpPrevious); }

std::string EngineView::Position() {
  std::string position;
  if (Run(driver::kOpPositionFile, {Argument::TextAnswer(&position)}) != 0) return {};
  return position;
}

int32_t EngineView::Reset(const std::string& position) {
  return Run(driver::kOpResetFile, {Argument::Text(position)});
}

int32_t EngineView::ResetToPrimaryRecord() {
  return Run(driver::kOpResetViewFile, {Argument::File(declaration_->primary.file)});
}

int32_t EngineView::Watch() { return Run(driver::kOpWatch); }

int32_t EngineView::Reget(const std::string& position) {
  return Run(driver::kOpRegetFile, {Argument::Text(position)});
}

int32_t EngineView::Flush() { return Run(driver::kOpFlush); }

void EngineView::ClearRecords() {
  for (const view::ViewLevel* level : view::FlattenLevels(*declaration_)) {
    if (level->file != nullptr) ClearRecord(*level->file);
  }
}

std::vector<const void*> EngineView::Files() {
  std::vector<const void*> files;
  for (const view::ViewLevel* level : view::FlattenLevels(*declaration_)) {
    if (level->file != nullptr) files.push_back(&level->file->declaration());
  }
  return files;
}

}  // namespace korvex::framework
