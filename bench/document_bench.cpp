// Load, and load plus save, of generated customization files against pugixml parsing and
// saving the same files in the same run; then the growth over files of 1, 4 and 16 times a
// base size. Prints figures only.
//
//   document_bench [base-bytes]   (default 1.5 MB; the largest file is 16 times that)
#include <unistd.h>
#include <pugixml.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/xml_file.h"
#include "document/xml_heap_tuning.h"
#include "document/xml_writer.h"

namespace {

using Clock = std::chrono::steady_clock;

// The writer's text straight into a stream.
class StreamSink : public xmlSink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream) {}
  DocumentError put(const char* data, std::size_t length) override {
    return std::fwrite(data, 1, length, stream_) == length ? DocumentError::kNone
                                                           : DocumentError::kWriteFailed;
  }

 private:
  std::FILE* stream_;
};

template <typename Work>
double bestSeconds(int runs, Work work) {
  double best = 1e30;
  for (int i = 0; i < runs; ++i) {
    Clock::time_point start = Clock::now();
    work();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

long fileSize(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return -1;
  std::fseek(file, 0, SEEK_END);
  long size = std::ftell(file);
  std::fclose(file);
  return size;
}

bool syncFile(const std::string& path) {
  std::FILE* file = std::fopen(path.c_str(), "r+b");
  if (!file) return false;
  bool ok = fsync(fileno(file)) == 0;
  std::fclose(file);
  return ok;
}

struct Figures {
  double load, loadSave, writeOnly, pugiParse, pugiParseSave, pugiParseSaveSync;
};

Figures measure(const std::string& path, const std::string& copy, int runs) {
  Figures f{};
  f.load = bestSeconds(runs, [&] {
    xmlNodeHolder document(loadXmlFile(path.c_str()));
    if (!document) std::abort();
  });
  f.loadSave = bestSeconds(runs, [&] {
    xmlNodeHolder document(loadXmlFile(path.c_str()));
    if (!document || saveXmlFile(copy.c_str(), document.get()) != DocumentError::kNone)
      std::abort();
  });
  // The writer alone, into a plain stream, without the safe replacement's flush to disk.
  f.writeOnly = bestSeconds(runs, [&] {
    xmlNodeHolder document(loadXmlFile(path.c_str()));
    std::FILE* stream = std::fopen(copy.c_str(), "wb");
    if (!document || !stream) std::abort();
    StreamSink sink(stream);
    for (xmlNode* node = document.get(); node; node = node->next) writeNode(node, sink, 0);
    std::fclose(stream);
  });
  auto pugiLoad = [&](pugi::xml_document& document) {
    unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments;
    if (!document.load_file(path.c_str(), options, pugi::encoding_utf8)) std::abort();
  };
  f.pugiParse = bestSeconds(runs, [&] {
    pugi::xml_document document;
    pugiLoad(document);
  });
  f.pugiParseSave = bestSeconds(runs, [&] {
    pugi::xml_document document;
    pugiLoad(document);
    if (!document.save_file(copy.c_str(), "  ")) std::abort();
  });
  f.pugiParseSaveSync = bestSeconds(runs, [&] {
    pugi::xml_document document;
    pugiLoad(document);
    if (!document.save_file(copy.c_str(), "  ") || !syncFile(copy)) std::abort();
  });
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  tuneHeapForDocuments();  // as the program does
  long base = argc > 1 ? std::atol(argv[1]) : 1500000;
  char folderPattern[] = "/tmp/nvx_document_bench_XXXXXX";
  if (!mkdtemp(folderPattern)) return 1;
  const std::string folder = folderPattern;
  const std::string script = std::string(NVX_SOURCE_DIR) + "/tests/fixtures/cui_fixture.py";
  const std::string copy = folder + "/copy.cui";

  std::printf("%-6s %10s %9s %9s %10s %9s %9s %11s %8s %8s\n", "file", "bytes", "load", "load+save",
              "load+write", "pugi", "pugi+save", "pugi+s+sync", "ratio", "ratio(s)");
  double firstLoad = 0, firstLoadSave = 0;
  long firstBytes = 0;
  for (int times : {1, 4, 16}) {
    std::string path = folder + "/x" + std::to_string(times) + ".cui";
    std::string command = "python3 '" + script + "' '" + path +
                          "' --seed 11 --workspaces 20 --bom" + " --crlf --size " +
                          std::to_string(base * times);
    if (std::system(command.c_str()) != 0) return 1;
    long bytes = fileSize(path);
    Figures f = measure(path, copy, times == 16 ? 3 : 5);
    double mb = bytes / 1e6;
    std::printf(
        "%-6s %10ld %6.0fMB/s %6.0fMB/s %7.0fMB/s %6.0fMB/s %6.0fMB/s %8.0fMB/s %8.2f %8.2f\n",
        ("x" + std::to_string(times)).c_str(), bytes, mb / f.load, mb / f.loadSave,
        mb / f.writeOnly, mb / f.pugiParse, mb / f.pugiParseSave, mb / f.pugiParseSaveSync,
        f.loadSave / f.pugiParseSave, f.loadSave / f.pugiParseSaveSync);
    if (times == 1) {
      firstLoad = f.load, firstLoadSave = f.loadSave, firstBytes = bytes;
    } else {
      double sizeGrowth = static_cast<double>(bytes) / firstBytes;
      std::printf("       growth x%-5.1f in size: load x%.1f, load+save x%.1f\n", sizeGrowth,
                  f.load / firstLoad, f.loadSave / firstLoadSave);
    }
    std::remove(path.c_str());
  }
  std::printf(
      "load+write: the writer into a plain stream, without the safe replacement\n"
      "ratio: our load+save (safe: flushed to disk and renamed) / pugixml parse+save;\n"
      "ratio(s): the same against pugixml parse+save+fsync, the same work (goal <= 1.2)\n");
  std::remove(copy.c_str());
  rmdir(folder.c_str());
  return 0;
}
