#include "net/digest/md5.h"

#include <openssl/evp.h>

namespace kestrova {

std::array<uint8_t, 16> Md5(std::string_view data) {
  std::array<uint8_t, 16> out{};
  unsigned int len = 0;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  if (ctx && EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) == 1 &&
      EVP_DigestUpdate(ctx, data.data(), data.size()) == 1)
    EVP_DigestFinal_ex(ctx, out.data(), &len);
  EVP_MD_CTX_free(ctx);
  return out;
}

}  // namespace kestrova
