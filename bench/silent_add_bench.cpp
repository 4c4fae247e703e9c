// The whole silent add over three profiles of a .cuix host, each with a large generated
// package, against the zlib floor of the same three packages measured in the same run.
//   silent_add_bench [megabytes-per-package]  (default 4)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "app/norvex_express_app.h"
#include "bench/bench_files.h"
#include "bench/zlib_floor.h"
#include "platform/heap_tuning.h"
#include "platform/registry_file.h"
#include "tests/support/registry_text.h"

namespace {

constexpr int kProfiles = 3;
constexpr int kRounds = 5;
const std::string kProduct = "Software\\Bench\\Host LT\\R20.1\\HOSTLT-9001:405";

using test_support::registryEscaped;

std::string registryText(const std::vector<std::string>& menuFiles, const std::string& roaming) {
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  text += "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Norvex Studio\\Norvex Express]\r\n";
  text += "\"AcadPathReg\"=\"" + registryEscaped(kProduct) + "\"\r\n\"AcadPlatform\"=\"1\"\r\n\r\n";
  const std::string base = "HKEY_CURRENT_USER\\" + kProduct;  // key paths are not escaped
  text += "[" + base + "]\r\n\"RoamableRootFolder\"=\"" + registryEscaped(roaming) + "\"\r\n\r\n";
  for (std::size_t i = 0; i < menuFiles.size(); ++i) {
    text += "[" + base + "\\Profiles\\Profile " + std::to_string(i + 1) +
            "\\General Configuration]\r\n\"MenuFile\"=\"" + registryEscaped(menuFiles[i]) +
            "\"\r\n\r\n";
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  platform::tuneHeapForDocuments();  // as the program does
  int megabytes = argc > 1 ? std::atoi(argv[1]) : 4;
  if (megabytes < 3) megabytes = 3;
  char folderPattern[] = "/tmp/nvx_silent_add_bench_XXXXXX";
  if (!mkdtemp(folderPattern)) return 1;
  std::string folder = folderPattern;
  std::vector<std::string> originals, work;
  for (int i = 0; i < kProfiles; ++i) {
    originals.push_back(folder + "/original" + std::to_string(i + 1) + ".cuix");
    work.push_back(folder + "/profile" + std::to_string(i + 1) + ".cuix");
    std::string command = "python3 " NVX_SOURCE_DIR "/tests/fixtures/cuix_fixture.py large " +
                          originals.back() + " --mb " + std::to_string(megabytes) + " --seed " +
                          std::to_string(7 + i);
    if (std::system(command.c_str()) != 0) return 1;
  }
  std::string text = registryText(work, folder);

  double floorBest = 1e30, addBest = 1e30;
  std::uint64_t uncompressed = 0;
  for (int round = 0; round < kRounds; ++round) {
    double floorSeconds = 0;
    uncompressed = 0;
    for (const std::string& original : originals) {
      ZlibFloor floor = measureZlibFloor(original);
      if (!floor.ok) return 1;
      floorSeconds += floor.seconds;
      uncompressed += floor.uncompressedBytes;
    }
    floorBest = std::min(floorBest, floorSeconds);
    for (int i = 0; i < kProfiles; ++i) {
      std::remove((work[i] + ".norvex-express.bak").c_str());
      if (!copyFile(originals[i], work[i])) return 1;
    }
    CNorvexExpressApp app(platform::RegistryFile::fromText(text));
    auto start = std::chrono::steady_clock::now();
    int code = app.InitInstance("-i");
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (code != kExitUpdated) {
      std::fprintf(stderr, "the silent add exited %d\n", code);
      return 1;
    }
    addBest = std::min(addBest, seconds);
  }
  std::printf("silent add: %d profiles, %.2f MB uncompressed in all\n", kProfiles,
              uncompressed / 1e6);
  std::printf("zlib floor (inflate + deflate 9, every package): %.1f ms\n", floorBest * 1e3);
  std::printf("silent add: %.1f ms\n", addBest * 1e3);
  std::printf("ratio: %.2f (goal <= 1.3)\n", addBest / floorBest);
  for (int i = 0; i < kProfiles; ++i) {
    std::remove(originals[i].c_str());
    std::remove(work[i].c_str());
    std::remove((work[i] + ".norvex-express.bak").c_str());
  }
  rmdir(folder.c_str());
  return 0;
}
