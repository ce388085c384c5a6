// The camera side of the UDP protocols: recognise a received datagram, build the camera's
// answers byte by byte, and take new network settings when told to. No sockets here: the
// event loop (camsim.cpp) feeds datagrams in and sends what comes out.
#pragma once

#include <string>
#include <vector>

#include "bytes.h"
#include "config.h"

namespace kestrova::camsim {

// Well-known UDP service ports of the cameras, by family.
constexpr uint16_t kF2Port = 10000;
constexpr uint16_t kF4Port = 9750;  // the SDK family's own small protocol (README)
constexpr uint16_t kF5Port = 7999;
constexpr uint16_t kF8Port = 6801;
constexpr uint16_t kF9Port = 8600;

struct Reply {
  Bytes bytes;
  std::string kind;  // for the log, e.g. "f2-search-reply"
};

struct Outcome {
  std::string kind;             // what the datagram was, e.g. "f2-search", "f8-info-request"
  std::string note;             // why it was ignored or refused, empty otherwise
  bool addressed = false;       // the datagram was meant for this camera
  std::vector<Reply> replies;   // answers, in sending order (faults already applied)
  int delay_ms = 0;             // send the replies this much later
  bool settings_changed = false;  // the camera took new network settings
  std::vector<std::string> faults_applied;
};

// What a datagram that arrived at a family's service port is, seen from a camera of that family
// ("f2-search", "f2-set", "f2-other" ...). Also used for the log line.
std::string ClassifyDatagram(int family, ByteView d);

// Handles one datagram for one camera: answers a search, a follow-up or a settings command that
// concerns it, applying its faults. `cam` is the camera's live state (settings commands change
// it), changed only when a settings command concerns it and the camera is not silent.
Outcome Respond(CameraConfig& cam, ByteView datagram);

// The answers themselves (no faults applied), for tests and for the event loop.
Bytes F2SearchReply(const CameraConfig& c);
Bytes F5SearchReply(const CameraConfig& c);
Bytes F8SearchAnswer(const CameraConfig& c);
Bytes F8InfoReply(const CameraConfig& c, uint16_t word);
Bytes F8DdnsReply(const CameraConfig& c, uint16_t word);
Bytes F8NetBlock(const CameraConfig& c);
Bytes F9SearchAnswer(const CameraConfig& c);
Bytes F9SetAnswer(const CameraConfig& c, uint32_t status);
Bytes F4SearchAnswer(const CameraConfig& c, uint16_t seq);
Bytes F4ConfigAnswer(const CameraConfig& c, uint16_t seq, uint8_t status);

// The camera's identity as families 4, 8 and 9 carry it, in six bytes.
std::array<uint8_t, 6> MacBytes(const CameraConfig& c);

}  // namespace kestrova::camsim
