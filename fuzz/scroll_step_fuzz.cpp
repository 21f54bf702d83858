// Scroll steps over arbitrary key values (they come from data files): byte 0 is
// the controls flags, byte 1 the lookup mode, the rest three values separated by
// '\n' (first limit, last limit, a value). Positions must stay in 1..100 and the
// mode-3 table must ascend, whatever the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "framework/scroll_step.h"

using korvex::framework::AlphaScrollStep;
using korvex::framework::NumericScrollStep;

namespace {
void Check(bool ok) {
  if (!ok) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint8_t controls = data[0];
  const uint8_t mode = data[1];
  std::string_view rest(reinterpret_cast<const char*>(data + 2), size - 2);
  auto take = [&rest] {
    size_t cut = rest.find('\n');
    std::string_view part = rest.substr(0, cut);
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
    return part;
  };
  std::string_view first = take(), last = take(), value = rest;

  AlphaScrollStep alpha(controls, mode);
  alpha.SetLimits(first, last);
  for (int i = 1; i < AlphaScrollStep::kEntries; ++i) Check(alpha.Entry(i) <= alpha.Entry(i + 1));
  int position = alpha.PositionOf(value);
  Check(position >= 1 && position <= 100);
  Check(alpha.ValueAt(position).size() <= AlphaScrollStep::kMaxRoot + alpha.test_length());

  NumericScrollStep numeric(controls);
  numeric.SetLimits(first, last);
  position = numeric.PositionOf(value);
  Check(position >= 1 && position <= 100);
  int64_t at = numeric.NumberAt(position);
  Check(at >= numeric.low() && at <= numeric.high());
  return 0;
}
