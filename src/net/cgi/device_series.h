// IDeviceSeries, the driver interface of the CGI camera family, and its implementation
// TT517Series. One process-wide instance (DeviceSeries()); tests make their own.
//
// All operations are synchronous, return status values and never throw. They are meant for
// one thread at a time (the window thread); the kept records are not locked.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/discovery/dev_info.h"
#include "core/protocols/cgi_reply.h"
#include "net/http/tools.h"
#include "net/sockets/adapter_paths.h"

namespace kestrova {

// The handler receives the record (a value: it is the handler's from then on).
using TDeviceFoundEvent = std::function<void(TDevInfo)>;

// One network of ScanWiFi with the text the list shows for it.
struct TScanItem {
  std::string Text;  // SSID + "(" + Dbm0 + ")"
  TWiFiRecord Rec;
};

class IDeviceSeries {
 public:
  virtual ~IDeviceSeries() = default;
  // Starts one family-9 search (answers arrive later through the event).
  virtual void Search(uint16_t port, TDeviceFoundEvent event) = 0;
  // Broadcasts the settings packet of record and waits for a camera's answer; true when one
  // accepted it (status 0x8000). address, port and listed are not used.
  virtual bool SetNetParams(const std::string& address, uint16_t port, const std::string& user,
                            const std::string& password, const TDevInfo& record, const TDevInfo& listed) = 0;
  // The current device. The driver keeps a copy of the record, so a record the device list
  // drops later can never dangle here; set it again when the selection changes.
  virtual void SetDevice(const TDevInfo& dev) = 0;
  virtual void ClearDevice() = 0;
  virtual const TDevInfo* GetDevice() const = 0;
  // false without a request when base is not a camera base address (ParseCameraBaseUrl).
  virtual bool CheckAuth(const std::string& base, const std::string& user, const std::string& password) = 0;
  virtual bool SetFactoryParams(const std::string& user, const std::string& password, const std::string& wifiMac,
                                const TDevInfo& record, const TDevInfo& compared) = 0;
  virtual bool SetDefault(const std::string& user, const std::string& password) = 0;
  // Fills list (emptied first); the count of the scan result, or -1 when a request failed.
  virtual int ScanWiFi(const std::string& user, const std::string& password, std::vector<TScanItem>& list) = 0;
  // The kept wireless record: read from the camera on the first call only. nullptr when that
  // read's reply held no "var".
  virtual TWiFiParams* GetWiFiParams(const std::string& user, const std::string& password) = 0;
  // Sends the kept wireless record: 0 not accepted, 1 accepted and restart requested,
  // 2 accepted but the restart request failed.
  virtual int SetWiFiParams(const std::string& user, const std::string& password) = 0;
  virtual TFactoryParams* GetFactoryParams(const std::string& user, const std::string& password, bool useCache) = 0;
  // Sends the factory record as the DDNS account: 0 "ok", 1 other reply, 2 request failed,
  // 3 refused without a request: no factory record was read from the current camera, so there
  // is no account to send (an empty one would wipe the camera's and read as success).
  virtual int SetDDNS(const std::string& user, const std::string& password) = 0;
  // Uploads go only to a camera base address (ParseCameraBaseUrl); false otherwise.
  virtual bool UpgradeFirmware(const std::string& base, const std::string& user, const std::string& fileName,
                               const std::string& password) = 0;
  virtual bool UpgradeHtmls(const std::string& base, const std::string& user, const std::string& fileName,
                            const std::string& password) = 0;
  virtual void GetParams(TDevInfo& dev, const std::string& user, const std::string& password) = 0;
};

// Where the settings packet goes and how long its answer is awaited.
struct T517NetConfig {
  std::string BindAddress;                        // local address ("" = every local address)
  uint16_t LocalPort = 8600;                      // the packet is sent from this local port
  std::string BroadcastAddress = "255.255.255.255";  // a limited broadcast leaves on every adapter
  AdapterPaths* Paths = nullptr;                    // nullptr = the system's
  uint16_t DestPort = 8600;
  int AnswerWaitMs = 30;                          // per wait for the next datagram
  int ScanResultDelayMs = 200;                    // between the scan request and its result
};

class TT517Series : public IDeviceSeries {
 public:
  explicit TT517Series(T517NetConfig cfg = {});

  // The family-9 search is the discovery engine's; it installs itself here so that Search
  // reaches it. Without a hook Search does nothing.
  using SearchHook = std::function<void(uint16_t port, TDeviceFoundEvent event)>;
  void SetSearchHook(SearchHook hook) { searchHook_ = std::move(hook); }
  T517NetConfig& NetConfig() { return cfg_; }

  void Search(uint16_t port, TDeviceFoundEvent event) override;
  bool SetNetParams(const std::string& address, uint16_t port, const std::string& user, const std::string& password,
                    const TDevInfo& record, const TDevInfo& listed) override;
  // A camera other than the current one (another MAC) makes the kept wireless and factory
  // records stale: they are read again on their next use and never sent to the new camera.
  void SetDevice(const TDevInfo& dev) override;
  void ClearDevice() override { device_.reset(); }
  const TDevInfo* GetDevice() const override { return device_ ? &*device_ : nullptr; }
  bool CheckAuth(const std::string& base, const std::string& user, const std::string& password) override;
  bool SetFactoryParams(const std::string& user, const std::string& password, const std::string& wifiMac,
                        const TDevInfo& record, const TDevInfo& compared) override;
  bool SetDefault(const std::string& user, const std::string& password) override;
  int ScanWiFi(const std::string& user, const std::string& password, std::vector<TScanItem>& list) override;
  TWiFiParams* GetWiFiParams(const std::string& user, const std::string& password) override;
  int SetWiFiParams(const std::string& user, const std::string& password) override;
  TFactoryParams* GetFactoryParams(const std::string& user, const std::string& password, bool useCache) override;
  int SetDDNS(const std::string& user, const std::string& password) override;
  bool UpgradeFirmware(const std::string& base, const std::string& user, const std::string& fileName,
                       const std::string& password) override;
  bool UpgradeHtmls(const std::string& base, const std::string& user, const std::string& fileName,
                    const std::string& password) override;
  void GetParams(TDevInfo& dev, const std::string& user, const std::string& password) override;

 private:
  // The current device's base address; empty without a device or when its address is not one
  // a request may go to (then every request of the driver fails without being sent).
  std::string Base() const;
  THttpReply Get(const std::string& path, int timeoutMs, const std::string& user = {},
                 const std::string& password = {}) const;
  bool Upgrade(const std::string& base, const std::string& user, const std::string& fileName,
               const std::string& password, bool htmls);

  T517NetConfig cfg_;
  SearchHook searchHook_;
  std::optional<TDevInfo> device_;
  std::unique_ptr<TWiFiParams> wifi_;
  std::unique_ptr<TFactoryParams> factory_;
  bool wifiStale_ = false;     // wifi_ was read from another camera
  bool factoryStale_ = false;  // factory_ was read from another camera
  bool factoryRead_ = false;   // a read of the current camera gave factory_ its values
};

inline constexpr int kSetDdnsNoRecord = 3;

// The process-wide driver instance.
TT517Series& DeviceSeries();

}  // namespace kestrova
