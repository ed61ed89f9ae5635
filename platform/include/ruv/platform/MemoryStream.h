#pragma once
// A stream over bytes held in memory, with a position. Downloads hand files over
// in one; callers read it from the start or take its whole content.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "ruv/platform/Exception.h"

namespace ruv {

class TMemoryStream {
 public:
  enum class Origin { Beginning, Current, End };

  TMemoryStream() = default;
  // A stream holding bytes, positioned at its start.
  explicit TMemoryStream(std::string bytes) : bytes_(std::move(bytes)) {}

  std::int64_t Size() const { return static_cast<std::int64_t>(bytes_.size()); }
  std::int64_t Position() const { return position_; }
  void SetPosition(std::int64_t position) { Seek(position, Origin::Beginning); }

  // Moves the position and returns it. A position before the start is refused;
  // one past the end is allowed (a later Write fills the gap with zeros).
  std::int64_t Seek(std::int64_t offset, Origin origin = Origin::Beginning) {
    const std::int64_t base = origin == Origin::Beginning ? 0 : origin == Origin::Current ? position_ : Size();
    const std::int64_t target = base + offset;
    if (target < 0) throw Exception("Stream seek before its start");
    position_ = target;
    return position_;
  }

  // Writes count bytes at the position, growing the stream as needed; returns count.
  std::size_t Write(const void* data, std::size_t count) {
    if (count == 0) return 0;
    const auto pos = static_cast<std::size_t>(position_);
    if (pos + count > bytes_.size()) bytes_.resize(pos + count, '\0');
    std::memcpy(bytes_.data() + pos, data, count);
    position_ += static_cast<std::int64_t>(count);
    return count;
  }
  std::size_t Write(std::string_view data) { return Write(data.data(), data.size()); }

  // Reads up to count bytes from the position; returns how many were read.
  std::size_t Read(void* data, std::size_t count) {
    if (position_ >= Size()) return 0;
    const auto pos = static_cast<std::size_t>(position_);
    const std::size_t n = std::min(count, bytes_.size() - pos);
    std::memcpy(data, bytes_.data() + pos, n);
    position_ += static_cast<std::int64_t>(n);
    return n;
  }

  // Changes the size; the position stays where it is.
  void SetSize(std::int64_t size) { bytes_.resize(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), '\0'); }
  void Clear() {
    bytes_.clear();
    position_ = 0;
  }

  // The whole content, whatever the position.
  const std::string& Bytes() const { return bytes_; }
  std::string_view View() const { return bytes_; }

 private:
  std::string bytes_;
  std::int64_t position_ = 0;
};

}  // namespace ruv
