// Feeds arbitrary datagrams to simulated cameras of every family, and arbitrary text to the
// configuration reader, CTP streams to the CTP side and header values and query texts to the
// web side. The first byte picks the target (family 4 with bit 0x40), the rest is the input.
#include <cstddef>
#include <cstdint>
#include <string>

#include "cgi.h"
#include "config.h"
#include "ctp.h"
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
  const std::string text(rest.begin(), rest.end());
  switch (selector % 8) {
    case 4: {
      std::string err;
      (void)ParseConfig(text, err);
      return 0;
    }
    case 5: {
      // A CTP byte stream: every request in it, as a connection would take them.
      CameraConfig cam = Camera(5);
      cam.extra["pk2_key"] = "0102030405060708";
      std::string buf = text;
      UpgradeSession session;
      for (int i = 0; i < 64; ++i) {
        if (LooksLikeUpgradeMessage(buf)) {
          UpgradeMessage m;
          long used = ParseUpgradeMessage(buf, m);
          if (used <= 0) break;
          buf.erase(0, size_t(used));
          std::string note;
          cam.extra["upgrade_mode"] = "1";
          (void)HandleUpgrade(cam, session, m, note);
          continue;
        }
        CtpRequest req;
        long used = ParseCtpRequest(buf, req);
        if (used <= 0) break;
        buf.erase(0, size_t(used));
        (void)HandleCtp(cam, req);
      }
      return 0;
    }
    case 6:
    case 7: {
      // "path?query" plus an Authorization value after a newline.
      CameraConfig cam = Camera(selector & 0x10 ? 9 : (selector & 0x20 ? 8 : 2));
      CgiRequest req;
      req.method = selector & 0x40 ? "POST" : "GET";
      auto nl = text.find('\n');
      std::string target = text.substr(0, nl);
      if (nl != std::string::npos) req.basic = DecodeBasic(text.substr(nl + 1));
      auto q = target.find('?');
      req.path = target.substr(0, q);
      std::string query = q == std::string::npos ? "" : target.substr(q + 1);
      size_t p = 0;
      while (p <= query.size()) {
        auto amp = query.find('&', p);
        std::string kv = query.substr(p, amp == std::string::npos ? std::string::npos : amp - p);
        auto eq = kv.find('=');
        req.params.emplace(kv.substr(0, eq), eq == std::string::npos ? "" : kv.substr(eq + 1));
        if (amp == std::string::npos) break;
        p = amp + 1;
      }
      if (selector & 0x80) req.files.push_back({"file", "f.bin", "application/octet-stream", text});
      (void)HandleCgi(cam, req);
      return 0;
    }
  }
  static const int kFamilies[] = {2, 5, 8, 9};  // selectors 0..3; with 0x40 family 4
  int family = selector & 0x40 ? 4 : kFamilies[selector % 4];
  CameraConfig cam = Camera(family);
  if (selector & 0x10) cam.faults.insert(Fault::Truncated);
  if (selector & 0x20) cam.faults.insert(Fault::WrongOpcode);
  (void)ClassifyDatagram(family, rest);
  Outcome o = Respond(cam, rest);
  // A camera that took settings must still be able to answer a search.
  if (o.settings_changed) {
    static const uint8_t kF9[] = {0x44, 0x48, 0x01, 0x01};
    static const uint8_t kF8[] = {0x10, 0x10, 0x01, 0x0F, 0, 0, 0, 0};
    static const uint8_t kF4[] = {'D', 'V', 'S', '4', 0x01, 0x01, 0, 0};
    (void)Respond(cam, family == 9 ? ByteView(kF9, 4) : family == 4 ? ByteView(kF4, 8) : ByteView(kF8, 8));
  }
  return 0;
}
