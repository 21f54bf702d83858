// The argument words of one file operation, in the order the statement gave them
// (keys, buffers, lengths, positions, time-outs, property values, places for
// answers).
//
// Each word is typed. A driver reads a word with the accessor of the type it
// expects; the accessor answers false when the word is missing or of another
// type, so a wrong call is a clean error (typically 78 "Invalid Number Of
// Parameters ") rather than a wild read. Words never own what they point at:
// the statement's caller keeps keys, buffers and answer places alive for the call.
//
//   Arguments args{Argument::Key(&by_name), Argument::Number(0)};
//   const KeyDeclaration* key;
//   if (!args.GetKey(0, &key)) return kErrInvalidParameterCount;
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "data/driver/declarations.h"

namespace korvex::driver {

class FileControlBlock;

class Argument {
 public:
  Argument() = default;  // an empty word
  static Argument Number(int64_t value) { return Argument(value); }
  static Argument Key(const KeyDeclaration* key) { return Argument(key); }
  static Argument Text(std::string_view text) { return Argument(text); }
  static Argument Buffer(std::span<uint8_t> bytes) { return Argument(bytes); }
  static Argument NumberAnswer(int64_t* place) { return Argument(place); }
  static Argument TextAnswer(std::string* place) { return Argument(place); }
  static Argument File(FileControlBlock* file) { return Argument(file); }

 private:
  friend class Arguments;
  using Value = std::variant<std::monostate, int64_t, const KeyDeclaration*, std::string_view,
                             std::span<uint8_t>, int64_t*, std::string*, FileControlBlock*>;
  template <typename T>
  explicit Argument(T value) : value_(value) {}
  Value value_;
};

class Arguments {
 public:
  Arguments() = default;
  Arguments(std::initializer_list<Argument> words) : words_(words) {}

  void Add(const Argument& word) { words_.push_back(word); }
  size_t size() const { return words_.size(); }

  // Each accessor: true and *out set when word `index` exists and has that type.
  bool GetNumber(size_t index, int64_t* out) const { return Get(index, out); }
  // A key word that is null counts as missing.
  bool GetKey(size_t index, const KeyDeclaration** out) const;
  bool GetText(size_t index, std::string_view* out) const { return Get(index, out); }
  bool GetBuffer(size_t index, std::span<uint8_t>* out) const { return Get(index, out); }
  // Places for answers; null places count as missing.
  bool GetNumberAnswer(size_t index, int64_t** out) const;
  bool GetTextAnswer(size_t index, std::string** out) const;
  bool GetFile(size_t index, FileControlBlock** out) const;

 private:
  template <typename T>
  bool Get(size_t index, T* out) const {
    if (index >= words_.size()) return false;
    const T* value = std::get_if<T>(&words_[index].value_);
    if (value == nullptr) return false;
    *out = *value;
    return true;
  }
  template <typename T>
  bool GetPointer(size_t index, T** out) const {
    T* value = nullptr;
    if (!Get(index, &value) || value == nullptr) return false;
    *out = value;
    return true;
  }

  std::vector<Argument> words_;
};

}  // namespace korvex::driver
