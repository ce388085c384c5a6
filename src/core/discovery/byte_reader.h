// Bounds-checked field access over a received datagram. A wire layout is declared as a table
// of Field{offset, size}; every read goes through ByteReader, which never touches a byte
// outside the span and reports whether the field was wholly inside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace kestrova::wire {

struct Field {
  std::size_t offset;
  std::size_t size;
  constexpr std::size_t end() const { return offset + size; }
};

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}

  std::size_t size() const { return data_.size(); }
  bool Has(Field f) const { return f.offset <= data_.size() && f.size <= data_.size() - f.offset; }

  // The field's bytes; empty when the field is not wholly inside the data.
  std::span<const uint8_t> Bytes(Field f) const {
    return Has(f) ? data_.subspan(f.offset, f.size) : std::span<const uint8_t>{};
  }
  uint8_t U8(std::size_t offset, uint8_t def = 0) const {
    return offset < data_.size() ? data_[offset] : def;
  }
  uint16_t U16LE(std::size_t offset) const {
    return static_cast<uint16_t>(U8(offset) | (U8(offset + 1) << 8));
  }
  uint16_t U16BE(std::size_t offset) const {
    return static_cast<uint16_t>((U8(offset) << 8) | U8(offset + 1));
  }
  uint32_t U32LE(std::size_t offset) const {
    return static_cast<uint32_t>(U8(offset)) | (static_cast<uint32_t>(U8(offset + 1)) << 8) |
           (static_cast<uint32_t>(U8(offset + 2)) << 16) | (static_cast<uint32_t>(U8(offset + 3)) << 24);
  }
  // Text of a fixed-width field up to its first NUL (the whole width without one). Only the
  // part of the field inside the data is read.
  std::string Text(Field f) const {
    if (f.offset >= data_.size()) return {};
    std::size_t end = f.size <= data_.size() - f.offset ? f.end() : data_.size();
    std::string out;
    for (std::size_t i = f.offset; i < end && data_[i] != 0; ++i) out.push_back(static_cast<char>(data_[i]));
    return out;
  }
  // Text from offset up to the first NUL or the end of the data.
  std::string TextToEnd(std::size_t offset) const {
    return Text(Field{offset, data_.size() > offset ? data_.size() - offset : 0});
  }
  bool StartsWith(std::span<const uint8_t> prefix) const {
    if (prefix.size() > data_.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
      if (data_[i] != prefix[i]) return false;
    return true;
  }

 private:
  std::span<const uint8_t> data_;
};

}  // namespace kestrova::wire
