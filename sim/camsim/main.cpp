// kestrova-camsim: simulated cameras of families 2, 4, 5, 8 and 9 for the tests and the demo.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camsim.h"

namespace {

void Usage() {
  std::fprintf(stderr,
      "usage: kestrova-camsim --config FILE [options]\n"
      "  --config FILE       cameras to simulate (see sim/camsim/README.md)\n"
      "  --bind ADDR         address of the service sockets (default 0.0.0.0; 127.0.0.1 for\n"
      "                      loopback tests: answers go to the sender, no broadcast)\n"
      "  --port fN=PORT      UDP service port of family N (2, 4, 5, 8, 9); 0 = any free port\n"
      "                      (family 4 listens only when a camera of it is configured or\n"
      "                      its port is given)\n"
      "  --port-base B       families 2, 5, 8, 9, 4 on ports B, B+1, B+2, B+3, B+4\n"
      "  --iface IF          add and remove the cameras' addresses on IF (virtual LAN)\n"
      "  --log FILE          log file (default: standard error)\n"
      "  --pidfile FILE      write the process id there\n"
      "  --tcp / --no-tcp    run the cameras' web and CTP servers (default: on in the virtual\n"
      "                      LAN, off on loopback)\n"
      "  --upload-dir DIR    keep uploaded files there (default /tmp/kestrova-camsim-PID)\n"
      "Signals: HUP re-reads the configuration, USR1 logs the cameras' state, TERM/INT stop.\n"
      "Standard output: one 'camsim: udp fN ADDR:PORT' line per service socket, then\n"
      "one 'camsim: tcp CAMERA web|ctp|upload ADDR:PORT' line per TCP server, then\n"
      "'camsim: ready'.\n");
}

bool ParsePortArg(const char* arg, kestrova::camsim::Options& o) {
  // fN=PORT
  if (arg[0] != 'f' && arg[0] != 'F') return false;
  char* end = nullptr;
  long fam = std::strtol(arg + 1, &end, 10);
  if (!end || *end != '=') return false;
  char* pend = nullptr;
  long port = std::strtol(end + 1, &pend, 10);
  if (!pend || *pend || port < 0 || port > 65535) return false;
  if (fam != 2 && fam != 4 && fam != 5 && fam != 8 && fam != 9) return false;
  o.ports[int(fam)] = int(port);
  if (fam == 4) o.open_f4 = true;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  kestrova::camsim::Options o;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "kestrova-camsim: %s needs a value\n", a.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (a == "--config") o.config_path = next();
    else if (a == "--bind") o.bind = next();
    else if (a == "--log") o.log_path = next();
    else if (a == "--iface") o.iface = next();
    else if (a == "--pidfile") o.pidfile = next();
    else if (a == "--upload-dir") o.upload_dir = next();
    else if (a == "--tcp") o.tcp = 1;
    else if (a == "--no-tcp") o.tcp = 0;
    else if (a == "--port") {
      const char* v = next();
      if (!ParsePortArg(v, o)) {
        std::fprintf(stderr, "kestrova-camsim: --port expects fN=PORT with N one of 2, 4, 5, 8, 9\n");
        return 2;
      }
    } else if (a == "--port-base") {
      long b = std::strtol(next(), nullptr, 10);
      if (b <= 0 || b > 65531) {
        std::fprintf(stderr, "kestrova-camsim: --port-base out of range\n");
        return 2;
      }
      o.ports[2] = int(b);
      o.ports[5] = int(b + 1);
      o.ports[8] = int(b + 2);
      o.ports[9] = int(b + 3);
      o.ports[4] = int(b + 4);
    } else if (a == "-h" || a == "--help") {
      Usage();
      return 0;
    } else {
      std::fprintf(stderr, "kestrova-camsim: unknown option %s\n", a.c_str());
      Usage();
      return 2;
    }
  }
  if (o.config_path.empty()) {
    Usage();
    return 2;
  }
  kestrova::camsim::Simulator sim(o);
  if (!sim.Start()) return 1;
  return sim.Run();
}
