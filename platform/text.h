// Short ANSI text held inline. Every text this program handles is bounded (captions, numbers of a few
// digits, registry data of at most 255 bytes, paths of at most MAX_PATH), so no heap and no std::string.
#pragma once

#include <cstddef>
#include <string_view>

namespace dimlux {

class Text {
 public:
  static constexpr std::size_t kCapacity = 1023;

  Text() = default;
  Text(std::string_view s) { Append(s); }  // NOLINT: converts like a string does

  // Appends what fits; text beyond the capacity is cut off.
  Text& Append(std::string_view s) {
    for (char c : s) {
      if (length_ == kCapacity) break;
      chars_[length_++] = c;
    }
    chars_[length_] = '\0';
    return *this;
  }
  Text& operator+=(std::string_view s) { return Append(s); }
  Text& operator+=(char c) { return Append(std::string_view(&c, 1)); }

  std::string_view view() const { return {chars_, length_}; }
  operator std::string_view() const { return view(); }  // NOLINT
  const char* c_str() const { return chars_; }
  std::size_t size() const { return length_; }
  bool empty() const { return length_ == 0; }
  bool operator==(std::string_view other) const { return view() == other; }

 private:
  char chars_[kCapacity + 1] = {};
  std::size_t length_ = 0;
};

inline Text operator+(Text left, std::string_view right) { return left += right; }

}  // namespace dimlux
