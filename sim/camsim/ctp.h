// The camera side of CTP over TCP: request framing and the commands' answers. Pure functions
// on the camera's live state; the TCP server shell is in tcp_services.*.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config.h"

namespace kestrova::camsim {

struct CtpRequest {
  std::string command;  // e.g. "keepalive"
  std::string body;     // the argument lines (with the closing CR LF)
};

// Takes one request from the front of `buf`: the number of bytes it used when a whole request
// is there, 0 when more bytes are needed, -1 when the bytes are not a CTP request.
long ParseCtpRequest(std::string_view buf, CtpRequest& out);

struct CtpAnswer {
  std::string reply;
  bool reboot = false;  // close every connection and restart after answering
  bool hang = false;    // never answer
  std::string note;
};

CtpAnswer HandleCtp(CameraConfig& cam, const CtpRequest& req);

// ---- upgrade mode (package transfer) -----------------------------------------------------
// After a CTP "exit" the camera takes a package on its next connection: messages
// "TAG n\r\n" + n bytes with TAG one of CMD, FILE, DATA, MD5; each is answered "REPLY ...".

struct UpgradeMessage {
  std::string tag;      // "CMD", "FILE", "DATA", "MD5"
  std::string payload;  // the n bytes after the first line
};

// True when `buf` starts like an upgrade-mode message rather than a CTP request.
bool LooksLikeUpgradeMessage(std::string_view buf);
// As ParseCtpRequest, for upgrade-mode messages.
long ParseUpgradeMessage(std::string_view buf, UpgradeMessage& out);

struct UpgradeSession {
  bool greeted = false;
  bool in_file = false;
  std::string file_name;
  size_t file_size = 0;
  std::string data;       // the file's bytes as received (scrambled)
  int records = 0;        // files and commands accepted
  int messages = 0;       // messages taken on this connection
  struct Kept {
    std::string name, content;
  };
  std::vector<Kept> kept;  // files whose digest matched (unscrambled when the key is known)
};

// The camera's answers ("REPLY OK", "REPLY Continue 1", "REPLY ERROR ...") to one message.
std::vector<std::string> HandleUpgrade(const CameraConfig& cam, UpgradeSession& s,
                                       const UpgradeMessage& m, std::string& note);

// "-name value" lines of a body: the value of the first line for `name` (after the first
// blank, as sent), or nothing.
bool CtpArg(const std::string& body, const std::string& name, std::string& value);

}  // namespace kestrova::camsim
