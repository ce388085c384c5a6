// A raw CTP camera on 127.0.0.1 for the client tests: it records every request byte for byte
// and answers each from a handler.
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "fake_tcp.h"

namespace kestrova::test {

// Reads one CTP request (request line, header block and the body its Content-Length gives).
inline std::string ReadCtpRequest(int fd, std::string& carry) {
  std::string head = ReadUntil(fd, "\r\n\r\n", &carry);
  if (head.empty()) return {};
  size_t p = head.find("Content-Length:");
  if (p == std::string::npos) return head;
  size_t len = std::stoul(head.substr(p + 15));
  return head + ReadN(fd, len, &carry);
}

inline std::string CommandOf(const std::string& req) {
  size_t a = req.find(' '), b = req.find(' ', a + 1);
  return a == std::string::npos || b == std::string::npos ? std::string() : req.substr(a + 1, b - a - 1);
}

inline std::string Framed(const std::string& status, const std::string& body) {
  return "CTP/1.0 " + status + "\r\nContent-Length:" + std::to_string(body.size()) + "\r\n\r\n" + body;
}

// A camera that answers every command from a table and logs what it received.
struct FakeCamera {
  std::mutex mu;
  std::vector<std::string> requests;
  std::function<std::string(const std::string&)> answer;
  FakeTcpServer server{[this](int fd, int) {
    std::string carry;
    for (;;) {
      std::string req = ReadCtpRequest(fd, carry);
      if (req.empty()) return;
      std::string reply;
      {
        std::lock_guard lock(mu);
        requests.push_back(req);
        reply = answer ? answer(req) : Framed("200 OK", "\r\n");
      }
      if (!reply.empty() && !SendAll(fd, reply)) return;
    }
  }};
  std::vector<std::string> Log() {
    std::lock_guard lock(mu);
    return requests;
  }
};

}  // namespace kestrova::test
