// A LAN of many cameras played by one process, from the cameras' side, on loopback only.
//
// Every camera-side port (the family-2, -5, -8 and -9 search ports and the ports of the
// requests nobody answers) is a socket bound to 127.0.0.1 on a free port; the engine under test
// is pointed at those ports. Each answering family has its own thread, so the four reply bursts
// overlap as they do when every camera on a LAN answers the same broadcast. Replies go back to
// the address and port the request came from, as fast as the thread can send them.
//
// The reply bytes are written here by hand from the cameras' byte layouts; nothing of the
// application's codecs is used.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace lanstorm {

using Bytes = std::vector<uint8_t>;

// The camera-side sockets.
enum class Port : int { Family2 = 0, Family5, Family8, Family9, Uicam, Sq610, Count };

struct LanCamera {
  int family = 2;                // 2, 5, 8 or 9
  std::array<uint8_t, 6> mac{};  // distinct for every camera of the LAN
  std::string ip, mask, gateway, dns1, dns2;
  std::string name, sn, version;
  std::string ddnsServer, ddnsUser, ddnsPwd;
  uint16_t httpPort = 80;
  uint16_t dataPort = 0;
  uint16_t word = 0;  // family 8: the header word of its answers
  bool dhcp = false;
};

// Camera i of a LAN: families 2, 5, 8 and 9 in turn (or every camera of `onlyFamily`), MAC
// 02:4B:53:xx:xx:xx (locally administered), addresses 10.77.x.y as texts only.
LanCamera MakeCamera(int index, int onlyFamily = 0);

// The MAC text each family's reply puts into the listed record.
std::string ExpectedMacText(const LanCamera& c);

// Reply bytes of one camera.
Bytes Family2SearchReply(const LanCamera& c);   // "MO_I" opcode 1, body 195: 218 bytes
Bytes Family5SearchReply(const LanCamera& c);   // "REPLY * CTP/1.0" text
Bytes Family8SearchAnswer(const LanCamera& c);  // 01 8F, block at 12: 140 bytes
Bytes Family8InfoReply(const LanCamera& c, uint16_t word);  // 12 8F: 168 bytes
Bytes Family8DdnsReply(const LanCamera& c, uint16_t word);  // 0F 8F: 400 bytes
Bytes Family9SearchAnswer(const LanCamera& c);  // 44 48 01 08: 516 bytes

struct ResponderCounts {
  // Requests received.
  uint64_t f2Searches = 0, f5Searches = 0, f8Searches = 0, f9Searches = 0;
  uint64_t f8InfoRequests = 0, f8DdnsRequests = 0, f8UnknownBlock = 0;
  uint64_t ignored = 0;  // "IMAGIAQUERY,0", "uicam query", "SQ610" and anything else
  // Replies sent (handed to the kernel).
  uint64_t f2Replies = 0, f5Replies = 0, f8Answers = 0, f8InfoReplies = 0, f8DdnsReplies = 0,
           f9Answers = 0;
  uint64_t sendErrors = 0;
  // CPU time of the responder's threads, microseconds.
  uint64_t cpuUs = 0;

  uint64_t RepliesToDiscoverySockets() const {
    return f2Replies + f5Replies + f8Answers + f8InfoReplies + f8DdnsReplies;
  }
  uint64_t RepliesSent() const { return RepliesToDiscoverySockets() + f9Answers; }
};

class LanResponder {
 public:
  // cameras: how many; onlyFamily: 0 = the four families in turn, else every camera of it;
  // rcvbufBytes: receive buffer of each camera-side socket.
  explicit LanResponder(int cameras, int onlyFamily = 0, int rcvbufBytes = 4 << 20);
  ~LanResponder();
  LanResponder(const LanResponder&) = delete;
  LanResponder& operator=(const LanResponder&) = delete;

  // Cameras wait this long after a search request before the first of them answers.
  void SetReplyDelayMs(int ms) { replyDelayMs_ = ms; }
  // The answers of one family to one search are spread evenly over this long (0 = as fast as
  // they can be sent), as the wire of a real LAN spreads them.
  void SetReplySpreadMs(int ms) { replySpreadMs_ = ms; }
  bool Start();  // binds every port on 127.0.0.1 and starts the threads
  void Stop();
  uint16_t PortOf(Port p) const { return ports_[int(p)]; }
  const std::vector<LanCamera>& Cameras() const { return cameras_; }
  int CamerasOf(int family) const;
  ResponderCounts Counts() const;
  void ResetCounts();

 private:
  struct Counters;
  void Run(int thread, std::vector<Port> ports);
  void Handle(Port p, int fd, const uint8_t* d, size_t n, const void* from, unsigned fromLen,
              Counters& c);

  std::vector<LanCamera> cameras_;
  std::array<std::vector<int>, 10> byFamily_;        // family -> camera indexes
  std::array<std::vector<Bytes>, 10> searchReplies_;  // family -> prebuilt search replies
  std::unordered_map<uint64_t, int> byMac_;           // 48-bit MAC -> camera index
  int rcvbuf_;
  int replyDelayMs_ = 0;
  int replySpreadMs_ = 0;
  std::array<int, int(Port::Count)> fds_{};
  std::array<uint16_t, int(Port::Count)> ports_{};
  int stopPipe_[2] = {-1, -1};
  std::vector<std::thread> threads_;
  std::vector<std::unique_ptr<Counters>> counters_;
};

// A free UDP port on 127.0.0.1 at the moment of the call (bound, read, released).
uint16_t FreeLoopbackUdpPort();

}  // namespace lanstorm
