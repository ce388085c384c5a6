// A virtual LAN of the test's own (tools/vlan/vlan.sh with a prefix of its own), held under
// that LAN's lock for the object's lifetime and taken down at its end.
#pragma once

#include <string>
#include <vector>

namespace kestrova::testsupport {

class VirtualLan {
 public:
  // Bounds of one vlan.sh run and of the wait for the LAN's lock.
  static constexpr int kScriptBoundMs = 30000;
  static constexpr int kLockBoundMs = 30000;

  // True when this process may build one (root, network namespaces).
  static bool Available();

  // prefix: letters and digits (namespaces prefix-pc, prefix-cam, ...); empty: one made of
  // `stem` and this process's id, so that tests running at the same time never share a LAN.
  explicit VirtualLan(const std::string& prefix = "", const std::string& stem = "kvt");
  ~VirtualLan();  // Down(), and the lock is released
  VirtualLan(const VirtualLan&) = delete;
  VirtualLan& operator=(const VirtualLan&) = delete;

  // Takes the lock, clears what an earlier run of the same prefix left, and builds the LAN
  // (`args` for `vlan.sh up`, e.g. {"--vendor"}). False (with the script's output in `output`)
  // when the lock or the LAN could not be had in time.
  bool Up(const std::vector<std::string>& args = {});
  void Down();

  const std::string& prefix() const { return prefix_; }
  // "prefix-side", e.g. Ns("pc").
  std::string Ns(const std::string& side) const { return prefix_ + "-" + side; }
  std::string output;  // what the last vlan.sh run printed

 private:
  bool Lock();
  int Run(const std::vector<std::string>& args);

  std::string prefix_;
  int lock_fd_ = -1;
  bool up_ = false;
};

}  // namespace kestrova::testsupport
