// The port-mapping window offscreen, against a router played by a plug-in built for these tests
// (table_router_plugin.cpp): the router's table is a file the test writes, and what the window
// wrote back is read from it. The plug-in really runs through the host, in a child process, on
// the window's worker thread.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/i18n/lang.h"
#include "gui/app/qt_test_env.h"
#include "gui/remote/remote_fixture.h"
#include "http_listener.h"
#include "support/child_process.h"
#include "support/proxy_env.h"
#include "ui/app/lang_message_box.h"
#include "ui/i18n/apply_strings.h"
#include "ui/remote/esy_port_forward.h"
#include "ui/router/set_port_forward.h"
#include "ui/setup/ip_edit.h"

namespace kestrova {
namespace {

using testing::FakeRemote;
using testing::PumpUntil;
using testing::TempFolders;
using testing::WizardCamera;
using testing::WizardWindow;
namespace fs = std::filesystem;

const auto* const kQtEnv = ::testing::AddGlobalTestEnvironment(new testing::QtTestEnvironment("gui_router_test"));

const std::string kValid = "\xD3\xD0\xD0\xA7";

QString Msg(const char* key) { return LangText(LoadStr(key)); }

std::string Entry(const std::string& name, const std::string& ip, int pub, const std::string& protocol,
                  const std::string& orderId = "") {
  return "<PortForward><Name>" + name + "</Name><IP>" + ip + "</IP><PubPort>" + std::to_string(pub) +
         "</PubPort><PriPort>" + std::to_string(pub) + "</PriPort><Protocol>" + protocol + "</Protocol><Status>" +
         kValid + "</Status><OrderId>" + orderId + "</OrderId><isUpdate>0</isUpdate></PortForward>";
}
std::string Table(const std::vector<std::string>& entries) {
  std::string x = "<?xml version=\"1.0\" encoding=\"GB2312\"?><PortForwards Count=\"" +
                  std::to_string(entries.size()) + "\" MaxCount=\"32\">";
  for (const auto& e : entries) x += e;
  return x + "</PortForwards>";
}

// Entry 1 has the test plug-in; entry 2 names a path outside Router/ and is not offered; entry
// 3's plug-in is not installed. Only entry 1 has a Chinese name.
const char* kRouterList =
    "[Router]\r\nCount=3\r\nRenName1=Table router\r\nRcnName1=\xE8\xA1\xA8\xE8\xB7\xAF\xE7\x94\xB1\r\n"
    "rpath1=table.so\r\nVersion1=1.0.0.9\r\nRenName2=Elsewhere\r\nrpath2=../elsewhere.so\r\n"
    "RenName3=Not installed\r\nrpath3=missing.so\r\n";

class PortForwardWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::ClearProxyEnvironment();
    SetMessageBoxHook([this](const MessageBoxCall& c) {
      boxes.push_back(c);
      return c.text == Msg("IDS_PORT_USING") || c.text == Msg("IDS_DOWNLOAD_INFO") ? answer : IDOK;
    });
    Open("en");
  }
  void TearDown() override {
    SetMessageBoxHook(nullptr);
    ::unsetenv("KESTROVA_PROGRAM_DIR");
    ::unsetenv("KESTROVA_TEST_ROUTER");
  }

  // A main window in the language, with the router list and the plug-in in its program folder.
  void Open(const char* code) {
    ww.reset();
    ww = std::make_unique<WizardWindow>(code);
    prog = ww->folders.ProgramDir();
    routerDir = ww->folders.Root() / "router-state";
    fs::create_directories(routerDir);
    ::setenv("KESTROVA_PROGRAM_DIR", prog.c_str(), 1);
    ::setenv("KESTROVA_TEST_ROUTER", routerDir.c_str(), 1);
    TempFolders::Write(prog / "Router" / "Router.ini", kRouterList);
    fs::copy_file(TABLE_PLUGIN, prog / "Router" / "table.so", fs::copy_options::overwrite_existing);
  }
  void RouterFile(const char* name, const std::string& text) { TempFolders::Write(routerDir / name, text); }
  std::string RouterFile(const char* name) { return TempFolders::Read(routerDir / name); }

  std::unique_ptr<TfrmPortForward> Window(const std::string& router = "192.168.1.1") {
    auto w = std::make_unique<TfrmPortForward>();
    w->RouterAddress = router;
    return w;
  }
  // Presses OK and waits until the run has ended.
  void Ok(TfrmPortForward& w) {
    w.BitBtn1->click();
    ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }, 20000));
  }
  std::vector<QString> Texts() const {
    std::vector<QString> t;
    for (const auto& b : boxes) t.push_back(b.text);
    return t;
  }
  static QStringList Column(const QTableWidget* g, int c) {
    QStringList l;
    for (int r = 0; r < g->rowCount(); ++r) l << g->item(r, c)->text();
    return l;
  }

  // The camera chosen in the wizard and listed, with its port-forward step shown for routerIp.
  TfrmEsy_PortForward* PortForwardStep(const TDevInfo& cam, const char* routerIp) {
    ww->Listed(cam);
    SelectedMac = cam.MAC;
    SelectedIp = cam.IP;
    auto* page = static_cast<TfrmEsy_PortForward*>(ww->Show("TfrmEsy_PortForward"));
    page->edRouterIP->setText(QString::fromLatin1(routerIp));
    return page;
  }
  // The advanced window with its one listed camera selected.
  void SelectInAdvancedWindow() {
    ww->Show("TfrmAdv_Main");
    auto* list = ww->adv->findChild<QTreeWidget*>(QStringLiteral("ListView"));
    ASSERT_NE(list, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return list->topLevelItemCount() == 1; }, 5000));
    list->setCurrentItem(list->topLevelItem(0));
  }

  std::unique_ptr<WizardWindow> ww;
  fs::path prog, routerDir;
  std::vector<MessageBoxCall> boxes;
  int answer = IDYES;
};

TEST_F(PortForwardWindowTest, CreatedWithTheRoutersOfTheLanguage) {
  auto w = Window();
  EXPECT_EQ(w->windowTitle(), QString::fromUtf8("Port Mapping of Router"));
  ASSERT_EQ(w->cmbRouter->count(), 2);  // the entry outside Router/ is left out
  EXPECT_EQ(w->cmbRouter->itemText(0), "Table router");
  EXPECT_EQ(w->cmbRouter->itemText(1), "Not installed");
  EXPECT_EQ(w->cmbRouter->currentIndex(), 0);
  EXPECT_EQ(w->edtUser->text(), "admin");
  EXPECT_TRUE(w->edtPassword->text().isEmpty());
  EXPECT_EQ(w->edtPassword->echoMode(), QLineEdit::Password);
  EXPECT_EQ(w->dbgRouter->horizontalHeaderItem(2)->text(), "Public Port");

  Open("cn");
  auto cn = Window();
  EXPECT_EQ(cn->windowTitle(), QString::fromUtf8("路由器端口映射"));
  ASSERT_EQ(cn->cmbRouter->count(), 1);
  EXPECT_EQ(cn->cmbRouter->itemText(0), QString::fromUtf8("表路由"));
  EXPECT_EQ(cn->BitBtn1->text(), QString::fromUtf8("确定(&O)"));
  EXPECT_EQ(cn->dbgNeed->horizontalHeaderItem(2)->text(), QString::fromUtf8("外部端口"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(PortForwardWindowTest, ConflictAnsweredNoWritesNothingAndYesReplacesTheOtherDevice) {
  const std::string table =
      Table({Entry("web", "192.168.1.50", 81, "TCP", "7"), Entry("nvr", "192.168.1.70", 8080, "TCP+UDP", "8")});
  RouterFile("table.xml", table);
  auto w = Window();
  w->AddMapping("192.168.1.60", "81", "TCP");
  EXPECT_EQ(Column(w->dbgNeed, 1), QStringList{"192.168.1.60"});
  w->edtPassword->setText("pw");

  answer = IDNO;
  Ok(*w);
  ASSERT_EQ(boxes.size(), 1u);  // the question only
  EXPECT_EQ(boxes[0].text, Msg("IDS_PORT_USING"));
  EXPECT_EQ(boxes[0].caption, Msg("IDS_ERROR"));
  EXPECT_EQ(boxes[0].flags, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(w->LastKey(), "IDS_PORT_USING");
  EXPECT_EQ(RouterFile("table.xml"), table);
  EXPECT_EQ(RouterFile("calls.log"), "GetPortForward|192.168.1.1|admin|pw\n");
  EXPECT_EQ(w->result(), 0);
  // The router's table as read, and the wanted mapping.
  EXPECT_EQ(Column(w->dbgRouter, 1), QStringList({"192.168.1.50", "192.168.1.70"}));
  EXPECT_EQ(Column(w->dbgRouter, 4), QStringList({"TCP", "TCP+UDP"}));
  EXPECT_EQ(Column(w->dbgRouter, 5), QStringList({QString::fromUtf8("有效"), QString::fromUtf8("有效")}));
  EXPECT_EQ(w->dbgNeed->rowCount(), 1);

  // OK again reads the router afresh; Yes replaces the other device's forwarding.
  boxes.clear();
  answer = IDYES;
  Ok(*w);
  EXPECT_EQ(Texts(), (std::vector<QString>{Msg("IDS_PORT_USING"), Msg("IDS_PORTFORWARD_OK")}));
  EXPECT_EQ(boxes[1].caption, Msg("IDS_INFORMATION"));
  EXPECT_EQ(boxes[1].flags, MB_ICONINFORMATION);
  EXPECT_EQ(w->result(), QDialog::Accepted);
  const std::string written = RouterFile("table.xml");
  EXPECT_NE(written.find("<Name>192.168.1.60:81</Name>"), std::string::npos) << written;
  EXPECT_EQ(written.find("192.168.1.50"), std::string::npos) << written;
  EXPECT_NE(written.find("<OrderId>8</OrderId>"), std::string::npos) << written;  // passed through
  EXPECT_EQ(Column(w->dbgRouter, 0), QStringList({"nvr", "192.168.1.60:81"}));
}

TEST_F(PortForwardWindowTest, TheCamerasOwnForwardingIsNotAddedAgain) {
  const std::string table = Table({Entry("cam", "192.168.1.60", 81, "TCP+UDP", "3")});
  RouterFile("table.xml", table);
  auto w = Window();
  w->AddMapping("192.168.1.60", "81", "TCP");
  Ok(*w);
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_PORTFORWARD_OK")});
  EXPECT_EQ(RouterFile("table.xml").find("192.168.1.60:81"), std::string::npos);
  EXPECT_EQ(w->dbgRouter->rowCount(), 1);
}

TEST_F(PortForwardWindowTest, EveryFailureIsItsMessageAndTheWindowStaysOpen) {
  struct Case {
    const char* name;
    std::string file, text;  // a file of the router folder
    const char* key;
  } cases[] = {
      {"login refused", "get_status", "1", "IDS_INVALID_USER"},
      {"wrong router", "get_status", "2", "IDS_SELECT_ROUTER"},
      {"status 5", "get_status", "5", "IDS_GETROUTER_ERROR"},
      {"not a table", "table.xml", "<html>router login</html>", "IDS_GETROUTER_ERROR"},
      {"write: bad data", "set_status", "4", "IDS_DATA_ERROR"},
      {"write: bad parameters", "set_status", "7", "IDS_PARAMETER_ERROR"},
      {"answer lacks the entry", "set_answer", Table({Entry("x", "192.168.1.9", 99, "TCP")}), "IDS_PORTFORWART_ERR"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(routerDir);
    RouterFile(c.file.c_str(), c.text);
    boxes.clear();
    auto w = Window();
    w->AddMapping("192.168.1.60", "81", "TCP");
    Ok(*w);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, Msg(c.key));
    EXPECT_EQ(boxes[0].caption, Msg("IDS_ERROR"));
    EXPECT_EQ(boxes[0].flags, MB_ICONSTOP);
    EXPECT_EQ(w->LastKey(), c.key);
    EXPECT_EQ(w->result(), 0);
    EXPECT_TRUE(w->BitBtn1->isEnabled());
  }
}

TEST_F(PortForwardWindowTest, WhatOkChecksBeforeThePlugIn) {
  {
    auto w = Window();
    w->AddMapping("192.168.1.60", "81", "TCP");
    w->edtUser->clear();
    Ok(*w);
    EXPECT_EQ(w->LastKey(), "IDS_NOUSER");
    EXPECT_EQ(w->focusWidget(), w->edtUser);
  }
  {
    auto w = Window();
    w->AddMapping("192.168.1.60", "81", "TCP");
    w->cmbRouter->setCurrentIndex(1);  // its plug-in is not installed
    Ok(*w);
    EXPECT_EQ(w->LastKey(), "IDS_DLL_NOTFOUND");
  }
  {
    auto w = Window();  // nothing wanted
    Ok(*w);
    EXPECT_EQ(w->LastKey(), "IDS_SELECTPORT_ERROR");
  }
  {
    TempFolders::Write(prog / "Router" / "Router.ini", "[Router]\r\nCount=1\r\nRenName1=Elsewhere\r\nrpath1=/lib/x.so\r\n");
    auto w = Window();
    EXPECT_EQ(w->cmbRouter->count(), 0);
    w->AddMapping("192.168.1.60", "81", "TCP");
    Ok(*w);
    EXPECT_EQ(w->LastKey(), "IDS_SELECTROUTER_ERROR");
    EXPECT_EQ(w->focusWidget(), w->cmbRouter);
  }
  EXPECT_EQ(Texts(), (std::vector<QString>{Msg("IDS_NOUSER"), Msg("IDS_DLL_NOTFOUND"), Msg("IDS_SELECTPORT_ERROR"),
                                           Msg("IDS_SELECTROUTER_ERROR")}));
  EXPECT_FALSE(fs::exists(routerDir / "calls.log"));  // the plug-in was never called
}

TEST_F(PortForwardWindowTest, AMappingOfAnotherDeviceIsRefusedWhenAdded) {
  RouterFile("table.xml", Table({Entry("web", "192.168.1.50", 81, "TCP")}));
  auto w = Window();
  w->AddMapping("192.168.1.60", "81", "TCP");
  answer = IDNO;
  Ok(*w);  // the router's table is now in the window
  boxes.clear();
  w->AddMapping("192.168.1.61", "81", "TCP");
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_INPUT_EXISTS")});
  EXPECT_EQ(w->dbgNeed->rowCount(), 1);
}

TEST_F(PortForwardWindowTest, TheWindowKeepsWorkingWhileThePlugInRuns) {
  RouterFile("delay_ms", "700");
  auto w = Window();
  w->show();
  w->AddMapping("192.168.1.60", "81", "TCP");
  int ticks = 0;
  QTimer timer;
  QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
  timer.start(20);
  w->BitBtn1->click();
  ASSERT_TRUE(w->Busy());
  EXPECT_EQ(w->lblState->text(), Msg("IDS_ROUTER_BUSY"));
  EXPECT_FALSE(w->BitBtn1->isEnabled());
  EXPECT_FALSE(w->cmbRouter->isEnabled());
  w->close();
  w->BitBtn2Click();
  EXPECT_TRUE(w->isVisible());  // not while the plug-in runs
  ASSERT_TRUE(PumpUntil([&] { return !w->Busy(); }, 20000));
  EXPECT_GT(ticks, 5);  // the window thread went on handling events meanwhile
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_PORTFORWARD_OK")});
  EXPECT_TRUE(w->lblState->text().isEmpty());
  EXPECT_FALSE(w->isVisible());
}

TEST_F(PortForwardWindowTest, TheListIsDownloadedWhenMissing) {
  sim::HttpListener site;
  std::string list = kRouterList;
  site.server().Get("/router/Router.txt", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(list, "text/plain");
  });
  const int port = site.Listen("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  ASSERT_TRUE(site.WaitRunning());
  fs::remove(prog / "Router" / "Router.ini");
  TempFolders::Write(prog / "Config.ini", "[Setup]\r\nRouterUrl=http://127.0.0.1:" + std::to_string(port) +
                                              "/router/Router.txt\r\n");
  {
    auto w = Window();
    ASSERT_TRUE(PumpUntil([&] { return !w->Busy(); }, 20000));
    EXPECT_EQ(w->cmbRouter->count(), 2);
    EXPECT_TRUE(boxes.empty());
  }
  fs::remove(prog / "Router" / "Router.ini");
  list.clear();  // an empty body is no list
  {
    auto w = Window();
    ASSERT_TRUE(PumpUntil([&] { return !w->Busy(); }, 20000));
    EXPECT_EQ(w->cmbRouter->count(), 0);
    EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_READROUTER_ERROR")});
    EXPECT_FALSE(fs::exists(prog / "Router" / "Router.ini"));
  }
  site.Stop();
}

TEST_F(PortForwardWindowTest, NewVersionComparesDownloadsAndKeepsTheOldPlugIn) {
  sim::HttpListener site;
  std::string listed = "1.0.0.10";  // below 1.0.0.9 as text
  const std::string fresh = "a newer plug-in";
  site.server().Get("/router/Router.txt", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content("[Router]\r\nCount=1\r\nRenName1=Table router\r\nrpath1=table.so\r\nVersion1=" + listed + "\r\n",
                    "text/plain");
  });
  site.server().Get("/router/table.so", [&](const httplib::Request&, httplib::Response& res) {
    res.set_content(fresh, "application/octet-stream");
  });
  const int port = site.Listen("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  ASSERT_TRUE(site.WaitRunning());
  const std::string base = "http://127.0.0.1:" + std::to_string(port) + "/router/";
  TempFolders::Write(prog / "Config.ini", "[Setup]\r\nRouterUrl=" + base + "Router.txt\r\nDownDllURL=" + base + "\r\n");
  const std::string installed = TempFolders::Read(prog / "Router" / "table.so");
  auto update = [&](TfrmPortForward& w) {
    w.BitBtn3->click();
    EXPECT_TRUE(w.Busy());
    ASSERT_TRUE(PumpUntil([&] { return !w.Busy(); }, 20000));
  };
  auto w = Window();
  update(*w);
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_NO_NewVERSION")});
  EXPECT_EQ(boxes[0].caption, Msg("IDS_INFORMATION"));
  EXPECT_EQ(boxes[0].flags, MB_ICONWARNING);

  listed = "2.0.0.0";
  boxes.clear();
  answer = IDNO;
  update(*w);
  ASSERT_EQ(Texts(), std::vector<QString>{Msg("IDS_DOWNLOAD_INFO")});  // declined: nothing more
  EXPECT_EQ(boxes[0].flags, MB_YESNO | MB_ICONQUESTION);
  EXPECT_EQ(TempFolders::Read(prog / "Router" / "table.so"), installed);

  boxes.clear();
  answer = IDYES;
  update(*w);
  EXPECT_EQ(Texts(), (std::vector<QString>{Msg("IDS_DOWNLOAD_INFO"), Msg("IDS_DOWNLOAD_DLL_OK")}));
  EXPECT_EQ(TempFolders::Read(prog / "Router" / "table.so"), fresh);
  EXPECT_EQ(TempFolders::Read(prog / "Router" / "table.so.old"), installed);
  EXPECT_NE(TempFolders::Read(prog / "Router" / "Router.ini").find("Version1=2.0.0.0"), std::string::npos);
  site.Stop();

  // With no router in the list the command is refused.
  TempFolders::Write(prog / "Router" / "Router.ini", "[Router]\r\nCount=0\r\n");
  boxes.clear();
  auto empty = Window();
  update(*empty);
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_NOROUTER_LIST")});
}

TEST_F(PortForwardWindowTest, TheBuiltInRouterComesFirstAndACarrierGradeNatAddressIsWarnedAbout) {
  // The test plug-in stands in for the built-in one under its name.
  fs::copy_file(TABLE_PLUGIN, prog / "Router" / "automatic.so", fs::copy_options::overwrite_existing);
  std::string table = Table({Entry("nvr", "192.168.1.70", 8000, "TCP")});
  table.replace(table.find(" MaxCount"), 0, " WanAddress=\"100.80.0.9\"");
  RouterFile("table.xml", table);
  auto w = Window();
  ASSERT_EQ(w->cmbRouter->count(), 3);
  EXPECT_EQ(w->cmbRouter->itemText(0), Msg("IDS_ROUTER_AUTOMATIC"));
  EXPECT_EQ(w->Routers()[0].file, "automatic.so");
  w->AddMapping("192.168.1.60", "81", "TCP");
  Ok(*w);
  EXPECT_EQ(Texts(), (std::vector<QString>{Msg("IDS_PORTFORWARD_OK"), Msg("IDS_ROUTER_CGNAT")}));
  EXPECT_EQ(boxes[1].caption, Msg("IDS_WARNING"));
  EXPECT_EQ(boxes[1].flags, MB_ICONWARNING);
  EXPECT_EQ(w->result(), QDialog::Accepted);

  // A public address gives no warning; the built-in plug-in is never offered for download.
  table.replace(table.find("100.80.0.9"), 10, "198.51.100.9");
  RouterFile("table.xml", table);
  boxes.clear();
  auto again = Window();
  again->AddMapping("192.168.1.61", "82", "TCP");
  Ok(*again);
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_PORTFORWARD_OK")});
  boxes.clear();
  auto update = Window();
  update->BitBtn3->click();
  ASSERT_TRUE(PumpUntil([&] { return !update->Busy(); }, 20000));
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_NO_NewVERSION")});
}

// ---- the callers ------------------------------------------------------------------------------

// Runs fn on the port-mapping window once it is shown modally (bounded: a window that never
// comes leaves fn unrun).
void WhenShown(std::function<void(TfrmPortForward&)> fn, int* seen) {
  auto tries = std::make_shared<int>(0);
  auto poll = std::make_shared<std::function<void()>>();
  *poll = [fn, seen, tries, poll] {
    if (auto* w = qobject_cast<TfrmPortForward*>(QApplication::activeModalWidget())) {
      ++*seen;
      fn(*w);
      return;
    }
    if (++*tries < 500) QTimer::singleShot(10, *poll);
  };
  QTimer::singleShot(0, *poll);
}

TEST_F(PortForwardWindowTest, TheWizardStepOpensItWithTheCamerasMappings) {
  FakeRemote fake;
  fake.Answer("/func/getremote.asp?", "0IDS_SERVER_OFFLINE");
  auto* page = PortForwardStep(WizardCamera(8, "001e2f405066", "192.168.0.66", 8080), "192.168.0.254");
  int seen = 0;
  std::string router;
  QStringList ports;
  WhenShown(
      [&](TfrmPortForward& w) {
        router = w.RouterAddress;
        ports = Column(w.dbgNeed, 2);
        w.BitBtn1->click();  // the test plug-in takes the mappings
      },
      &seen);
  const size_t before = fake.Urls().size();
  page->BitBtn1->click();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(router, "192.168.0.254");
  EXPECT_EQ(ports, QStringList({"8080", "554"}));
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_PORTFORWARD_OK")});
  const std::string written = RouterFile("table.xml");
  EXPECT_NE(written.find("<Name>192.168.0.66:8080</Name>"), std::string::npos);
  EXPECT_NE(written.find("<Name>192.168.0.66:554</Name>"), std::string::npos);
  // The OK result re-checks the camera from outside.
  EXPECT_TRUE(PumpUntil([&] { return fake.Urls().size() > before; }));
  PumpUntil([&] { return !page->RunningCheck(); });
}

TEST_F(PortForwardWindowTest, TheAdvancedWindowOpensItForTheSelectedCamera) {
  TDevInfo cam = WizardCamera(2, "MOI0A1B2C3D7", "192.168.0.67", 81);
  cam.Gateway = "192.168.0.253";
  ww->Listed(cam);
  SelectInAdvancedWindow();
  int seen = 0;
  std::string router;
  QStringList ips, ports;
  WhenShown(
      [&](TfrmPortForward& w) {
        router = w.RouterAddress;
        ips = Column(w.dbgNeed, 1);
        ports = Column(w.dbgNeed, 2);
        w.BitBtn2->click();
      },
      &seen);
  ww->adv->findChild<QPushButton*>(QStringLiteral("BtnPortMap"))->click();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(router, "192.168.0.253");
  EXPECT_EQ(ips, QStringList{"192.168.0.67"});
  EXPECT_EQ(ports, QStringList{"81"});
  EXPECT_TRUE(boxes.empty());
  EXPECT_FALSE(fs::exists(routerDir / "calls.log"));
}

// The sample plug-in against the simulated router on loopback, from both callers.
TEST_F(PortForwardWindowTest, BothCallersMapThroughTheSamplePlugInOnTheSimulatedRouter) {
  TempFolders::Write(routerDir / "initial.txt", "web 192.168.0.50 81 81 TCP valid\n");
  testsupport::ChildProcess router;
  ASSERT_TRUE(router.Spawn({ROUTERSIM, "--listen", "127.0.0.1:0", "--password", "rpw", "--table",
                            (routerDir / "initial.txt").string(), "--state", (routerDir / "state.txt").string()}));
  std::string ready;
  ASSERT_TRUE(router.ReadLine(ready, 20000)) << router.Output();
  const std::string port = ready.substr(ready.rfind(':') + 1);
  ASSERT_EQ(ready.rfind("routersim: ready on 127.0.0.1:", 0), 0u) << ready;
  ::setenv("KESTROVA_SAMPLE_ROUTER_PORT", port.c_str(), 1);
  fs::copy_file(SAMPLE_PLUGIN, prog / "Router" / "sample.so", fs::copy_options::overwrite_existing);
  TempFolders::Write(prog / "Router" / "Router.ini", "[Router]\r\nCount=1\r\nRenName1=Sample router\r\nrpath1=sample.so\r\n");

  // The wizard's step: the camera's HTTP and data ports, replacing the web server's forwarding.
  FakeRemote fake;
  fake.Answer("/func/getremote.asp?", "0IDS_SERVER_OFFLINE");
  TDevInfo cam = WizardCamera(8, "001e2f405068", "192.168.0.102", 81);
  cam.Gateway = "127.0.0.1";
  auto* page = PortForwardStep(cam, "127.0.0.1");
  int seen = 0;
  auto ok = [&](TfrmPortForward& w) {
    w.edtPassword->setText("rpw");
    w.BitBtn1->click();
  };
  WhenShown(ok, &seen);
  page->BitBtn1->click();
  EXPECT_EQ(seen, 1);
  EXPECT_EQ(Texts(), (std::vector<QString>{Msg("IDS_PORT_USING"), Msg("IDS_PORTFORWARD_OK")}));
  EXPECT_EQ(TempFolders::Read(routerDir / "state.txt"),
            "192.168.0.102:81 192.168.0.102 81 81 TCP valid\n192.168.0.102:554 192.168.0.102 554 554 TCP valid\n");
  PumpUntil([&] { return !page->RunningCheck(); });

  // The advanced window: the same camera's mappings are there already.
  SelectInAdvancedWindow();
  boxes.clear();
  WhenShown(ok, &seen);
  ww->adv->findChild<QPushButton*>(QStringLiteral("BtnPortMap"))->click();
  EXPECT_EQ(seen, 2);
  EXPECT_EQ(Texts(), std::vector<QString>{Msg("IDS_PORTFORWARD_OK")});
  EXPECT_EQ(TempFolders::Read(routerDir / "state.txt"),
            "192.168.0.102:81 192.168.0.102 81 81 TCP valid\n192.168.0.102:554 192.168.0.102 554 554 TCP valid\n");
  ::unsetenv("KESTROVA_SAMPLE_ROUTER_PORT");
  router.Stop();
}

}  // namespace
}  // namespace kestrova
