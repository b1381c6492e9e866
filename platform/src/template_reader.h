// Reading the binary resource templates (menus, accelerator tables, dialogs): little-endian
// words, UTF-16 strings and "string or ordinal" fields, with every read checked against the
// end of the resource so that a damaged template is refused instead of overrun.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace zp {

class TemplateReader {
 public:
  TemplateReader(const uint8_t *data, size_t size) : begin_(data), p_(data), end_(data + size) {}

  bool ok() const { return ok_; }
  bool AtEnd() const { return p_ >= end_; }
  size_t Offset() const { return size_t(p_ - begin_); }

  uint16_t Word() {
    if (!Need(2)) return 0;
    uint16_t v = uint16_t(p_[0] | (p_[1] << 8));
    p_ += 2;
    return v;
  }
  uint32_t Dword() {
    uint32_t lo = Word();
    uint32_t hi = Word();
    return lo | (hi << 16);
  }
  int16_t Short() { return int16_t(Word()); }
  uint8_t Byte() {
    if (!Need(1)) return 0;
    return *p_++;
  }
  void Skip(size_t n) {
    if (Need(n)) p_ += n;
  }
  // Moves on to the next offset that is a multiple of 4 from the start of the resource.
  void AlignDword() {
    size_t pad = (4 - Offset() % 4) % 4;
    if (size_t(end_ - p_) < pad) pad = size_t(end_ - p_);
    p_ += pad;
  }

  // A zero-terminated UTF-16 string, as the program's 8-bit text (Latin-1 for the first 256
  // code points, '?' beyond).
  std::string String() {
    std::string s;
    for (;;) {
      uint16_t c = Word();
      if (!ok_ || c == 0) break;
      s += c < 256 ? char(c) : '?';
    }
    return s;
  }

  // A field that is empty (0x0000), an ordinal (0xFFFF then the number) or a string.
  struct NameOrOrdinal {
    bool isOrdinal = false;
    uint16_t ordinal = 0;
    std::string name;
    bool Empty() const { return !isOrdinal && name.empty(); }
  };
  NameOrOrdinal NameOrOrd() {
    NameOrOrdinal r;
    if (!Need(2)) return r;
    uint16_t first = uint16_t(p_[0] | (p_[1] << 8));
    if (first == 0) {
      p_ += 2;
    } else if (first == 0xFFFF) {
      p_ += 2;
      r.isOrdinal = true;
      r.ordinal = Word();
    } else {
      r.name = String();
    }
    return r;
  }

 private:
  bool Need(size_t n) {
    if (!ok_ || size_t(end_ - p_) < n) {
      ok_ = false;
      return false;
    }
    return true;
  }

  const uint8_t *begin_;
  const uint8_t *p_;
  const uint8_t *end_;
  bool ok_ = true;
};

}  // namespace zp
