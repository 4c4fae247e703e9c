// Load and save of a large generated package, every part read into a tree and none changed,
// against the zlib work on the same package (inflate every member, deflate it again at level 9)
// measured in the same run. A figure for reference: the goals are those of silent_add_bench and
// document_bench.
//   package_bench [PACKAGE]  (without one, a package of about 4 MB is generated)
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/bench_files.h"
#include "bench/zlib_floor.h"
#include "document/xml_heap_tuning.h"
#include "document/xml_node.h"
#include "package/customization_file.h"

int main(int argc, char** argv) {
  tuneHeapForDocuments();  // as the program does
  char folderPattern[] = "/tmp/nvx_package_bench_XXXXXX";
  if (!mkdtemp(folderPattern)) return 1;
  std::string folder = folderPattern;
  std::string source = argc > 1 ? argv[1] : folder + "/large.cuix";
  if (argc <= 1) {
    std::string command =
        "python3 " NVX_SOURCE_DIR "/tests/fixtures/cuix_fixture.py large " + source + " --mb 4";
    if (std::system(command.c_str()) != 0) return 1;
  }
  std::string work = folder + "/work.cuix";
  const int rounds = 5;
  double floorBest = 1e30, programBest = 1e30;
  FloorRun floor;
  for (int round = 0; round < rounds; ++round) {
    floor = measureZlibFloor(source);
    if (!floor.ok || !copyFile(source, work)) return 1;
    floorBest = std::min(floorBest, floor.seconds);
    auto start = std::chrono::steady_clock::now();
    xmlNodeHolder root(loadDocument(work.c_str()));
    const bool saved = root && !saveDocument(work.c_str(), root.get()).failed();
    double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!saved) {
      std::fprintf(stderr, "load and save failed\n");
      return 1;
    }
    programBest = std::min(programBest, seconds);
  }
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  double uncompressedMb = floor.uncompressedBytes / 1e6;
  double peakMb = usage.ru_maxrss / 1e3;
  std::printf("package: %zu members, %.2f MB uncompressed\n", floor.members, uncompressedMb);
  std::printf("zlib floor (inflate + deflate 9): %.1f ms\n", floorBest * 1e3);
  std::printf("load + save: %.1f ms\n", programBest * 1e3);
  std::printf("ratio: %.2f (for reference)\n", programBest / floorBest);
  std::printf("peak resident set of this process: %.1f MB, %.1f times the uncompressed size\n",
              peakMb, peakMb / uncompressedMb);
  std::remove(work.c_str());
  if (argc <= 1) std::remove(source.c_str());
  rmdir(folder.c_str());
  return 0;
}
