// Stored table definitions: any bytes either are refused with a code or read
// back into a declaration that writes the same definition again and matches it
// on OPEN.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/brisken/definition_stream.h"
#include "data/brisken/key_encoding.h"
#include "data/driver/record_layout.h"
#include "data/driver/structure_dump.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view stream(reinterpret_cast<const char*>(data), size);
  korvex::brisken::Definition parsed;
  int32_t code = korvex::brisken::ParseDefinition(stream, &parsed);
  if (code != 0 && code != 36 && code != 79) std::abort();

  std::unique_ptr<korvex::driver::OwnedDeclaration> decl;
  code = korvex::brisken::ReadDefinitionStream(stream, "FUZZ", &decl);
  if (code != 0) {
    if (decl != nullptr) std::abort();
    return 0;
  }
  const korvex::driver::FileDeclaration& d = decl->declaration();
  korvex::driver::StructureDump(d);

  // What was read writes a stream that agrees with the original on OPEN and
  // reads back to itself.
  std::string again;
  if (korvex::brisken::WriteDefinitionStream(d, &again) != 0) return 0;  // e.g. too many keys
  if (korvex::brisken::CompareDefinition(stream, d) != 0) std::abort();
  std::unique_ptr<korvex::driver::OwnedDeclaration> twice;
  if (korvex::brisken::ReadDefinitionStream(again, "FUZZ", &twice) != 0) std::abort();
  std::string third;
  if (korvex::brisken::WriteDefinitionStream(twice->declaration(), &third) != 0 || third != again) {
    std::abort();
  }

  // Every key of the declaration encodes a zeroed record without reading past it.
  korvex::driver::RecordLayout layout;
  if (!layout.Build(d.fields)) std::abort();
  std::string record(layout.record_size(), '\0');
  const korvex::CharTables tables = korvex::CharTables::Defaults();
  for (const korvex::driver::KeyDeclaration& k : d.keys) {
    korvex::brisken::KeyEncoder encoder;
    if (encoder.Init(d, layout, k) != 0) continue;
    if (encoder.Encode(record, tables).size() != encoder.length()) std::abort();
  }
  return 0;
}
