#pragma once
// The firmware upgrade of one camera: which upload its family takes, the file checks before
// it, and the outcome with its message keys. The uploads themselves come in as functions
// (net/upgrade), so the window and kestrova-cli run the same decisions.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kestrova::upgrade {

enum class TUpgradeKind { Firmware, WebPages };

// The camera as the caller knows it; user and password already trimmed.
struct TUpgradeTarget {
  int DevType = -1;
  std::string IP;
  int HttpPort = 80;
  std::string User, Password;
};

// One multipart upload of families 2 and 8: where it goes and how the request looks.
struct TUploadForm {
  std::string Url;
  std::string PartName = "file";
  std::string PartType;
  std::string User, Password;  // Basic credentials (family 8); empty: none
  bool Http11 = true;
  std::string UserAgent;
  std::string AcceptEncoding;
  std::vector<std::string> Headers;  // whole lines
  int TimeoutMs = 60000;
};

// The form of a family-2 or family-8 camera; nullopt for the other families.
std::optional<TUploadForm> UploadForm(int devType, TUpgradeKind kind, const std::string& base,
                                      const std::string& user, const std::string& password);

// What one transfer reports back: done or not, cancelled by the user, and for a failure the
// message key of what went wrong (empty when there is none) with a detail text.
struct TTransferResult {
  bool Ok = false;
  bool Cancelled = false;
  std::string MessageKey;  // e.g. "IDS_CANTCONNECT"
  std::string Detail;      // free text (an HTTP status, the record that was refused ...)
};

struct TUpgradeIo {
  // The first `max` bytes of the file (fewer when it is shorter); nullopt when it cannot be
  // opened or read.
  std::function<std::optional<std::string>(const std::string& path, std::size_t max)> ReadFile;
  std::function<bool(const std::string& path)> FileExists;
  std::function<TTransferResult(const TUploadForm& form, const std::string& path)> PostForm;
  // The package transfer of family 5.
  std::function<TTransferResult(const std::string& path, const TUpgradeTarget& target)> SendPackage;
  // The CGI family driver: UpgradeHtmls for web pages, else UpgradeFirmware.
  std::function<TTransferResult(TUpgradeKind kind, const std::string& base, const std::string& user,
                                const std::string& path, const std::string& password)>
      Driver;
};

enum class TUpgradeStatus {
  Success,      // IDS_UPGRADESUCC
  FileRefused,  // IDS_ERRFILE, nothing was sent
  NoFile,       // family 5: the file does not exist; nothing happens
  Failed,       // IDS_UPGRADEFAIL, with the transfer's message and detail
  Cancelled,    // the user stopped the transfer
};

struct TUpgradeOutcome {
  TUpgradeStatus Status = TUpgradeStatus::Failed;
  std::string MessageKey;  // the message to show
  std::string DetailKey;   // a further message key of the transfer (may be empty)
  std::string Detail;      // free text of the transfer (may be empty)
};

// The largest package read whole for its check.
inline constexpr std::size_t kMaxPackageBytes = 256u << 20;

// Checks the file for the camera's family and kind, then uploads it the family's way.
TUpgradeOutcome RunUpgrade(const TUpgradeTarget& target, TUpgradeKind kind, const std::string& file,
                           const TUpgradeIo& io);

}  // namespace kestrova::upgrade
