// The easy-mode wizard's page order and the decisions its navigation takes: which page each
// Back and Next leads to, what choosing a camera puts into the wizard state, and when the
// address step's Next needs the credential prompt.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "core/discovery/dev_info.h"

namespace kestrova {

// One step page: its class and window names, its English caption, the pages its Back and Next
// buttons show (empty: the page decides itself), whether it carries the small Next button, and
// whether its Next counts one more camera (CameraNumber + 1).
struct TWizardStep {
  std::string_view ClassName;
  std::string_view WindowName;
  std::string_view Caption;
  std::string_view Prev;
  std::string_view Next;
  bool HasJNext = true;
  bool NextCountsCamera = false;
};

// The eight steps in their order, from the power step to the access step.
std::span<const TWizardStep> WizardSteps();
// The step of that class (compared case-insensitively), or nullptr.
const TWizardStep* FindWizardStep(std::string_view className);

// What the device-selection step's Next stores for the chosen camera (index: its 0-based
// position in the step's list): its MAC and address, user "admin", the factory password
// "vemra" for a family-5 camera and an empty one otherwise, the credentials not yet checked,
// CameraNumber = index + 1. A family-9 camera is also handed to the family-9 driver.
struct TWizardSelection {
  std::string SelectedMac;
  std::string SelectedIp;
  std::string CameraUser;
  std::string CameraPassword;
  int CameraNumber = 1;
  bool CredentialsChecked = false;
  bool HandToFamily9Driver = false;
};
TWizardSelection SelectCamera(const TDevInfo& dev, int index);

// The address step's Next: without the chosen camera in the device list it stays; with
// unchecked credentials it runs the credential prompt first (and stays when that fails);
// otherwise it moves on to the wireless step.
enum class TSetIpNext { Stay, PromptThenMove, Move };
TSetIpNext SetIpNextAction(bool cameraListed, bool credentialsChecked);

// The base address the credential dialog tests against: "http://" + IP + ":" + HttpPort, the
// port always written (80 included).
std::string CredentialBaseAddress(const TDevInfo& dev);

}  // namespace kestrova
