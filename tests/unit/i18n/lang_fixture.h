// A language folder with hand-written files, made the current location for one test.
#pragma once

#include <gtest/gtest.h>

#include "core/i18n/lang.h"
#include "unit/settings/temp_dir.h"

namespace kestrova::test {

class LangFolder : public ::testing::Test {
 protected:
  TempDir tmp;

  void SetUp() override {
    SetLanguageLocation(tmp.path(), "kestrova");
    SetCurrentLanguage("en");
  }
  void TearDown() override {
    SetCurrentLanguage("en");
    SetLanguageLocation({}, "kestrova");
  }
  void Write(const std::string& code, const std::string& text) {
    // Through a temporary and a rename, as a reader may have the old file open.
    std::filesystem::path target = tmp / ("kestrova.l" + code);
    std::filesystem::path part = tmp / ("part.l" + code);
    WriteBytes(part, text);
    std::filesystem::rename(part, target);
  }
};

}  // namespace kestrova::test
