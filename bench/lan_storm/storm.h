// One timed run of the discovery engine against a LAN of cameras on loopback.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "lan_responder.h"

namespace lanstorm {

struct StormParams {
  int cameras = 1000;
  int onlyFamily = 0;        // 0 = families 2, 5, 8 and 9 in turn
  int steadyRounds = 5;      // rounds after the list is complete, at that many entries
  int tickMs = 1000;         // the discovery timer
  int timeoutMs = 30000;     // give up listing after this long
  int engineRcvbuf = -1;     // the engine's receiveBufferBytes; -1 = its default, 0 = kernel's
  int replyDelayMs = 0;      // the cameras answer a search this much later
  int replySpreadMs = 0;     // and spread one family's answers over this long
  // 0: requests to 127.0.0.1 (one plain send each). N > 0: requests to the limited broadcast,
  // sent through N adapters that all lead to the LAN on loopback, as adapters on one switch
  // would (every camera hears every request N times and answers each copy).
  int adapters = 0;
};

struct StormResult {
  bool ok = false;
  std::string error;
  int cameras = 0;
  int listed = 0;            // entries when the run ended
  int verified = 0;          // entries found by their MAC with the camera's own address
  int family8WithDdns = 0;   // family-8 entries whose DDNS data arrived
  std::array<int, 10> perFamilyExpected{}, perFamilyListed{};
  // Time from the first search round until every camera is listed (ms); -1 if never.
  double allListedMs = -1;
  std::array<double, 10> familyListedMs{};  // per family; -1 if never
  int roundsToList = 0;      // search rounds sent until then
  double discoveryCpuMs = 0; // owner-thread CPU from the first round until all were listed
  // Steady state at `listed` entries.
  std::vector<double> tickCpuUs;      // CPU of each Tick() (owner thread)
  std::vector<double> tickWallUs;
  double processCpuUs = 0;            // owner-thread CPU in WaitAndProcess during those rounds
  uint64_t steadyMerged = 0;          // records merged during those rounds
  uint64_t steadyDatagrams = 0;       // datagrams read during those rounds (+ family-9 records)
  double family9ThreadsCpuUs = 0;     // the engine's family-9 receive threads, those rounds
  double responderCpuUs = 0;          // the cameras' side, those rounds
  // Losses over the whole run.
  uint64_t repliesSent = 0, repliesReceived = 0;        // to the five discovery sockets
  uint64_t f9Sent = 0, f9Received = 0;                  // family-9 answers
  uint64_t followUpsSent = 0, followUpsReceived = 0;    // family-8 follow-ups (engine -> cameras)
  uint64_t searchesSent = 0, searchesReceived = 0;      // family 2/5/8/9 search requests
  uint64_t kernelDrops = 0;                             // drops the kernel counted on the five sockets
  uint64_t sendErrors = 0;
  uint64_t adapterSends = 0;                            // sends through the adapters (adapters > 0)
  int effectiveRcvbuf = 0;                              // SO_RCVBUF the kernel gave the sockets
  int roundsTotal = 0;
  uint64_t family9Busy = 0;
  // Memory.
  long heapBytesForList = 0;  // heap in use with the list full, minus before the engine started
  long maxRssKiB = 0;

  uint64_t RepliesLost() const {
    return (repliesSent - repliesReceived) + (f9Sent - f9Received);
  }
};

StormResult RunStorm(const StormParams& p);

}  // namespace lanstorm
