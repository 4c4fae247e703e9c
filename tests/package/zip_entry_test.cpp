#include "package/zip_entry.h"

#include <cstdlib>
#include <new>
#include <random>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

#include "tests/support/allocation_faults.h"
#include "tests/support/test_files.h"

namespace {

using test_support::folderNames;
using test_support::readFile;
using Bytes = std::vector<unsigned char>;

Bytes randomBytes(std::mt19937& rng, size_t size, bool text) {
  Bytes bytes(size);
  for (unsigned char& b : bytes)
    b = static_cast<unsigned char>(text ? "ab <>\r\n"[rng() % 7] : rng());
  return bytes;
}

// Members of every kind: UTF-8 names flagged as such, stored and deflated, text and noise,
// extra fields, comments, attributes, dates and deflate option bits.
zipEntryList randomList(std::mt19937& rng) {
  zipEntryList list;
  if (rng() % 2) list.comment = "archive \xc5\xbe";
  for (int i = 0, count = 1 + static_cast<int>(rng() % 10); i < count; ++i) {
    zipEntry e;
    bool utf8 = rng() % 3 == 0;
    e.name = "d" + std::to_string(i) + (utf8 ? "/\xc5\xbelu\xc5\xa5ou\xc4\x8dk\xc3\xbd" : "/f");
    e.info.flags = (utf8 ? 0x800u : 0u) | static_cast<std::uint32_t>(rng() % 4 * 2);
    e.info.versionMadeBy = static_cast<std::uint32_t>(rng() % 12 << 8 | (10 + rng() % 54));
    e.info.compressionMethod = rng() % 2 ? 8 : 0;
    e.info.year = 1980 + rng() % 100, e.info.month = rng() % 12, e.info.day = 1 + rng() % 28;
    e.info.hour = rng() % 24, e.info.minute = rng() % 60, e.info.second = rng() % 30 * 2;
    e.info.internalAttributes = rng() % 2;
    e.info.externalAttributes = static_cast<std::uint32_t>(rng());
    if (rng() % 2) e.comment = "member " + std::to_string(i);
    if (rng() % 2) e.localExtra = {0xFE, 0xCA, 2, 0, 1, static_cast<unsigned char>(i)};
    if (rng() % 2) e.centralExtra = {0x56, 0x4E, 1, 0, static_cast<unsigned char>(i)};
    const Bytes data = randomBytes(rng, rng() % 6000, rng() % 2);
    e.data.assign(data.begin(), data.end());
    list.appendEntry(e);
  }
  return list;
}

// Every field a write keeps; the flags as written are given.
void expectSame(const zipEntry& a, const zipEntry& b, std::uint32_t flags) {
  SCOPED_TRACE(a.name);
  EXPECT_EQ(b.name, a.name);
  EXPECT_EQ(b.comment, a.comment);
  EXPECT_EQ(b.localExtra, a.localExtra);
  EXPECT_EQ(b.centralExtra, a.centralExtra);
  EXPECT_EQ(b.data, a.data);
  EXPECT_EQ(b.info.flags, flags);
  EXPECT_EQ(b.info.versionMadeBy, a.info.versionMadeBy);
  EXPECT_EQ(b.info.compressionMethod, a.info.compressionMethod);
  EXPECT_EQ(b.info.internalAttributes, a.info.internalAttributes);
  EXPECT_EQ(b.info.externalAttributes, a.info.externalAttributes);
  // DOS dates count seconds in twos.
  EXPECT_EQ(std::make_tuple(b.info.year, b.info.month, b.info.day, b.info.hour, b.info.minute,
                            b.info.second),
            std::make_tuple(a.info.year, a.info.month, a.info.day, a.info.hour, a.info.minute,
                            a.info.second / 2 * 2));
}

class ZipEntryTest : public ::testing::Test {
 protected:
  test_support::TempFolder folder_;
  std::string path_ = folder_ / "a.zip";
};

TEST_F(ZipEntryTest, RandomArchivesComeBackAsWrittenAndEditsKeepTheRest) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    zipEntryList made = randomList(rng);
    ASSERT_EQ(made.writeArchive(path_.c_str()), ZipError::kNone);
    zipEntryList read, again;
    ASSERT_EQ(read.readArchive(path_.c_str()), ZipError::kNone);
    ASSERT_EQ(read.entries.size(), made.entries.size());
    EXPECT_EQ(read.comment, made.comment);
    for (size_t i = 0; i < made.entries.size(); ++i) {
      // Data deflated here is marked "maximum"; stored data keeps its bits as given.
      const zipEntry& m = made.entries[i];
      bool stored = m.info.compressionMethod == 0;
      expectSame(m, read.entries[i], (m.info.flags & 0x800) | (stored ? m.info.flags & 6 : 2));
    }
    // Written again as read, the archive is the same byte for byte.
    std::string first = readFile(path_);
    ASSERT_EQ(read.writeArchive(path_.c_str()), ZipError::kNone);
    EXPECT_EQ(readFile(path_), first);

    // New data for some members and a new member: the others keep their deflated bytes.
    for (size_t i = 0; i < read.entries.size(); ++i) {
      if (rng() % 3) continue;
      Bytes data = randomBytes(rng, rng() % 3000, true);
      read.setEntryData(read.entries[i].name.c_str(), data.data(), data.size());
    }
    Bytes added = randomBytes(rng, 100, true);
    read.setEntryData("new/member", added.data(), added.size());
    ASSERT_EQ(read.writeArchive(path_.c_str()), ZipError::kNone);
    ASSERT_EQ(again.readArchive(path_.c_str()), ZipError::kNone);
    ASSERT_EQ(again.entries.size(), read.entries.size());
    for (size_t i = 0; i < read.entries.size(); ++i) {
      const zipEntry& r = read.entries[i];
      bool anew = r.info.compressionMethod != 0 && r.originalDeflate.empty();
      expectSame(r, again.entries[i], anew ? (r.info.flags & 0x800) | 2 : r.info.flags);
      if (!anew) {
        EXPECT_EQ(again.entries[i].originalDeflate, r.originalDeflate);
      }
    }
    EXPECT_GE(again.entries.back().info.year, 2020u);
  }
}

// Members whose data was released: written as read (same bytes, CRC as checked), found again
// by inflating, left as read by the same data and replaced by other data.
TEST_F(ZipEntryTest, ReleasedDataIsKeptAsReadAndComesBackWhole) {
  for (unsigned seed = 1; seed <= 25; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 rng(seed);
    zipEntryList made = randomList(rng);
    ASSERT_EQ(made.writeArchive(path_.c_str()), ZipError::kNone);
    const std::string first = readFile(path_);
    zipEntryList read, again;
    ASSERT_EQ(read.readArchive(path_.c_str()), ZipError::kNone);
    for (zipEntry& entry : read.entries) read.releaseData(&entry);
    ASSERT_EQ(read.writeArchive(path_.c_str()), ZipError::kNone);
    EXPECT_EQ(readFile(path_), first);
    std::vector<Bytes> kept;
    for (size_t i = 0; i < read.entries.size(); ++i) {
      zipEntry& entry = read.entries[i];
      EXPECT_EQ(entry.dataReleased,
                entry.info.compressionMethod == 8 && !made.entries[i].data.empty());
      Bytes data;
      ASSERT_TRUE(read.findEntryData(entry.name.c_str(), &data));
      EXPECT_EQ(data, Bytes(made.entries[i].data.begin(), made.entries[i].data.end()));
      const bool released = entry.dataReleased;
      const Bytes deflated = entry.originalDeflate;
      if (rng() % 2) {
        read.setEntryData(entry.name.c_str(), data.data(), data.size());
        EXPECT_EQ(entry.dataReleased, released);
        EXPECT_EQ(entry.originalDeflate, deflated);
      } else {
        data.push_back('x');
        read.setEntryData(entry.name.c_str(), data.data(), data.size());
        EXPECT_FALSE(entry.dataReleased);
      }
      kept.push_back(data);
    }
    ASSERT_EQ(read.writeArchive(path_.c_str()), ZipError::kNone);
    ASSERT_EQ(again.readArchive(path_.c_str()), ZipError::kNone);
    ASSERT_EQ(again.entries.size(), kept.size());
    for (size_t i = 0; i < kept.size(); ++i)
      EXPECT_EQ(Bytes(again.entries[i].data.begin(), again.entries[i].data.end()), kept[i]);
  }
}

// A member handed on while the archive is read holds its own bytes, whichever room of an
// earlier member, of this archive or one read before, it was read into.
TEST_F(ZipEntryTest, MembersHandedOnHoldTheirOwnBytesWhateverRoomTheyReuse) {
  std::mt19937 rng(11);
  for (int archive = 0; archive < 20; ++archive) {
    SCOPED_TRACE(archive);
    zipEntryList made;
    for (int i = 0, count = 1 + static_cast<int>(rng() % 6); i < count; ++i) {
      zipEntry e;
      e.name = "m" + std::to_string(i);
      e.info.compressionMethod = rng() % 4 ? 8 : 0;
      // Sizes within twice of each other, so that room is taken over often.
      const Bytes data = randomBytes(rng, 20000 + rng() % 20000, rng() % 2);
      e.data.assign(data.begin(), data.end());
      made.appendEntry(e);
    }
    ASSERT_EQ(made.writeArchive(path_.c_str()), ZipError::kNone);
    zipEntryList read;
    size_t handed = 0;
    ASSERT_EQ(read.readArchive(path_.c_str(), nullptr,
                               [&](zipEntry& entry) {
                                 EXPECT_EQ(entry.data, made.entries[handed++].data);
                                 return true;
                               }),
              ZipError::kNone);
    EXPECT_EQ(handed, made.entries.size());
  }
}

// Memory running out at any allocation of a read or a write: kOutOfMemory, nothing leaked, the
// file as it was and nothing beside it. Each round lets one more allocation succeed.
TEST_F(ZipEntryTest, RunningOutOfMemoryAnywhereFailsCleanly) {
  std::mt19937 rng(3);
  zipEntryList list = randomList(rng);
  ASSERT_EQ(list.writeArchive(path_.c_str()), ZipError::kNone);
  const std::string before = readFile(path_);
  bool read = false, written = false;
  for (long n = 0; !read && n < 100000; ++n) {
    zipEntryList loaded;
    ZipError error;
    {
      test_support::MemoryRunsOutAfter cue(n);
      error = loaded.readArchive(path_.c_str());
    }
    read = error == ZipError::kNone;
    if (!read) {
      ASSERT_EQ(error, ZipError::kOutOfMemory) << n;
      ASSERT_TRUE(loaded.entries.empty()) << n;
    }
  }
  EXPECT_TRUE(read);
  Bytes data = randomBytes(rng, 4000, true);
  list.setEntryData(list.entries[0].name.c_str(), data.data(), data.size());
  for (long n = 0; !written && n < 100000; ++n) {
    ZipError error;
    {
      test_support::MemoryRunsOutAfter cue(n);
      error = list.writeArchive(path_.c_str());
    }
    written = error == ZipError::kNone;
    if (!written) {
      ASSERT_EQ(error, ZipError::kOutOfMemory) << n;
      ASSERT_EQ(readFile(path_), before) << n;
    }
    ASSERT_EQ(folderNames(folder_.path()), std::vector<std::string>{"a.zip"}) << n;
  }
  EXPECT_TRUE(written);
  EXPECT_NE(readFile(path_), before);
}

}  // namespace
