#include "app/customer_view.h"

#include "app/data_dictionary.h"
#include "data/brisken/bkf_driver.h"
#include "framework/engine_view.h"

namespace korvex::app {

namespace {

// The declaration lives as long as the program: views made from it refer to it.
const view::ViewDeclaration& CustomerViewDeclaration() {
  static const view::ViewDeclaration declaration = [] {
    view::ViewDeclaration d;
    d.primary.file = &CustomerBlock();
    d.primary.entry = brisken::BkfEntry;
    for (int field : {kCusId, kCusName, kCusSuburb, kCusPhone}) d.primary.projection.push_back({false, field});
    return d;
  }();
  return declaration;
}

}  // namespace

std::unique_ptr<framework::ViewAccess> NewCustomerView() {
  return std::make_unique<framework::EngineView>(&CustomerViewDeclaration());
}

}  // namespace korvex::app
