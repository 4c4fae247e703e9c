#include "platform/file_read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "tests/support/test_files.h"

using namespace platform;
using namespace test_support;

TEST(FileRead, OnlyRegularFilesAndNeverMoreThanTheLimit) {
  TempFolder dir;
  const std::string file = dir / "main.cui", fifo = dir / "fifo.cui";
  writeFile(file, std::string(200000, 'a') + "end");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  std::string bytes = "stale";
  FileIdentity identity;
  ASSERT_EQ(readRegularFile(file, 200003, &bytes, &identity), FileReadResult::kRead);
  EXPECT_EQ(bytes, std::string(200000, 'a') + "end");
  EXPECT_EQ(identity.size, 200003u);
  EXPECT_EQ(readRegularFile(file, 200002, &bytes), FileReadResult::kTooLarge);
  EXPECT_TRUE(bytes.empty());
  // A FIFO without a writer would block an ordinary open for ever.
  EXPECT_EQ(readRegularFile(fifo, 100, &bytes), FileReadResult::kNotRegular);
  EXPECT_EQ(readFileIdentity(fifo, &identity), FileReadResult::kNotRegular);
  EXPECT_EQ(readRegularFile(dir.path(), 100, &bytes), FileReadResult::kNotRegular);
  EXPECT_EQ(readRegularFile("/dev/zero", 100, &bytes), FileReadResult::kNotRegular);
  EXPECT_EQ(readRegularFile(dir / "missing", 100, &bytes), FileReadResult::kMissing);
  EXPECT_EQ(readRegularFile(file + "/below", 100, &bytes), FileReadResult::kMissing);

  size_t pieces = 0, total = 0;
  EXPECT_EQ(readRegularFileInPieces(file, kNoSizeLimit,
                                    [&](const char*, std::size_t size) {
                                      ++pieces;
                                      total += size;
                                      return pieces < 2;
                                    }),
            FileReadResult::kFailed);
  EXPECT_EQ(pieces, 2u);
  EXPECT_LE(total, size_t{2} << 16);
}

// While a file is pinned its path reads that file, whatever the name leads to by now; once it
// is closed the name is opened again.
TEST(FileRead, APinnedFileIsReadInsteadOfItsName) {
  TempFolder dir;
  const std::string file = dir / "main.cui";
  writeFile(file, "opened");
  std::string bytes;
  FileIdentity identity;
  {
    OpenedFile opened;
    ASSERT_EQ(opened.open(file), FileReadResult::kRead);
    opened.pin();
    ASSERT_EQ(std::rename(file.c_str(), (dir / "moved.cui").c_str()), 0);
    writeFile(file, "planted");
    ASSERT_EQ(readRegularFile(file, 100, &bytes, &identity), FileReadResult::kRead);
    EXPECT_EQ(bytes, "opened");
    EXPECT_EQ(identity, opened.identity());
    EXPECT_EQ(readRegularFile(file, 5, &bytes), FileReadResult::kTooLarge);
  }
  ASSERT_EQ(readRegularFile(file, 100, &bytes), FileReadResult::kRead);
  EXPECT_EQ(bytes, "planted");
}

TEST(FileRead, AbsolutePaths) {
  EXPECT_TRUE(isAbsolutePath("/home/jana/main.cuix"));
  for (const char* relative : {"", "main.cuix", "./main.cuix", "C:\\main.cuix", "%APPDATA%/x"})
    EXPECT_FALSE(isAbsolutePath(relative)) << relative;
}
