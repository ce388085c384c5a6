// Feeds arbitrary datagrams to simulated cameras of every family, and arbitrary text to the
// configuration reader. The first byte picks the target, the rest is the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "config.h"
#include "responder.h"

using namespace kestrova::camsim;

namespace {

CameraConfig Camera(int family) {
  CameraConfig c;
  c.section = "fuzz";
  c.family = family;
  c.identity = "MOI0A1B2C3D4";
  c.mac = "00:1a:2b:3c:4d:5e";
  c.sn = family == 8 ? "0a0b0c0d0e0f10" : "SN1";
  c.name = "cam";
  c.ip = "192.168.0.20";
  c.user = "admin";
  c.pwd = "";
  return c;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t selector = data[0];
  ByteView rest(data + 1, size - 1);
  if (selector % 5 == 4) {
    std::string err;
    (void)ParseConfig(std::string(rest.begin(), rest.end()), err);
    return 0;
  }
  static const int kFamilies[] = {2, 5, 8, 9};
  int family = kFamilies[selector % 5];
  CameraConfig cam = Camera(family);
  if (selector & 0x10) cam.faults.insert(Fault::Truncated);
  if (selector & 0x20) cam.faults.insert(Fault::WrongOpcode);
  (void)ClassifyDatagram(family, rest);
  Outcome o = Respond(cam, rest);
  // A camera that took settings must still be able to answer a search.
  if (o.settings_changed) {
    static const uint8_t kF9[] = {0x44, 0x48, 0x01, 0x01};
    static const uint8_t kF8[] = {0x10, 0x10, 0x01, 0x0F, 0, 0, 0, 0};
    (void)Respond(cam, family == 9 ? ByteView(kF9, 4) : ByteView(kF8, 8));
  }
  return 0;
}
