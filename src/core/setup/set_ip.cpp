#include "core/setup/set_ip.h"

#include <cctype>
#include <optional>

#include "core/setup/address_rules.h"

namespace kestrova {
namespace {

std::optional<int> HexPiece(std::string_view piece) {
  if (piece.empty()) return std::nullopt;
  int v = 0;
  for (unsigned char c : piece) {
    if (!std::isxdigit(c)) return std::nullopt;
    v = v * 16 + (std::isdigit(c) ? c - '0' : std::tolower(c) - 'a' + 10);
  }
  return v;
}

uint32_t Octets123(uint32_t ip) { return ip & 0xFFFFFF00u; }

}  // namespace

int MacNumber(std::string_view mac, int nowMillis) {
  const long n = static_cast<long>(mac.size());
  for (long start = n - 2; n > 0; start -= 3) {
    const long at = start < 0 ? 0 : start;
    const std::string_view piece = mac.substr(static_cast<size_t>(at), 2);
    if (piece != "00") {
      if (auto v = HexPiece(piece)) return *v;
      break;  // not a hexadecimal number
    }
    if (at == 0) break;
  }
  return nowMillis;
}

TSetIpPlan ConfigureCamera(const TDevInfo& dev, const TSetIpPc& pc, int nowMillis) {
  TSetIpPlan plan;
  const auto pcIp = ParseIPv4(pc.IP);
  if (!pcIp) {
    plan.Kind = TSetIpPlan::NoPcAddress;
    plan.MessageKey = "IDS_NOPCADDR";
    return plan;
  }
  const auto camIp = ParseIPv4(dev.IP);
  if (!camIp) {
    plan.Kind = TSetIpPlan::BadCamera;
    plan.MessageKey = "IDS_CONFIGUR_ERROR";
    return plan;
  }
  const bool sameSubnet = Octets123(*camIp) == Octets123(*pcIp);
  const bool factory = dev.IP == kFactoryAddress;

  // Keep-address case.
  if (!factory && dev.HttpPort != 81 && sameSubnet) {
    if (dev.IPMode == kModeDHCP) {
      plan.Kind = TSetIpPlan::Apply;
      plan.New = dev;
      plan.New.IPMode = kModeStatic;
    }
    return plan;  // CheckOnly for every other mode
  }

  const int r = MacNumber(dev.MAC, nowMillis);
  TDevInfo neu = dev;
  if (factory || !sameSubnet) {
    const uint32_t h = *camIp & 0xFFu;
    uint32_t last = h + static_cast<uint32_t>(r);
    if (last >= 256) last %= 255;
    const uint32_t ip = Octets123(*pcIp) | last;
    const auto mask = ParseIPv4(pc.NetMask);
    const bool usable = mask && *mask != 0 && IsContiguousMask(*mask) ? IsHostInSubnet(ip, *pcIp, *mask)
                                                                      : last != 0 && last != 255;
    if (!usable) {
      plan.Kind = TSetIpPlan::Unusable;
      plan.MessageKey = "IDS_AUTOIPINVALID";
      plan.MessageArg = FormatIPv4(ip);
      return plan;
    }
    neu.IP = FormatIPv4(ip);
  }
  if (dev.HttpPort == 81) neu.HttpPort = static_cast<uint16_t>(1081 + r);
  neu.IPMode = kModeStatic;
  neu.DataPort = static_cast<uint16_t>(dev.DataPort + 2000 + r);
  neu.Gateway = pc.Gateway;
  neu.DNS1 = std::string(kSettingsDNS1);
  neu.DNS2 = std::string(kSettingsDNS2);
  plan.Kind = TSetIpPlan::Apply;
  plan.New = std::move(neu);
  return plan;
}

TSetIpResult RunSetIp(const TDevInfo& dev, const TSetIpPc& pc, int nowMillis, const TSetIpIo& io,
                      const TSetIpWaits& waits) {
  TSetIpResult res;
  res.Plan = ConfigureCamera(dev, pc, nowMillis);
  switch (res.Plan.Kind) {
    case TSetIpPlan::CheckOnly:
      res.Status = TSetIpResult::Found;
      res.Device = dev;
      return res;
    case TSetIpPlan::NoPcAddress:
    case TSetIpPlan::BadCamera:
    case TSetIpPlan::Unusable:
      res.Status = TSetIpResult::NoProposal;
      res.MessageKey = res.Plan.MessageKey;
      res.MessageArg = res.Plan.MessageArg;
      return res;
    case TSetIpPlan::Apply:
      break;
  }
  const TDevInfo& neu = res.Plan.New;
  if (io.OnConfiguring) io.OnConfiguring(res.Plan);

  // Nobody else may answer at an address the camera is about to take; its own address (and the
  // camera itself answering) does not count.
  if (neu.IP != dev.IP && io.Probe) {
    TAutoSetting setting;
    setting.IP = neu.IP;
    if (!AutoSettingProbeVerdict(setting, &dev, io.Probe(neu.IP)).empty()) {
      res.Status = TSetIpResult::InUse;
      res.MessageKey = "IDS_SETIPINUSE";
      res.MessageArg = neu.IP;
      return res;
    }
  }

  if (!io.Apply || !io.Apply(dev, neu)) {
    res.Status = TSetIpResult::ApplyFailed;
    res.MessageKey = "IDS_CONFIGUR_ERROR";
    return res;
  }
  auto pause = [&] { return !io.Pause || io.Pause(waits.PauseMs); };
  for (int i = 0; i < waits.SettlePauses; ++i) {
    if (!pause()) {
      res.Status = TSetIpResult::Abandoned;
      return res;
    }
  }
  for (int i = 0; i < waits.Lookups; ++i) {
    if (io.Listed && io.Listed(neu.IP)) {
      res.Status = TSetIpResult::Found;
      res.Device = neu;
      return res;
    }
    if (!pause()) {
      res.Status = TSetIpResult::Abandoned;
      return res;
    }
  }
  res.Status = TSetIpResult::NotFound;
  res.MessageKey = "IDS_CONFIGUR_ERROR";
  return res;
}

int CardFacingCamera(const std::vector<TNET_CARD>& cards, std::string_view cameraIp, std::string_view routeSource) {
  if (const auto cam = ParseIPv4(cameraIp)) {
    for (size_t i = 0; i < cards.size(); ++i) {
      const auto ip = ParseIPv4(cards[i].IP);
      const auto mask = ParseIPv4(cards[i].NetMask);
      if (ip && mask && *mask != 0 && IsContiguousMask(*mask) && IsHostInSubnet(*cam, *ip, *mask))
        return static_cast<int>(i);
    }
  }
  if (!routeSource.empty()) {
    for (size_t i = 0; i < cards.size(); ++i)
      if (cards[i].IP == routeSource) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace kestrova
