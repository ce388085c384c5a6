#include "md5.h"

#include <openssl/evp.h>

namespace kestrova::camsim {

Md5::Md5() : ctx_(EVP_MD_CTX_new()) {
  if (ctx_) EVP_DigestInit_ex(ctx_, EVP_md5(), nullptr);
}

Md5::~Md5() { EVP_MD_CTX_free(ctx_); }

void Md5::Update(const uint8_t* data, size_t n) {
  if (ctx_ && n) EVP_DigestUpdate(ctx_, data, n);
}

std::array<uint8_t, 16> Md5::Final() {
  std::array<uint8_t, 16> out{};
  unsigned int len = 0;
  if (ctx_) EVP_DigestFinal_ex(ctx_, out.data(), &len);
  return out;
}

}  // namespace kestrova::camsim
