// Scroll steps: the conversion between a key value and a thumb position of 1 to
// 100, so that dragging a browse's scroll thumb jumps to a proportional place in
// the data, and the browse can place the thumb for the record it shows.
//
// A browse talks to a step through ScrollStep and passes key values as text (the
// text form of the sort order's free element). Positions are always 1..100.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvex::framework {

// The controls flags of a step.
inline constexpr uint8_t kStepLetters = 1;        // letters take part (mode-3 table)
inline constexpr uint8_t kStepPunctuation = 2;    // the punctuation of kStepPunctuationChars
inline constexpr uint8_t kStepDigits = 4;         // digits take part
inline constexpr uint8_t kStepCaseSensitive = 8;  // without it values are upper-cased
inline constexpr uint8_t kStepDescending = 16;    // the key runs from high to low

// The punctuation characters that kStepPunctuation admits, in code order.
inline constexpr std::string_view kStepPunctuationChars = " !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";

inline constexpr int kFirstThumbPosition = 1;
inline constexpr int kLastThumbPosition = 100;

class ScrollStep {
 public:
  explicit ScrollStep(uint8_t controls) : controls_(controls) {}
  virtual ~ScrollStep() = default;
  ScrollStep(const ScrollStep&) = delete;
  ScrollStep& operator=(const ScrollStep&) = delete;

  // Thumb position (1..100) of a key value.
  virtual int PositionOf(std::string_view value) const = 0;
  // Key value for a thumb position; positions outside 1..100 are clamped.
  virtual std::string ValueAt(int position) const = 0;
  // Releases what the step built; the step keeps working with its defaults.
  virtual void Kill() {}
  // Takes the key values of the first and the last record of the sort order
  // (in either order: the smaller one becomes the low limit).
  virtual void SetLimits(std::string_view first, std::string_view last) = 0;
  // Whether the browse has to read the limits for this step.
  virtual bool WantsLimits() const = 0;

  uint8_t controls() const { return controls_; }
  bool descending() const { return (controls_ & kStepDescending) != 0; }

 protected:
  // The descending key runs the other way: position p of the ascending scale
  // becomes 101 - p, so position 1 is the highest value and 100 the lowest.
  int Directed(int ascending_position) const;

 private:
  uint8_t controls_;  // kStep* flags
};

// Clamps a position to 1..100.
int ClampThumbPosition(int position);

// Step over a numeric key between two limits. The limits are LONG values; text
// values are read as numbers (a fraction is cut off, anything not a number is 0).
class NumericScrollStep : public ScrollStep {
 public:
  explicit NumericScrollStep(uint8_t controls) : ScrollStep(controls) {}

  int PositionOf(std::string_view value) const override;
  std::string ValueAt(int position) const override;
  void SetLimits(std::string_view first, std::string_view last) override;
  bool WantsLimits() const override { return true; }

  // The same in numbers.
  int PositionOfNumber(int64_t value) const;
  int64_t NumberAt(int position) const;
  void SetNumericLimits(int64_t first, int64_t last);

  int32_t low() const { return low_; }
  int32_t high() const { return high_; }

 private:
  int32_t low_ = 0;   // smallest key value of the data
  int32_t high_ = 0;  // largest key value of the data
};

// Reads the integer part of a number written as text ("  -12.7 " gives -12),
// clamped to the LONG range; 0 when the text is not a number.
int32_t ReadLongValue(std::string_view text);

// Step over a string key through a table of 100 ascending entries: the value for
// position p is the common prefix (root) followed by entry p.
//   lookup mode 1: a fixed table of three-character name prefixes;
//   lookup mode 2: a fixed table of two characters, each letter split in four;
//   lookup mode 3: four-character entries spread evenly between the limits.
// Any other mode works as mode 3.
class AlphaScrollStep : public ScrollStep {
 public:
  static constexpr int kEntries = 100;
  static constexpr size_t kMaxRoot = 40;        // characters kept of the common prefix
  static constexpr size_t kMaxLimitText = 80;   // characters of a limit that count

  AlphaScrollStep(uint8_t controls, uint8_t lookup_mode);

  int PositionOf(std::string_view value) const override;
  std::string ValueAt(int position) const override;
  void Kill() override;
  // Mode 3 only: builds the table between the two values.
  void SetLimits(std::string_view first, std::string_view last) override;
  bool WantsLimits() const override { return lookup_mode_ == 3; }

  uint8_t lookup_mode() const { return lookup_mode_; }
  size_t test_length() const { return test_length_; }
  const std::string& root() const { return root_; }
  const std::string& sort_chars() const { return sort_chars_; }
  // Table entry 1..100.
  std::string_view Entry(int index) const;

 private:
  // Upper-cased unless the step is case-sensitive.
  std::string Normalized(std::string_view value) const;
  // Mode-3 number of four characters, and back.
  int64_t NumberOf(std::string_view four) const;
  std::string FourCharsOf(int64_t number) const;
  void BuildSortChars();
  void PrepareTable();  // the table of the lookup mode, before any limits

  uint8_t lookup_mode_;      // 1, 2 or 3
  size_t test_length_;       // characters per table entry
  std::string table_;        // kEntries * test_length_ characters
  std::string root_;         // common prefix of the limits (mode 3)
  std::string sort_chars_;   // characters of the mode-3 table, in code order
};

}  // namespace korvex::framework
