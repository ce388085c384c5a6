#include "net/cgi/device_series.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "core/protocols/cgi_requests.h"
#include "core/protocols/setnet_packets.h"
#include "core/protocols/text_util.h"
#include "net/hostnet/send_adapters.h"
#include "net/http/tools.h"
#include "net/sockets/udp_socket.h"

namespace kestrova {

namespace {

constexpr int kUpgradeTimeoutMs = 60000;
// A settings answer ends the wait; other datagrams do not, but a flood of them must not keep
// the caller waiting for ever.
constexpr int kMaxForeignDatagrams = 256;

bool Has(const std::string& s, std::string_view marker) { return s.find(marker) != std::string::npos; }

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

TT517Series::TT517Series(T517NetConfig cfg) : cfg_(std::move(cfg)) {}

TT517Series& DeviceSeries() {
  static TT517Series* instance = new TT517Series;  // lives for the whole run
  return *instance;
}

std::string TT517Series::Base() const {
  if (!device_) return {};
  return CgiBase(device_->IP, device_->HttpPort);
}

THttpReply TT517Series::Get(const std::string& path, int timeoutMs, const std::string& user,
                            const std::string& password) const {
  const std::string base = Base();
  if (base.empty()) return {};  // no camera, or no address a request may go to
  return TTools::HttpGet(base + path, user, password, timeoutMs);
}

void TT517Series::Search(uint16_t port, TDeviceFoundEvent event) {
  if (searchHook_) searchHook_(port, std::move(event));
}

bool TT517Series::SetNetParams(const std::string&, uint16_t, const std::string& user, const std::string& password,
                               const TDevInfo& record, const TDevInfo&) {
  const std::vector<uint8_t> packet = BuildFamily9Set(record, user, password);
  UdpSocket s;
  if (!s.Open() || !s.Bind(cfg_.LocalPort, cfg_.BindAddress) || !s.SetBroadcast(true)) return false;
  AdapterPaths& paths = cfg_.Paths ? *cfg_.Paths : SystemAdapterPaths();
  if (!SendToEveryAdapter(s, paths, cfg_.BroadcastAddress, cfg_.DestPort, packet).Sent()) return false;
  for (int foreign = 0; foreign < kMaxForeignDatagrams;) {
    if (s.WaitReadable(cfg_.AnswerWaitMs) != WaitResult::Readable) return false;
    auto d = s.Receive(kFamily9SetAnswerSize);
    if (!d) continue;  // went away between the wait and the read
    switch (ParseFamily9SetAnswer(d->data)) {
      case Family9SetAnswer::Accepted: return true;
      case Family9SetAnswer::Refused: return false;
      case Family9SetAnswer::NotAnswer: ++foreign; break;  // our own broadcast, other traffic
    }
  }
  return false;
}

bool TT517Series::CheckAuth(const std::string& base, const std::string& user, const std::string& password) {
  if (!ParseCameraBaseUrl(base)) return false;
  auto r = TTools::HttpGet(base + PathGetParams(TrimText(user), TrimText(password)), {}, {}, 5000);
  return r.Ok && !Has(r.Text, "Auth Failed");
}

int TT517Series::ScanWiFi(const std::string& user, const std::string& password, std::vector<TScanItem>& list) {
  list.clear();
  if (!device_) return -1;
  const std::string base = CgiScanBase(device_->IP, device_->HttpPort);
  if (base.empty()) return -1;
  const std::string u = TrimCopy(user), p = TrimCopy(password);
  auto scan = TTools::HttpGet(base + PathWifiScan(u, p), {}, {}, 5000);
  if (!scan.Ok || !Has(scan.Text, "ok")) return -1;
  if (cfg_.ScanResultDelayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(cfg_.ScanResultDelayMs));
  auto res = TTools::HttpGet(base + PathWifiScanResult(u, p), {}, {}, 5000);
  if (!res.Ok || !Has(res.Text, "var")) return -1;
  TScanResult parsed = ParseScanResult(res.Text);
  for (auto& rec : parsed.Records) list.push_back({ScanRecordText(rec), std::move(rec)});
  return parsed.Count;
}

void TT517Series::SetDevice(const TDevInfo& dev) {
  if (device_ && device_->MAC != dev.MAC) {
    wifiStale_ = wifi_ != nullptr;
    factoryStale_ = factory_ != nullptr;
    factoryRead_ = false;
  }
  device_ = dev;
}

TWiFiParams* TT517Series::GetWiFiParams(const std::string& user, const std::string& password) {
  if (wifi_ && !wifiStale_) return wifi_.get();
  // The record keeps its address for the life of the driver; a stale one is read anew in place.
  if (!wifi_) wifi_ = std::make_unique<TWiFiParams>();
  *wifi_ = TWiFiParams{};
  wifiStale_ = false;
  auto r = Get(PathGetParams(TrimText(user), TrimText(password)), 10000);
  if (!r.Ok) return wifi_.get();
  if (!Has(r.Text, "var")) return nullptr;
  *wifi_ = ParseWiFiParams(r.Text);
  return wifi_.get();
}

int TT517Series::SetWiFiParams(const std::string& user, const std::string& password) {
  if (!wifi_ || wifiStale_) return 0;  // nothing read from this camera: nothing to send
  const std::string u = TrimCopy(user), p = TrimCopy(password);
  auto r = Get(PathSetWifi(9, u, p, *wifi_), 10000);
  if (!r.Ok || !Has(r.Text, "reboot")) return 0;
  auto reboot = Get(PathRebootNext(9), 10000, u, p);
  return reboot.Ok ? 1 : 2;
}

TFactoryParams* TT517Series::GetFactoryParams(const std::string& user, const std::string& password, bool useCache) {
  if (factory_ && useCache && !factoryStale_) return factory_.get();
  if (!factory_) factory_ = std::make_unique<TFactoryParams>();
  if (factoryStale_) *factory_ = TFactoryParams{};
  factoryStale_ = false;
  auto r = Get(PathGetFactoryParam(user, password), 5000);
  if (!r.Ok) {
    factory_->Status = 6;
  } else {
    ParseFactoryParams(r.Text, *factory_);
    // Statuses 5 (no "var") and 1 (no index) read no account.
    if (factory_->Status != 5 && factory_->Status != 1) factoryRead_ = true;
  }
  return factory_.get();
}

int TT517Series::SetDDNS(const std::string& user, const std::string& password) {
  if (!factory_ || factoryStale_ || !factoryRead_) return kSetDdnsNoRecord;
  auto r = Get(PathSetDdns(*factory_, user, password), 10000);
  if (!r.Ok) return 2;
  return Has(r.Text, "ok") ? 0 : 1;
}

bool TT517Series::Upgrade(const std::string& base, const std::string& user, const std::string& fileName,
                          const std::string& password, bool htmls) {
  const std::optional<TCameraEndpoint> given = ParseCameraBaseUrl(base);
  if (!given) return false;  // nothing goes to a base that names no camera address
  std::string version, ip;
  if (device_) {
    version = device_->Version;
    ip = device_->IP;
  } else {
    auto r = TTools::HttpGet(base + PathGetStatusU(user, password), {}, {}, 20000);
    if (r.Ok && !r.Text.empty()) version = ReadSysVersion(r.Text);
    ip = given->IP;
  }
  const std::string uploadBase = UpgradeUploadBase(version, base, ip);
  if (uploadBase.empty()) return false;
  const std::string url =
      uploadBase + (htmls ? PathUpgradeHtmls(user, password) : PathUpgradeFirmware(user, password));
  return TTools::HttpPostFile(url, "file", fileName, "application/x-zip-compressed", TrimCopy(user),
                              TrimCopy(password), kUpgradeTimeoutMs);
}

bool TT517Series::UpgradeFirmware(const std::string& base, const std::string& user, const std::string& fileName,
                                  const std::string& password) {
  return Upgrade(base, user, fileName, password, false);
}

bool TT517Series::UpgradeHtmls(const std::string& base, const std::string& user, const std::string& fileName,
                               const std::string& password) {
  return Upgrade(base, user, fileName, password, true);
}

bool TT517Series::SetFactoryParams(const std::string& user, const std::string& password, const std::string& wifiMac,
                                   const TDevInfo& record, const TDevInfo& compared) {
  const std::string u = TrimCopy(user), p = TrimCopy(password);
  auto r = Get(PathSetFactoryParam(u, p, record.MAC, wifiMac), 20000);
  if (!r.Ok) return false;
  const std::string version = device_ ? device_->Version : std::string();
  if (VersionLess(version, "48.2.0.121")) {
    if (compared.IP != record.IP || compared.HttpPort != record.HttpPort)
      return SetNetParams(compared.IP, compared.HttpPort, user, password, record, compared);
    (void)Get(PathRebootL(u, p), 20000);
    return true;
  }
  (void)SetDefault(user, password);
  return true;
}

bool TT517Series::SetDefault(const std::string& user, const std::string& password) {
  auto r = Get(PathSetDefault(TrimText(user), TrimText(password)), 20000);
  return r.Ok && Has(Lower(r.Text), "ok");
}

void TT517Series::GetParams(TDevInfo& dev, const std::string& user, const std::string& password) {
  const std::string u = TrimCopy(user), p = TrimCopy(password);
  auto r = Get(PathGetParamsL(u, p), 20000);
  if (!r.Ok) return;
  ParseDeviceParams(r.Text, dev, user, password);
  auto s = Get(PathGetStatusL(u, p), 20000);
  if (s.Ok) ParseDeviceStatus(s.Text, dev);
}

}  // namespace kestrova
