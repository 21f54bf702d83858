// Declaration texts: any input either parses or fails with a position; a text
// that parses dumps to a text that parses to the same dump.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/driver/declaration_text.h"
#include "data/driver/structure_dump.h"

namespace {

// The dump writes texts unquoted-safe only when they hold no quote, and glues
// labels that fill their column to the keyword; such declarations need not
// come back the same way.
bool DumpsUnambiguously(const korvex::driver::FileDeclaration& d) {
  auto plain = [](std::string_view s) { return s.find('\'') == std::string_view::npos; };
  if (d.label.size() >= 18 || !plain(d.name) || !plain(d.options) || !plain(d.driver)) return false;
  for (const auto& k : d.keys) {
    if (k.label.size() >= 20 || !plain(k.name)) return false;
  }
  for (const auto& m : d.memos) {
    if (m.label.size() >= 20 || !plain(m.name)) return false;
  }
  for (const auto& f : d.fields) {
    if (f.label.size() >= 20 || !plain(f.name)) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<korvex::driver::OwnedDeclaration> first;
  korvex::driver::DeclarationTextError error;
  if (!korvex::driver::ParseDeclarationText(text, &first, &error)) {
    if (error.line < 1 || error.column < 1 || error.message.empty()) std::abort();
    return 0;
  }
  if (!DumpsUnambiguously(first->declaration())) return 0;
  std::string dump = korvex::driver::StructureDump(first->declaration());
  std::unique_ptr<korvex::driver::OwnedDeclaration> second;
  if (!korvex::driver::ParseDeclarationText(dump, &second, &error)) std::abort();
  if (korvex::driver::StructureDump(second->declaration()) != dump) std::abort();
  return 0;
}
