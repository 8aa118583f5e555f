// A growing byte buffer for the engine's reading and writing.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

namespace tavrel::detail {

// A growing byte buffer that is never cleared (unlike std::string, whose
// resize fills): the line transformer writes at its end.
class ByteBuffer {
 public:
  std::size_t size() const { return size_; }
  const char* data() const { return data_.get(); }
  std::string_view view() const { return {data_.get(), size_}; }
  void clear() { size_ = 0; }
  // Keeps the first `size` bytes (no more than it holds).
  void Truncate(std::size_t size) { size_ = size; }
  // Room for `n` more bytes; returns where they go.
  char* Reserve(std::size_t n) {
    if (capacity_ - size_ < n) Grow(n);
    return data_.get() + size_;
  }
  // The bytes up to `end` (inside the reserved room) are now part of it.
  void Commit(char* end) { size_ = static_cast<std::size_t>(end - data_.get()); }
  void Append(std::string_view bytes) {
    if (bytes.empty()) return;
    char* at = Reserve(bytes.size());
    std::memcpy(at, bytes.data(), bytes.size());
    size_ += bytes.size();
  }

 private:
  void Grow(std::size_t n) {
    std::size_t capacity = capacity_ < 4096 ? 4096 : capacity_ * 2;
    while (capacity - size_ < n)
      capacity *= 2;
    auto data = std::make_unique_for_overwrite<char[]>(capacity);
    if (size_ > 0) std::memcpy(data.get(), data_.get(), size_);
    data_ = std::move(data);
    capacity_ = capacity;
  }

  std::unique_ptr<char[]> data_;
  std::size_t capacity_ = 0;
  std::size_t size_ = 0;
};

}  // namespace tavrel::detail
