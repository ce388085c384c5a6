#include "sim_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

namespace camsim_test {

SimProcess::SimProcess() {
  char tmpl[] = "/tmp/camsim-test-XXXXXX";
  char* d = mkdtemp(tmpl);
  dir_ = d ? d : "/tmp";
  config_path_ = dir_ + "/cams.conf";
  log_path_ = dir_ + "/camsim.log";
}

SimProcess::~SimProcess() {
  Stop();
  std::error_code ec;
  std::filesystem::remove_all(dir_, ec);
}

void SimProcess::Rewrite(const std::string& config) {
  std::ofstream f(config_path_, std::ios::binary | std::ios::trunc);
  f << config;
}

bool SimProcess::ReadLine(std::string& line, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    auto nl = buffer_.find('\n');
    if (nl != std::string::npos) {
      line = buffer_.substr(0, nl);
      buffer_.erase(0, nl + 1);
      return true;
    }
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) return false;
    pollfd p{out_fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return false;
    char buf[4096];
    ssize_t n = read(out_fd_, buf, sizeof buf);
    if (n <= 0) return false;
    buffer_.append(buf, size_t(n));
    output.append(buf, size_t(n));
  }
}

static pid_t Spawn(const std::vector<std::string>& args, int& out_fd) {
  int pipefd[2];
  if (pipe2(pipefd, O_CLOEXEC) != 0) return -1;
  pid_t pid = fork();
  if (pid == 0) {
    dup2(pipefd[1], 1);
    dup2(pipefd[1], 2);
    std::vector<char*> argv;
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  close(pipefd[1]);
  out_fd = pipefd[0];
  return pid;
}

bool SimProcess::Start(const std::string& config, const std::vector<std::string>& extra) {
  Rewrite(config);
  std::vector<std::string> args = {KESTROVA_CAMSIM_EXE, "--config", config_path_, "--bind",
                                   "127.0.0.1", "--log", log_path_, "--upload-dir", UploadDir()};
  for (int f : {2, 4, 5, 8, 9}) {
    args.push_back("--port");
    args.push_back("f" + std::to_string(f) + "=0");
  }
  args.insert(args.end(), extra.begin(), extra.end());
  return StartCommand(args);
}

bool SimProcess::StartCommand(const std::vector<std::string>& args) {
  pid_ = Spawn(args, out_fd_);
  if (pid_ < 0) return false;
  std::string line;
  while (ReadLine(line, 10000)) {
    unsigned fam = 0, port = 0;
    char ip[64];
    if (std::sscanf(line.c_str(), "camsim: udp f%u %63[^:]:%u", &fam, ip, &port) == 3)
      ports_[int(fam)] = uint16_t(port);
    char cam[64], svc[16];
    if (std::sscanf(line.c_str(), "camsim: tcp %63s %15s %63[^:]:%u", cam, svc, ip, &port) == 4)
      tcp_ports_[std::string(cam) + "/" + svc] = uint16_t(port);
    // Families 2, 5, 8 and 9 always; family 4 when asked for or configured.
    if (line == "camsim: ready") return ports_.size() >= 4;
    if (line.rfind("kestrova-camsim:", 0) == 0) return false;
  }
  return false;
}

int SimProcess::RunToEnd(const std::vector<std::string>& args) {
  std::vector<std::string> full = {KESTROVA_CAMSIM_EXE};
  full.insert(full.end(), args.begin(), args.end());
  pid_ = Spawn(full, out_fd_);
  std::string line;
  while (ReadLine(line, 10000)) {
  }
  int status = 0;
  waitpid(pid_, &status, 0);
  pid_ = -1;
  close(out_fd_);
  out_fd_ = -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void SimProcess::Signal(int sig) {
  if (pid_ > 0) kill(pid_, sig);
}

void SimProcess::Stop() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
  }
  if (out_fd_ >= 0) close(out_fd_);
  out_fd_ = -1;
}

std::string SimProcess::LogText() const {
  std::ifstream f(log_path_);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

bool WaitForLog(const SimProcess& sim, const std::string& text, int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < deadline) {
    if (sim.LogText().find(text) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // polling a file, not a race
  }
  return false;
}

Peer::Peer() {
  fd_ = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
}

Peer::~Peer() { close(fd_); }

void Peer::SendTo(uint16_t port, const Bytes& b) {
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sendto(fd_, b.data(), b.size(), 0, reinterpret_cast<sockaddr*>(&a), sizeof a);
}

std::optional<Bytes> Peer::Receive(int timeout_ms) {
  pollfd p{fd_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return std::nullopt;
  Bytes b(65536);
  ssize_t n = recv(fd_, b.data(), b.size(), 0);
  if (n < 0) return std::nullopt;
  b.resize(size_t(n));
  return b;
}

static int ConnectLoopback(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

static bool SendAll(int fd, const std::string& s) {
  size_t off = 0;
  while (off < s.size()) {
    ssize_t n = send(fd, s.data() + off, s.size() - off, MSG_NOSIGNAL);
    if (n <= 0) return false;
    off += size_t(n);
  }
  return true;
}

HttpReply HttpExchange(uint16_t port, const std::string& method, const std::string& target,
                       const std::string& extraHeaders, const std::string& body) {
  HttpReply r;
  int fd = ConnectLoopback(port);
  if (fd < 0) return r;
  std::string req = method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" +
                    extraHeaders;
  if (method == "POST") req += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  req += "\r\n" + body;
  SendAll(fd, req);
  std::string all;
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 10000) <= 0) break;
    char buf[8192];
    ssize_t n = recv(fd, buf, sizeof buf, 0);
    if (n <= 0) break;
    all.append(buf, size_t(n));
  }
  close(fd);
  auto sep = all.find("\r\n\r\n");
  if (all.compare(0, 9, "HTTP/1.1 ") != 0 || sep == std::string::npos) return r;
  r.ok = true;
  r.status = std::atoi(all.c_str() + 9);
  r.headers = all.substr(0, sep + 2);
  r.body = all.substr(sep + 4);
  return r;
}

TcpConn::TcpConn(uint16_t port) : fd_(ConnectLoopback(port)) {}
TcpConn::~TcpConn() {
  if (fd_ >= 0) close(fd_);
}
void TcpConn::Send(const std::string& s) { SendAll(fd_, s); }

std::string TcpConn::ReadReply(int timeout_ms) {
  // A CTP reply is whole when its body holds Content-Length bytes.
  std::string all;
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    auto sep = all.find("\r\n\r\n");
    auto cl = all.find("Content-Length:");
    if (sep != std::string::npos && cl != std::string::npos && cl < sep) {
      size_t len = std::strtoul(all.c_str() + cl + 15, nullptr, 10);
      if (all.size() >= sep + 4 + len) return all;
    }
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) return all;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return all;
    char buf[4096];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return all;
    all.append(buf, size_t(n));
  }
}

std::string TcpConn::ReadLine(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    auto nl = pending_.find("\r\n");
    if (nl != std::string::npos) {
      std::string line = pending_.substr(0, nl + 2);
      pending_.erase(0, nl + 2);
      return line;
    }
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) return std::exchange(pending_, std::string());
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return std::exchange(pending_, std::string());
    char buf[4096];
    ssize_t n = recv(fd_, buf, sizeof buf, 0);
    if (n <= 0) return std::exchange(pending_, std::string());
    pending_.append(buf, size_t(n));
  }
}

bool TcpConn::WaitClosed(int timeout_ms) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    int left = int(std::chrono::duration_cast<std::chrono::milliseconds>(
                       deadline - std::chrono::steady_clock::now()).count());
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) return false;
    char buf[256];
    if (recv(fd_, buf, sizeof buf, 0) <= 0) return true;
  }
}

bool ConnectRefused(uint16_t port) {
  int fd = ConnectLoopback(port);
  if (fd < 0) return true;
  close(fd);
  return false;
}

}  // namespace camsim_test
