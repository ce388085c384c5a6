// Cameras on 127.0.0.1 for the wireless step's tests and pictures: a web camera of family 2, 8
// or 9 and a CTP camera, each seeing "Home Net" (WPA2-PSK AES), "Odd" (a kind the step cannot
// set) and "Old" (WEP); and showing the step for one of them.
#pragma once

#include <atomic>
#include <string>

#include "gui/wizard/wizard_fixture.h"
#include "integration/ctp_http/fake_ctp.h"
#include "integration/ctp_http/fake_http.h"
#include "net/cgi/device_series.h"
#include "ui/setup/esy_set_wifi.h"

namespace kestrova::testing {

inline bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

inline test::HttpAnswer Answer(int status, std::string body) {
  test::HttpAnswer a;
  a.status = status;
  a.body = std::move(body);
  return a;
}

struct WebWiFiCamera {
  explicit WebWiFiCamera(int fam, std::string ssid = "Old", int encrypt = 1)
      : family(fam), current(std::move(ssid)), encrypt(encrypt) {}
  int family;
  std::string current;  // the network the camera is on
  int encrypt;          // its security code
  std::atomic<int> sets{0};
  test::FakeHttpServer http{[this](const test::HttpRequestSeen& r) {
    const std::string p = r.Path();
    const std::string blank = family == 8 ? " " : "";
    if (p.find("wifi_scan.cgi?") != std::string::npos) return Answer(200, "var result=\"ok\";");
    if (StartsWith(p, "/get_wifi_scan_result.cgi?")) {
      std::string t = "var ap_number=3;\r\n";
      const char* nets[][3] = {{"Home Net", "4", "78"}, {"Odd", "6", "50"}, {"Old", "1", "41"}};
      for (int i = 0; i < 3; ++i) {
        const std::string ix = "[" + std::to_string(i) + "]";
        t += "var ap_ssid" + ix + blank + "=\"" + nets[i][0] + "\";\r\nvar ap_security" + ix + "=" + nets[i][1] +
             ";\r\nvar ap_mode" + ix + "=0;\r\nvar ap_dbm0" + ix + "='" + nets[i][2] + "';\r\n";
      }
      return Answer(200, t);
    }
    if (StartsWith(p, "/get_params.cgi?"))
      return Answer(200, "var wifi_enable=1;\r\nvar wifi_ssid=\"" + current + "\";\r\nvar wifi_encrypt=" +
                       std::to_string(encrypt) + ";\r\nvar wifi_mode=0;\r\nvar wifi_defkey=2;\r\nvar wifi_key3=\"k3\";\r\n"
                       "var wifi_wpa_psk=\"homekey123\";\r\n");
    if (p.find("set_wifi.cgi?") != std::string::npos) {
      ++sets;
      return Answer(200, "rebootme.htm");
    }
    if (p.find("reboot.cgi?") != std::string::npos) return Answer(200, "ok");
    return Answer(404, "not found");
  }};
};

struct CtpWiFiCamera {
  explicit CtpWiFiCamera(std::string ssid = "Home Net") : current(std::move(ssid)) {
    ctp.answer = [this](const std::string& req) {
      const std::string cmd = test::CommandOf(req);
      if (cmd == "iwlist")
        return test::Framed("200 OK", scanEmpty ? std::string("\r\n")
                                                : "Home Net,00:11:22:33:44:55,1,0,2,2,78\r\n"
                                                  "Cafe,00:11:22:33:44:66,0,0,0,0,41\r\n\r\n");
      if (cmd == "cfgwnic" && req.find("-list") != std::string::npos)
        return test::Framed("200 OK", "-enable 1\r\n-ssid " + current +
                                          "\r\n-authmode WPA2PSK\r\n-encryptype AES\r\n-key homekey123\r\n\r\n");
      return test::Framed("200 OK", "\r\n");
    };
  }
  std::string current;
  std::atomic<bool> scanEmpty{false};
  test::FakeCamera ctp;
};

// Chooses the camera as the device step does (the wizard state, the family-9 driver) and shows
// the wireless step, which reads it; the step's countdown is `wait`.
inline TfrmEsy_SetWIFI* ShowWiFiStep(WizardWindow& ww, const TDevInfo& cam, const char* password,
                                     TfrmEsy_SetWIFI::WaitFn wait) {
  ww.Listed(cam);
  SelectedMac = cam.MAC;
  SelectedIp = cam.IP;
  CameraUser = "admin";
  CameraPassword = password;
  if (cam.DevType == 9) DeviceSeries().SetDevice(cam);
  ww.Show("TfrmEsy_DevList");  // the step reads the camera each time it is shown
  auto* page = static_cast<TfrmEsy_SetWIFI*>(ww.Show("TfrmEsy_SetWIFI"));
  page->SetWaitForCamera(std::move(wait));
  return page;
}

}  // namespace kestrova::testing
