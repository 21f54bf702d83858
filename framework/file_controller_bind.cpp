// FileController::BindFields: the record's fields as variables of the
// expression evaluator (kept apart: the evaluator's operator names would
// clash with the driver's operation names).
#include <memory>

#include "framework/file_controller.h"
#include "framework/file_controller_fields.h"
#include "runtime/eval/evaluator.h"
#include "runtime/numeric_field.h"

namespace korvex::framework {

namespace {

// A field of the record buffer, read when the expression is evaluated.
class BufferField : public Variable {
 public:
  BufferField(const driver::FileControlBlock* file, int index) : file_(file), index_(index) {}
  Value Get() const override {
    const driver::FieldDescriptor& f = file_->declaration().fields[static_cast<size_t>(index_)];
    std::span<uint8_t> bytes = FieldBytes(*file_, index_);
    if (IsTextField(f) || bytes.empty()) {
      std::string text;
      FieldText(*file_, index_, &text);
      return Value::String(text);
    }
    Decimal value;
    if (!NumericFieldToDecimal(static_cast<TypeCode>(f.type), bytes.data(), f.size, f.places,
                               &value)) {
      return Value();
    }
    return Value::Exact(value);
  }

 private:
  const driver::FileControlBlock* file_;
  int index_;
};

}  // namespace

void FileController::BindFields() {
  if (bindings == nullptr) return;
  const auto fields = file_->declaration().fields;
  for (size_t i = 0; i < fields.size(); ++i) {
    const uint8_t type = fields[i].type;
    if (type == kTypeGroup || type == kTypeMemo || type == kTypeBlob) continue;
    auto variable = std::make_shared<BufferField>(file_, static_cast<int>(i));
    bindings->Bind(fields[i].label, variable);
    if (!fields[i].name.empty()) bindings->Bind(fields[i].name, variable);
  }
}

}  // namespace korvex::framework
