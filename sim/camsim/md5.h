// MD5 (RFC 1321) for checking the digests of the package transfer, on OpenSSL's digest.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

typedef struct evp_md_ctx_st EVP_MD_CTX;

namespace kestrova::camsim {

class Md5 {
 public:
  Md5();
  ~Md5();
  Md5(const Md5&) = delete;
  Md5& operator=(const Md5&) = delete;
  void Update(const uint8_t* data, size_t n);
  void Update(std::string_view s) { Update(reinterpret_cast<const uint8_t*>(s.data()), s.size()); }
  std::array<uint8_t, 16> Final();

 private:
  EVP_MD_CTX* ctx_;
};

}  // namespace kestrova::camsim
