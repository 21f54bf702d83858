#include "data/view/view_declaration.h"

namespace korvex::view {

namespace {

void LevelText(const ViewLevel& level, int depth, std::string* out) {
  std::string indent(static_cast<size_t>(depth) * 2, ' ');
  if (!level.projection.empty()) {
    *out += indent + "PROJECT(";
    for (size_t i = 0; i < level.projection.size(); ++i) {
      if (i > 0) *out += ',';
      *out += level.projection[i].memo ? "MEMO(" : "FIELD(";
      *out += std::to_string(level.projection[i].number) + ")";
    }
    *out += ")\r\n";
  }
  for (const ViewJoin& join : level.joins) {
    *out += indent + "JOIN(";
    if (join.key != nullptr) {
      *out += "KEY";
      for (int f : join.parent_fields) *out += ",FIELD(" + std::to_string(f) + ")";
    } else {
      *out += join.expression;
    }
    *out += ")";
    if (join.inner) *out += ",INNER";
    *out += "\r\n";
    LevelText(join.level, depth + 1, out);
    *out += indent + "END\r\n";
  }
}

void Flatten(const ViewLevel& level, std::vector<const ViewLevel*>* out) {
  out->push_back(&level);
  for (const ViewJoin& join : level.joins) Flatten(join.level, out);
}

}  // namespace

std::string ViewDeclaration::ToText() const {
  std::string out = "VIEW(FILE)\r\n";
  LevelText(primary, 1, &out);
  out += "END\r\n";
  return out;
}

std::vector<const ViewLevel*> FlattenLevels(const ViewDeclaration& view) {
  std::vector<const ViewLevel*> out;
  Flatten(view.primary, &out);
  return out;
}

}  // namespace korvex::view
