// The camera's answers in upgrade mode as the transfer reads them: arbitrary bytes, cut into
// reads at the places the first byte chooses, read answer by answer until none is left. Every
// answer fits the reply buffer, and the reading ends however the bytes go on.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "net/upgrade/pk2_transfer.h"

namespace {

using namespace kestrova::upgrade;

class Pieces : public TUpgradeLink {
 public:
  std::deque<std::string> in;
  bool SendMessage(std::string_view) override { return true; }
  long Receive(char* buf, size_t max, int) override {
    if (in.empty()) return 0;
    std::string& f = in.front();
    const size_t n = std::min(max, f.size());
    std::copy_n(f.data(), n, buf);
    f.erase(0, n);
    if (f.empty()) in.pop_front();
    return static_cast<long>(n);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t cut = 1 + data[0] % 64;  // read size
  Pieces link;
  for (size_t off = 1; off < size; off += cut) link.in.emplace_back(reinterpret_cast<const char*>(data) + off, std::min(cut, size - off));
  TReplyReader reader(link);
  // Each answer takes at least one byte, so this many rounds end the input.
  for (size_t round = 0; round <= size; ++round) {
    std::string why;
    if (ReadReply(reader, &why) == TReplyResult::Failed && link.in.empty()) break;
  }
  TReplyReader again(link);
  if (auto a = again.Next(0); a && a->size() >= kReplyBufferSize) __builtin_trap();
  return 0;
}
