#include "gui/app/app_fixture.h"

#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "ui/app/global.h"

namespace kestrova::testing {

TempFolders::TempFolders() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "kestrova-gui-XXXXXX").string();
  if (::mkdtemp(tmpl.data())) root_ = tmpl;
  std::filesystem::create_directories(ProgramDir());
  AppPaths p;
  p.programDir = ProgramDir();
  p.userDir = UserDir();
  p.languageDir = root_ / "lang";
  p.runtimeDir = root_ / "run";
  p.programBaseName = "kestrova";
  SetPaths(p);
}

TempFolders::~TempFolders() {
  std::error_code ec;
  std::filesystem::remove_all(root_, ec);
}

void TempFolders::Write(const std::filesystem::path& file, const std::string& text) {
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << text;
}

std::string TempFolders::Read(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

}  // namespace kestrova::testing
