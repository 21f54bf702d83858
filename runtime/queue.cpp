#include "runtime/queue.h"

#include <algorithm>
#include <cctype>
#include <cstring>

namespace korvex {

Queue::Queue(std::vector<QueueField> fields) : fields_(std::move(fields)) {
  for (QueueField& field : fields_) {
    field.offset = static_cast<uint32_t>(entry_size_);
    entry_size_ += field.size;
  }
  buffer_.assign(entry_size_, 0);
}

int Queue::FieldIndex(std::string_view name) const {
  for (size_t i = 0; i < fields_.size(); ++i) {
    const std::string& own = fields_[i].name;
    if (own.size() == name.size() &&
        std::equal(own.begin(), own.end(), name.begin(), [](char a, char b) {
          return std::toupper(static_cast<unsigned char>(a)) == std::toupper(static_cast<unsigned char>(b));
        })) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool Queue::Get(size_t position) {
  std::span<const uint8_t> entry = Entry(position);
  if (entry.empty()) return false;
  std::copy(entry.begin(), entry.end(), buffer_.begin());
  return true;
}

void Queue::Add() { Add(Records() + 1); }

bool Queue::Add(size_t position) {
  if (position < 1 || position > Records() + 1) return false;
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>((position - 1) * entry_size_),
                  buffer_.begin(), buffer_.end());
  ++version_;
  return true;
}

bool Queue::Put(size_t position) {
  if (position < 1 || position > Records()) return false;
  std::copy(buffer_.begin(), buffer_.end(),
            entries_.begin() + static_cast<std::ptrdiff_t>((position - 1) * entry_size_));
  ++version_;
  return true;
}

bool Queue::Delete(size_t position) {
  if (position < 1 || position > Records()) return false;
  auto first = entries_.begin() + static_cast<std::ptrdiff_t>((position - 1) * entry_size_);
  entries_.erase(first, first + static_cast<std::ptrdiff_t>(entry_size_));
  ++version_;
  return true;
}

void Queue::Free() {
  if (entries_.empty()) return;
  entries_.clear();
  ++version_;
}

std::span<const uint8_t> Queue::Entry(size_t position) const {
  if (position < 1 || position > Records() || entry_size_ == 0) return {};
  return std::span<const uint8_t>(entries_).subspan((position - 1) * entry_size_, entry_size_);
}

int64_t Queue::ReadNumber(std::span<const uint8_t> entry, const QueueField& field) {
  if (static_cast<size_t>(field.offset) + field.size > entry.size()) return 0;
  const uint8_t* p = entry.data() + field.offset;
  switch (field.type) {
    case kTypeByte:
      return p[0];
    case kTypeShort: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case kTypeUShort: {
      uint16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case kTypeULong: {
      uint32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    case kTypeLong:
    case kTypeDate:
    case kTypeTime: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return v;
    }
    default:
      return 0;
  }
}

void Queue::WriteNumber(std::span<uint8_t> entry, const QueueField& field, int64_t value) {
  if (static_cast<size_t>(field.offset) + field.size > entry.size()) return;
  uint8_t* p = entry.data() + field.offset;
  switch (field.type) {
    case kTypeByte:
      p[0] = static_cast<uint8_t>(value);
      break;
    case kTypeShort:
    case kTypeUShort: {
      auto v = static_cast<uint16_t>(value);
      std::memcpy(p, &v, 2);
      break;
    }
    case kTypeLong:
    case kTypeULong:
    case kTypeDate:
    case kTypeTime: {
      auto v = static_cast<uint32_t>(value);
      std::memcpy(p, &v, 4);
      break;
    }
    default:
      break;
  }
}

std::string Queue::ReadText(std::span<const uint8_t> entry, const QueueField& field) {
  if (static_cast<size_t>(field.offset) + field.size > entry.size()) return {};
  const char* p = reinterpret_cast<const char*>(entry.data() + field.offset);
  if (field.type == kTypeCString) return std::string(p, strnlen(p, field.size));
  return std::string(p, field.size);
}

void Queue::WriteText(std::span<uint8_t> entry, const QueueField& field, std::string_view text) {
  if (static_cast<size_t>(field.offset) + field.size > entry.size() || field.size == 0) return;
  uint8_t* p = entry.data() + field.offset;
  if (field.type == kTypeCString) {
    size_t n = std::min<size_t>(text.size(), field.size - 1);
    std::memcpy(p, text.data(), n);
    std::memset(p + n, 0, field.size - n);
    return;
  }
  size_t n = std::min<size_t>(text.size(), field.size);
  std::memcpy(p, text.data(), n);
  std::memset(p + n, ' ', field.size - n);
}

}  // namespace korvex
