// Memory that runs out anywhere in a profile's update fails that profile cleanly:
// the file as it was, no backup, no new file beside it, and nothing leaked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "package/zip_entry.h"
#include "platform/registry_file.h"
#include "profiles/host_profiles.h"
#include "profiles/menu_file_patch.h"
#include "tests/support/allocation_faults.h"
#include "tests/support/test_files.h"

namespace {

using test_support::folderNames;
using test_support::readFile;
using test_support::writeFile;

const char kProduct[] = "Software\\Test\\Host\\R18\\HOST-1:405";
const char kWorkspaces[] =
    "\xef\xbb\xbf<?xml version=\"1.0\"?>\r\n<WorkspaceRoot><Workspace UID=\"WS_1\"><Name>A</Name>"
    "<WSToolbarRoot><WSToolbar MenuGroup=\"X\" pUID=\"T\" UID=\"WSTU_9\" /></WSToolbarRoot>"
    "</Workspace></WorkspaceRoot>";
const char kHeader[] =
    "<CustSection><Header><CommonConfiguration><CommonItems>"
    "<Revision MajorVersion=\"16\" /></CommonItems></CommonConfiguration>"
    "</Header></CustSection>";

std::string package(const test_support::TempFolder& dir) {
  zipEntryList list;
  const std::pair<const char*, std::string> members[] = {
      {"Header.cui", kHeader}, {"WorkspaceRoot.cui", kWorkspaces}, {"image.bmp", "BM1234"}};
  for (const auto& member : members) {
    zipEntry entry;
    entry.name = member.first;
    entry.info.compressionMethod = 8;
    entry.data.assign(member.second.begin(), member.second.end());
    list.appendEntry(std::move(entry));
  }
  EXPECT_EQ(list.writeArchive((dir / "main.CUIX").c_str()), ZipError::kNone);
  return readFile(dir / "main.CUIX");
}

// Memory runs out after n allocations of an add or a remove, for n = 0, 1, ... until a run
// needs fewer. After a failed run everything is as it was.
void sweep(const std::string& extension, const std::string& original,
           const test_support::TempFolder& dir) {
  const std::string path = dir / ("main" + extension);
  auto registry = platform::RegistryFile::fromText(
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Test\\Host\\"
      "R18\\HOST-1:405\\Profiles\\P\\General Configuration]\r\n\"MenuFile\"=\"" +
      dir.path() + "/main\"\r\n");
  for (ProfileMode mode : {ProfileMode::kAdd, ProfileMode::kRemove}) {
    for (long n = 0;; ++n) {
      writeFile(path, original);
      std::remove(backupPathFor(path).c_str());
      EditRun run;
      const std::string product = kProduct, support = "C:\\S\\Norvex_Express";
      ProfileReport report;
      ProfileResult result;
      {
        test_support::MemoryRunsOutAfter cue(n);
        result = PatchMenuFile(*registry, run, product, support, "P", mode, 0, extension.c_str(),
                               false, &report);
      }
      const bool done = profileResultDone(result);
      if (test_support::allocationCalls <= n) {  // the update needed fewer allocations
        EXPECT_TRUE(done) << extension << (mode == ProfileMode::kAdd ? " add" : " remove");
        break;
      }
      const auto names = folderNames(dir.path());
      if (done) {  // the allocations that failed were ones the update could do without
        EXPECT_EQ(readFile(backupPathFor(path)), original) << n;
        EXPECT_EQ(names.size(), 2u) << n;
        continue;
      }
      // Said as it is, also where it ran out inside a load.
      EXPECT_EQ(result, ProfileResult::kOutOfMemory) << extension << " allocation " << n;
      ASSERT_EQ(readFile(path), original) << extension << " allocation " << n;
      ASSERT_EQ(names, std::vector<std::string>{"main" + extension}) << "allocation " << n;
    }
  }
}

TEST(OutOfMemory, AnyFailingAllocationFailsTheProfileAndLeavesItAsItWas) {
  test_support::TempFolder dir;
  sweep(".CUIX", package(dir), dir);
  std::remove((dir / "main.CUIX").c_str());
  std::string cui = std::string("<?xml version=\"1.0\"?>\r\n<CustSection><Header>") +
                    "<CommonConfiguration><CommonItems /></CommonConfiguration>" +
                    "<WorkspaceRoot><Workspace><Name>A</Name></Workspace></WorkspaceRoot>" +
                    "</Header></CustSection>";
  sweep(".CUI", cui, dir);
}

}  // namespace
