// kestrova-routersim: the port-forwarding table of a home router, kept by the router and shown
// and changed through its administration pages:
//   GET  /portforward.xml   the table as a PortForwards document
//   POST /portforward.xml   a PortForwards document: the new table; every entry marked
//                           isUpdate 3 or 4 is left out (removed); the answer is the table kept
// Both need the administrator's login (Basic authorization): 401 otherwise. A document that is
// not a table, an entry with a bad address, port or protocol, or more entries than the router
// holds is refused with 400 and the table stays as it was. With --site DIR the files of DIR
// are served under /router/ (the download site of the router list and plug-ins).
//   kestrova-routersim --listen IP:PORT (0: any free port, printed in the ready line) [--user U] [--password P] [--max N] [--table FILE]
//                      [--state FILE] [--site DIR] [--log FILE] [--pidfile FILE]
// --table: initial entries, one a line: name ip public-port private-port protocol valid|invalid
// --state: the table, in that form, written after every change.
#include <arpa/inet.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include <pugixml.hpp>

#include "host_namespace.h"
#include "http_listener.h"

namespace {

const std::string kValid = "\xD3\xD0\xD0\xA7";    // GB2312
const std::string kInvalid = "\xCE\xDE\xD0\xA7";

struct Forward {
  std::string name, ip;
  int pub = 0, pri = 0;
  std::string protocol, status;
  int id = 0;
};

struct Router {
  std::mutex mu;
  std::vector<Forward> table;
  int max = 32;
  int nextId = 1;
  std::string user = "admin", password, stateFile, logFile;
};

std::string Base64(const std::string& in) {
  static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  size_t i = 0;
  for (; i + 2 < in.size(); i += 3) {
    const unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8 | (unsigned char)in[i + 2];
    out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], k[v & 63]};
  }
  if (i + 1 == in.size()) {
    const unsigned v = (unsigned char)in[i] << 16;
    out += {k[v >> 18], k[(v >> 12) & 63], '=', '='};
  } else if (i + 2 == in.size()) {
    const unsigned v = (unsigned char)in[i] << 16 | (unsigned char)in[i + 1] << 8;
    out += {k[v >> 18], k[(v >> 12) & 63], k[(v >> 6) & 63], '='};
  }
  return out;
}

bool IsIPv4(const std::string& s) {
  in_addr a{};
  return inet_pton(AF_INET, s.c_str(), &a) == 1;
}

bool Port(const std::string& s, int& out) {
  if (s.empty() || s.size() > 5 || s.find_first_not_of("0123456789") != std::string::npos) return false;
  out = std::stoi(s);
  return out >= 1 && out <= 65535;
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

std::string Escape(const std::string& v) {
  std::string o;
  for (char c : v) {
    if (c == '&') o += "&amp;";
    else if (c == '<') o += "&lt;";
    else if (c == '>') o += "&gt;";
    else o += c;
  }
  return o;
}

// The table as the router's page gives it (GB2312 like the rest of its pages).
std::string TableXml(const Router& r) {
  std::string x = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<PortForwards Count=\"" +
                  std::to_string(r.table.size()) + "\" MaxCount=\"" + std::to_string(r.max) + "\">\r\n";
  for (const Forward& f : r.table) {
    x += "<Rule><Name>" + Escape(f.name) + "</Name><IP>" + f.ip + "</IP><PubPort>" + std::to_string(f.pub) +
         "</PubPort><PriPort>" + std::to_string(f.pri) + "</PriPort><Protocol>" + f.protocol + "</Protocol><Status>" +
         f.status + "</Status><OrderId>r" + std::to_string(f.id) + "</OrderId><isUpdate>0</isUpdate></Rule>\r\n";
  }
  return x + "</PortForwards>\r\n";
}

void WriteState(const Router& r) {
  if (r.stateFile.empty()) return;
  std::ofstream out(r.stateFile + ".tmp", std::ios::binary);
  for (const Forward& f : r.table)
    out << f.name << ' ' << f.ip << ' ' << f.pub << ' ' << f.pri << ' ' << f.protocol << ' '
        << (f.status == kValid ? "valid" : "invalid") << '\n';
  out.close();
  std::rename((r.stateFile + ".tmp").c_str(), r.stateFile.c_str());
}

void Log(const Router& r, const std::string& line) {
  if (r.logFile.empty()) return;
  std::ofstream(r.logFile, std::ios::app) << line << '\n';
}

// The new table from a posted document; false (and a reason) when the router refuses it.
bool ReadPosted(Router& r, const std::string& body, std::vector<Forward>& out, std::string& why) {
  pugi::xml_document doc;
  if (!doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8)) {
    why = "not XML";
    return false;
  }
  const pugi::xml_node root = doc.child("PortForwards");
  if (!root) {
    why = "no PortForwards";
    return false;
  }
  for (const pugi::xml_node e : root.children()) {
    if (e.type() != pugi::node_element) continue;
    const std::string u = e.child("isUpdate").text().get();
    if (u == "3" || u == "4") continue;
    Forward f;
    f.name = e.child("Name").text().get();
    std::string ip = e.child("IP").text().get();
    std::erase(ip, ' ');
    f.ip = ip;
    f.protocol = Upper(e.child("Protocol").text().get());
    f.status = e.child("Status").text().get();
    if (!IsIPv4(f.ip) || !Port(e.child("PubPort").text().get(), f.pub) || !Port(e.child("PriPort").text().get(), f.pri) ||
        (f.protocol != "TCP" && f.protocol != "UDP" && f.protocol != "TCP+UDP") ||
        (f.status != kValid && f.status != kInvalid)) {
      why = "bad entry " + f.name;
      return false;
    }
    const std::string order = e.child("OrderId").text().get();
    if (order.size() > 1 && order[0] == 'r') f.id = std::atoi(order.c_str() + 1);
    if (f.id <= 0) f.id = r.nextId++;
    out.push_back(std::move(f));
  }
  if (static_cast<int>(out.size()) > r.max) {
    why = "table full";
    return false;
  }
  return true;
}

bool LoadTable(Router& r, const std::string& file) {
  std::ifstream in(file);
  if (!in) return false;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream s(line);
    Forward f;
    std::string pub, pri, st;
    s >> f.name >> f.ip >> pub >> pri >> f.protocol >> st;
    if (!IsIPv4(f.ip) || !Port(pub, f.pub) || !Port(pri, f.pri)) return false;
    f.status = st == "invalid" ? kInvalid : kValid;
    f.id = r.nextId++;
    r.table.push_back(std::move(f));
  }
  return true;
}

void Usage() {
  std::fprintf(stderr,
               "usage: kestrova-routersim --listen IP:PORT [--user U] [--password P] [--max N] [--table FILE]\n"
               "                          [--state FILE] [--site DIR] [--log FILE] [--pidfile FILE]\n");
}

}  // namespace

int main(int argc, char** argv) {
  Router r;
  std::string listen, pidfile, site, table;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (i + 1 >= argc) {
      Usage();
      return 2;
    }
    const std::string v = argv[++i];
    if (a == "--listen") listen = v;
    else if (a == "--user") r.user = v;
    else if (a == "--password") r.password = v;
    else if (a == "--max") r.max = std::atoi(v.c_str());
    else if (a == "--table") table = v;
    else if (a == "--state") r.stateFile = v;
    else if (a == "--site") site = v;
    else if (a == "--log") r.logFile = v;
    else if (a == "--pidfile") pidfile = v;
    else {
      Usage();
      return 2;
    }
  }
  const size_t colon = listen.rfind(':');
  const std::string ip = colon == std::string::npos ? "" : listen.substr(0, colon);
  int port = 0;
  const std::string portText = colon == std::string::npos ? "" : listen.substr(colon + 1);
  if (!IsIPv4(ip) || (portText != "0" && !Port(portText, port)) || r.max < 0) {
    Usage();
    return 2;
  }
  if (kestrova::sim::InHostNamespace() && ip.rfind("127.", 0) != 0) {
    std::fprintf(stderr, "routersim: on the machine's own network only a loopback --listen is allowed\n");
    return 2;
  }
  if (!table.empty() && !LoadTable(r, table)) {
    std::fprintf(stderr, "routersim: cannot read the table %s\n", table.c_str());
    return 2;
  }
  WriteState(r);
  signal(SIGPIPE, SIG_IGN);
  // SIGTERM and SIGINT end the run through sigwait below (the server's threads inherit the mask).
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGTERM);
  sigaddset(&set, SIGINT);
  pthread_sigmask(SIG_BLOCK, &set, nullptr);

  kestrova::sim::HttpListener http;
  auto& svr = http.server();
  const std::string auth = "Basic " + Base64(r.user + ":" + r.password);
  auto allowed = [&](const httplib::Request& req, httplib::Response& res) {
    if (req.get_header_value("Authorization") == auth) return true;
    res.status = 401;
    res.set_header("WWW-Authenticate", "Basic realm=\"router\"");
    res.set_content("login required", "text/plain");
    Log(r, req.method + " " + req.path + " 401");
    return false;
  };
  svr.Get("/portforward.xml", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    std::lock_guard<std::mutex> lock(r.mu);
    res.set_content(TableXml(r), "text/xml");
    Log(r, "GET /portforward.xml 200 " + std::to_string(r.table.size()));
  });
  svr.Post("/portforward.xml", [&](const httplib::Request& req, httplib::Response& res) {
    if (!allowed(req, res)) return;
    std::lock_guard<std::mutex> lock(r.mu);
    std::vector<Forward> next;
    std::string why;
    if (!ReadPosted(r, req.body, next, why)) {
      res.status = 400;
      res.set_content(why, "text/plain");
      Log(r, "POST /portforward.xml 400 " + why);
      return;
    }
    r.table = std::move(next);
    WriteState(r);
    res.set_content(TableXml(r), "text/xml");
    Log(r, "POST /portforward.xml 200 " + std::to_string(r.table.size()));
  });
  if (!site.empty() && !svr.set_mount_point("/router", site)) {
    std::fprintf(stderr, "routersim: cannot serve %s\n", site.c_str());
    return 2;
  }
  svr.set_logger([&](const httplib::Request& req, const httplib::Response& res) {
    if (req.path.rfind("/router/", 0) == 0) Log(r, req.method + " " + req.path + " " + std::to_string(res.status));
  });
  const int bound = http.Listen(ip, port);
  if (bound < 0 || !http.WaitRunning()) {
    std::fprintf(stderr, "routersim: cannot listen on %s\n", listen.c_str());
    return 1;
  }
  if (!pidfile.empty()) std::ofstream(pidfile) << getpid() << "\n";
  std::cout << "routersim: ready on " << ip << ":" << bound << std::endl;
  int sig = 0;
  sigwait(&set, &sig);
  http.Stop();
  return 0;
}
