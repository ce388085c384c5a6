// Network namespaces of the virtual LAN, from a test: a scoped switch of the calling thread,
// and a function run on a thread of its own inside a namespace.
#pragma once

#include <functional>
#include <string>

namespace kestrova::testsupport {

// Moves this thread (and threads it starts later) into the named namespace for its lifetime,
// and back afterwards.
class InNamespace {
 public:
  explicit InNamespace(const std::string& ns);
  ~InNamespace();
  InNamespace(const InNamespace&) = delete;
  InNamespace& operator=(const InNamespace&) = delete;
  bool ok() const { return ok_; }

 private:
  int home_ = -1;
  bool ok_ = false;
};

// Runs fn on a thread that lives in the named namespace (sockets it makes belong there) and
// waits for it; fn's own waits must be bounded. A namespace that cannot be entered fails the
// test (fn does not run).
void RunInNamespace(const std::string& ns, const std::function<void()>& fn);

}  // namespace kestrova::testsupport
