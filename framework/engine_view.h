// A VIEW of the view engine as the view and browse controllers reach it: each call is one
// operation on the view's entry, so errors become the current error as for files.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "data/view/view_declaration.h"
#include "data/view/view_engine.h"
#include "framework/view_access.h"

namespace korvex::framework {

class EngineView : public ViewAccess {
 public:
  // REQUIRES: declaration and its files outlive the view.
  explicit EngineView(const view::ViewDeclaration* declaration);
  ~EngineView() override;

  int32_t Open(uint8_t access_mode) override;
  void Close() override;
  void Buffer(uint16_t page_size, uint16_t behind, uint16_t ahead, uint16_t timeout) override;
  int32_t SetOrder(const std::string& text) override;
  int32_t SetFilter(const std::string& text) override;
  int32_t Set(int components) override;
  int32_t Next() override;
  int32_t Previous() override;
  std::string Position() override;
  int32_t Reset(const std::string& position) override;
  int32_t ResetToPrimaryRecord() override;
  int32_t Watch() override;
  int32_t Reget(const std::string& position) override;
  int32_t Flush() override;
  void ClearRecords() override;
  std::vector<const void*> Files() override;

  view::ViewControlBlock& block() { return block_; }

 private:
  int32_t Run(int operation, const driver::Arguments& args = {});

  const view::ViewDeclaration* declaration_;
  view::ViewControlBlock block_;
};

}  // namespace korvex::framework
