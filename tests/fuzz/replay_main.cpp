// Replays every file of a corpus folder (or single files) through LLVMFuzzerTestOneInput.
// Built with any compiler, so the corpora run as regression tests under CTest.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int RunFile(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", p.string().c_str());
    return 1;
  }
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return 0;
}

int main(int argc, char** argv) {
  int files = 0, errors = 0;
  for (int i = 1; i < argc; ++i) {
    std::filesystem::path arg(argv[i]);
    if (std::filesystem::is_directory(arg)) {
      for (const auto& e : std::filesystem::recursive_directory_iterator(arg)) {
        if (e.is_regular_file()) { errors += RunFile(e.path()); ++files; }
      }
    } else {
      errors += RunFile(arg);
      ++files;
    }
  }
  std::printf("replayed %d inputs\n", files);
  if (files == 0) {
    std::fprintf(stderr, "empty corpus\n");
    return 1;
  }
  return errors ? 1 : 0;
}
