// The wizard's page order and navigation decisions, and the scale of its waits.
#include "core/app/time_scale.h"
#include "core/app/wizard.h"

#include <gtest/gtest.h>

#include <string>

namespace kestrova {
namespace {

TEST(WizardSteps, OneChainFromPowerToAccess) {
  // Every step's Back leads to the step before it (the power step to the mode page) and every
  // plain Next to the step after it.
  const auto steps = WizardSteps();
  ASSERT_EQ(steps.size(), 8u);
  EXPECT_EQ(steps.front().Prev, "TfrmSel_Mode");
  for (size_t i = 1; i < steps.size(); ++i) {
    SCOPED_TRACE(std::string(steps[i].ClassName));
    EXPECT_EQ(steps[i].Prev, steps[i - 1].ClassName);
    if (!steps[i - 1].Next.empty()) {
      EXPECT_EQ(steps[i - 1].Next, steps[i].ClassName);
    }
  }
  // The access step starts again at the device selection; only the two last steps count.
  EXPECT_EQ(steps.back().Next, "TfrmEsy_DevList");
  for (const auto& s : steps) {
    const bool counts = s.ClassName == "TfrmEsy_PortForward" || s.ClassName == "TfrmEsy_SelAccess";
    EXPECT_EQ(s.NextCountsCamera, counts) << s.ClassName;
    EXPECT_EQ(s.HasJNext, s.ClassName != "TfrmEsy_PortForward") << s.ClassName;
    EXPECT_EQ("T" + std::string(s.WindowName), s.ClassName);
  }
  // The two steps that decide their Next themselves.
  EXPECT_TRUE(FindWizardStep("TfrmEsy_DevList")->Next.empty());
  EXPECT_TRUE(FindWizardStep("tfrmesy_setip")->Next.empty());
  EXPECT_EQ(FindWizardStep("TfrmAdv_Main"), nullptr);
}

TEST(WizardSelection, ChoosingACameraFillsTheWizardState) {
  struct Case {
    int family;
    const char* password;
    bool toDriver;
  } cases[] = {{2, "", false}, {5, "vemra", false}, {8, "", false}, {9, "", true}};
  for (const auto& c : cases) {
    TDevInfo d;
    d.DevType = c.family;
    d.MAC = "00:1A:2B:3C:4D:5E";
    d.IP = "192.168.1.126";
    const TWizardSelection s = SelectCamera(d, 2);
    EXPECT_EQ(s.SelectedMac, d.MAC);
    EXPECT_EQ(s.SelectedIp, d.IP);
    EXPECT_EQ(s.CameraUser, "admin");
    EXPECT_EQ(s.CameraPassword, c.password) << c.family;
    EXPECT_EQ(s.CameraNumber, 3);
    EXPECT_FALSE(s.CredentialsChecked);
    EXPECT_EQ(s.HandToFamily9Driver, c.toDriver);
  }
}

TEST(WizardSelection, AddressStepNext) {
  EXPECT_EQ(SetIpNextAction(false, false), TSetIpNext::Stay);
  EXPECT_EQ(SetIpNextAction(false, true), TSetIpNext::Stay);
  EXPECT_EQ(SetIpNextAction(true, false), TSetIpNext::PromptThenMove);
  EXPECT_EQ(SetIpNextAction(true, true), TSetIpNext::Move);
  TDevInfo d;
  d.IP = "192.168.0.5";
  d.HttpPort = 80;
  EXPECT_EQ(CredentialBaseAddress(d), "http://192.168.0.5:80");  // the port always written
}

TEST(TimeScale, TheVariableAndTheRounding) {
  struct Case {
    const char* text;
    double want;
  } cases[] = {{nullptr, 1}, {"", 1},     {"0.05", 0.05}, {"1", 1},    {"1e-2", 0.01}, {"0", 1},
               {"-0.5", 1},  {"2", 1},    {"0,5", 1},     {"0.5x", 1}, {" 0.5", 1},    {"nan", 1},
               {"inf", 1},   {"0.25", 0.25}};
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(ParseTimeScale(c.text), c.want) << (c.text ? c.text : "(none)");

  EXPECT_EQ(ScaleWaitMs(30000, 1.0), 30000);
  EXPECT_EQ(ScaleWaitMs(30000, 0.01), 300);
  EXPECT_EQ(ScaleWaitMs(3000, 0.05), 150);
  EXPECT_EQ(ScaleWaitMs(100, 0.001), 1);  // a pause stays a pause
  EXPECT_EQ(ScaleWaitMs(150, 0.01), 2);   // 1.5 rounds up
  EXPECT_EQ(ScaleWaitMs(0, 0.5), 0);
  EXPECT_EQ(ScaleWaitMs(-5, 0.5), 0);
  EXPECT_EQ(ScaleWaitMs(1000, 7.0), 1000);  // a factor out of range counts as 1
}

}  // namespace
}  // namespace kestrova
