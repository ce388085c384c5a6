// The QApplication of a GUI test run, with every per-user folder (HOME, XDG_*) pointing into a
// private one, so that nothing of a run reaches the real home, and discovery kept off.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace kestrova::testing {

class QtTestEnvironment : public ::testing::Environment {
 public:
  explicit QtTestEnvironment(const char* name) : name_(name) {}
  void SetUp() override {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kestrova-gui-home-XXXXXX").string();
    if (::mkdtemp(tmpl.data())) home_ = tmpl;
    for (const char* var : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"}) {
      std::filesystem::path d = home_ / var;
      std::filesystem::create_directories(d);
      std::filesystem::permissions(d, std::filesystem::perms::owner_all);
      ::setenv(var, d.c_str(), 1);
    }
    // The advanced window never broadcasts from a test.
    ::setenv("KESTROVA_DISCOVERY", "off", 1);
    static int argc = 1;
    static char* argv[] = {const_cast<char*>(name_), nullptr};
    app_ = new QApplication(argc, argv);
  }
  void TearDown() override {
    delete app_;
    app_ = nullptr;
    std::error_code ec;
    std::filesystem::remove_all(home_, ec);
  }

 private:
  const char* name_;
  QApplication* app_ = nullptr;
  std::filesystem::path home_;
};

}  // namespace kestrova::testing
