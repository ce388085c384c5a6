// MD5 (RFC 1321), for checking the digests of the package transfer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kestrova::camsim {

class Md5 {
 public:
  Md5();
  void Update(const uint8_t* data, size_t n);
  void Update(std::string_view s) { Update(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  std::array<uint8_t, 16> Final();

 private:
  void Block(const uint8_t* p);
  uint32_t h_[4];
  uint8_t buf_[64];
  uint64_t len_ = 0;
  size_t fill_ = 0;
};

}  // namespace kestrova::camsim
