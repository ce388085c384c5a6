// MD5 through the system's Cryptography API: Next Generation (bcrypt).
#include <windows.h>
#include <bcrypt.h>

#include "net/digest/md5.h"

namespace kestrova {

std::array<uint8_t, 16> Md5(std::string_view data) {
  std::array<uint8_t, 16> out{};
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (::BCryptOpenAlgorithmProvider(&alg, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0) return out;
  bool ok = ::BCryptCreateHash(alg, &hash, nullptr, 0, nullptr, 0, 0) == 0;
  // BCryptHashData takes at most 4 GiB a call.
  std::string_view left = data;
  while (ok && !left.empty()) {
    const ULONG n = left.size() > 0x40000000u ? 0x40000000u : ULONG(left.size());
    ok = ::BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(left.data())), n, 0) == 0;
    left.remove_prefix(n);
  }
  std::array<uint8_t, 16> digest{};
  if (ok && ::BCryptFinishHash(hash, digest.data(), ULONG(digest.size()), 0) == 0) out = digest;
  if (hash) ::BCryptDestroyHash(hash);
  ::BCryptCloseAlgorithmProvider(alg, 0);
  return out;
}

}  // namespace kestrova
