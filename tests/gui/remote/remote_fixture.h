// The remote-access steps in the wizard's main window, offscreen: a camera chosen by hand, and
// the checks' camera and service answers given by the test (nothing leaves the process). A
// service answer may be held back until the test lets it go, so that a check can be caught
// while it runs.
#pragma once

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gui/wizard/wizard_fixture.h"
#include "ui/remote/check_threads.h"

namespace kestrova::testing {

class FakeRemote {
 public:
  using Reply = std::optional<std::string>;

  FakeRemote() {
    TRemoteCheckIo io;
    io.Ddns = [this](const TDevInfo&, const std::string& user, const std::string& password) {
      remote::TDdnsCheckIo d;
      d.Get = [this](const std::string& url, int ms) { return Get(url, ms); };
      d.FactoryStatus = [this] { return factoryStatus; };
      d.OrayState = [this] { return oray; };
      std::lock_guard<std::mutex> lock(mu_);
      accounts.emplace_back(user, password);
      return d;
    };
    io.ForwardGet = [this](const std::string& url, int ms) { return Get(url, ms); };
    io.Pause = [](int) {};
    io.CameraWrite = [this](const std::string& url, int) {
      std::lock_guard<std::mutex> lock(mu_);
      writes.push_back(url);
      return writeReply;
    };
    SetRemoteCheckIo(std::move(io));
  }
  ~FakeRemote() {
    ReleaseAll();
    SetRemoteCheckIo({});
  }

  // The answer to every request whose URL holds the marker ("getremote", "checkurl" ...).
  void Answer(const std::string& marker, Reply reply) {
    std::lock_guard<std::mutex> lock(mu_);
    answers_[marker] = std::move(reply);
  }
  // From now on requests wait until Release (or ReleaseAll) lets them go, one each.
  void Hold(bool on) {
    std::lock_guard<std::mutex> lock(mu_);
    hold_ = on;
  }
  int Waiting() {
    std::lock_guard<std::mutex> lock(mu_);
    return waiting_;
  }
  void ReleaseAll() {
    std::lock_guard<std::mutex> lock(mu_);
    hold_ = false;
    cv_.notify_all();
  }
  std::vector<std::string> Urls() {
    std::lock_guard<std::mutex> lock(mu_);
    return urls_;
  }

  int32_t factoryStatus = 0;
  std::optional<int32_t> oray;
  Reply writeReply = std::string("var result=\"ok\";");
  std::vector<std::string> writes;
  std::vector<std::pair<std::string, std::string>> accounts;

 private:
  Reply Get(const std::string& url, int) {
    std::unique_lock<std::mutex> lock(mu_);
    urls_.push_back(url);
    if (hold_) {
      ++waiting_;
      cv_.wait(lock, [this] { return !hold_; });
      --waiting_;
    }
    for (const auto& [marker, reply] : answers_) {
      if (url.find(marker) != std::string::npos) return reply;
    }
    return std::nullopt;
  }

  std::mutex mu_;
  std::condition_variable cv_;
  bool hold_ = false;
  int waiting_ = 0;
  std::map<std::string, Reply> answers_;
  std::vector<std::string> urls_;
};

}  // namespace kestrova::testing
