#include "core/app/wizard.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace kestrova {
namespace {

constexpr std::array<TWizardStep, 8> kSteps = {{
    {"TfrmLinkSource", "frmLinkSource", "Step 1: To connect power supply", "TfrmSel_Mode", "TfrmEsy_Line"},
    {"TfrmEsy_Line", "frmEsy_Line", "Step 2: Connect the cable", "TfrmLinkSource", "TfrmEsy_DevList"},
    // Next needs a selected camera; the page stores it and shows the address step.
    {"TfrmEsy_DevList", "frmEsy_DevList", "Step 3: Select Camera", "TfrmEsy_Line", ""},
    // Next needs the credential test (SetIpNextAction).
    {"TfrmEsy_SetIP", "frmEsy_SetIP", "Step 4: Setting IP Address", "TfrmEsy_DevList", ""},
    {"TfrmEsy_SetWIFI", "frmEsy_SetWIFI", "Step 5:Set Wireless Lan", "TfrmEsy_SetIP", "TfrmEsy_ChkDDNS"},
    {"TfrmEsy_ChkDDNS", "frmEsy_ChkDDNS", "Step 6: Check DDNS", "TfrmEsy_SetWIFI", "TfrmEsy_PortForward"},
    {"TfrmEsy_PortForward", "frmEsy_PortForward", "Step 7:Port Forwarding", "TfrmEsy_ChkDDNS", "TfrmEsy_SelAccess",
     false, true},
    {"TfrmEsy_SelAccess", "frmEsy_SelAccess", "Step 8:Completion", "TfrmEsy_PortForward", "TfrmEsy_DevList", true,
     true},
}};

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

}  // namespace

std::span<const TWizardStep> WizardSteps() { return kSteps; }

const TWizardStep* FindWizardStep(std::string_view className) {
  for (const TWizardStep& s : kSteps)
    if (EqualNoCase(s.ClassName, className)) return &s;
  return nullptr;
}

TWizardSelection SelectCamera(const TDevInfo& dev, int index) {
  TWizardSelection s;
  s.SelectedMac = dev.MAC;
  s.SelectedIp = dev.IP;
  s.CameraUser = "admin";
  s.CameraPassword = dev.DevType == 5 ? "vemra" : "";
  s.CameraNumber = index + 1;
  s.CredentialsChecked = false;
  s.HandToFamily9Driver = dev.DevType == 9;
  return s;
}

TSetIpNext SetIpNextAction(bool cameraListed, bool credentialsChecked) {
  if (!cameraListed) return TSetIpNext::Stay;
  return credentialsChecked ? TSetIpNext::Move : TSetIpNext::PromptThenMove;
}

std::string CredentialBaseAddress(const TDevInfo& dev) {
  return "http://" + dev.IP + ":" + std::to_string(dev.HttpPort);
}

}  // namespace kestrova
