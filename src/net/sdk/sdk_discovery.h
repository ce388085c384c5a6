// The closed-SDK search as part of a discovery session: the driver is created from the program
// folder, its search becomes the engine's SDK step (run by Find only), and every report crosses
// to the engine's owner thread with the engine's blocking hand-over, so that the owner merges
// it while the reporting thread waits.
//
// Owner's thread only, like the engine, except the reports. While the owner itself is inside a
// call into the library (search, configuration, stop), a report from another thread is queued
// without waiting: a library that reports while it keeps its caller waiting, or whose stop waits
// for its reporting thread, must not hold both threads for ever. Before such a call, and before
// the driver goes away, reports already waiting are merged (bounded).
#pragma once

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>

#include "core/discovery/dev_info.h"
#include "net/sdk/find_hisi.h"

namespace kestrova {

class DiscoveryEngine;

class TSdkDiscovery {
 public:
  // The library at SdkLibraryPath(ProgramDir()).
  explicit TSdkDiscovery(DiscoveryEngine& engine);
  TSdkDiscovery(DiscoveryEngine& engine, const std::filesystem::path& library);
  // Removes the SDK step, stops the search and unloads the library. The engine must still
  // exist (it may be stopped).
  ~TSdkDiscovery();
  TSdkDiscovery(const TSdkDiscovery&) = delete;
  TSdkDiscovery& operator=(const TSdkDiscovery&) = delete;

  // The library's place: the program folder + kSdkLibraryRelativePath.
  static std::filesystem::path DefaultLibrary();

  bool Loaded() const { return driver_->Loaded(); }
  // The search (the engine calls it in SearchDevices with withSdk); true when the library
  // started it.
  bool Search();
  // The configuration call with the settings record; true when the library reports success.
  bool Configure(const TDevInfo& rec);
  // For runs without an event loop: handles what arrives until the library's search time
  // (3000 ms after the last Search) is over.
  void FinishSearch();

 private:
  // Runs fn as a call into the library (see above).
  template <class Fn>
  auto InLibrary(Fn fn);

  DiscoveryEngine& engine_;
  std::unique_ptr<TFind_Hisi> driver_;
  std::atomic<bool> inLibrary_{false};
  std::chrono::steady_clock::time_point searchEnds_{};
};

}  // namespace kestrova
