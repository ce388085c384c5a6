// The package reader and the reply classifier over arbitrary bytes: every record it reports
// lies inside the input.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/upgrade/pk2.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  (void)kestrova::upgrade::ClassifyReply(bytes);
  (void)kestrova::upgrade::CheckUpgradeFile(2, true, bytes);
  auto pkg = kestrova::upgrade::ParsePackage(bytes);
  if (pkg) {
    if (pkg->Records.size() != pkg->RecordCount) __builtin_trap();
    for (const auto& r : pkg->Records) {
      if (r.DataOffset > size || r.DataLength > size - r.DataOffset) __builtin_trap();
      if (r.Name.size() > kestrova::upgrade::kMaxNameLength) __builtin_trap();
    }
  }
  return 0;
}
