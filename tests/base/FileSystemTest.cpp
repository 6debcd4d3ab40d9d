#include "base/FileSystem.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace lorvane {
namespace {

std::vector<std::string> FilesIn(const test::TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
    names.push_back(entry.path().filename().string());
  return names;
}

// A disk that fills before the new file is complete: at once, or part way through a write.
TEST(WholeFileWriting, AFullDiskKeepsTheOldFileWholeAndSaysWhy) {
  const std::string old = "the old file, which must survive\r\n";
  const std::string fresh(64 * 1024, 'n');
  for (unsigned long room : {0ul, 4096ul}) {
    test::TempDir dir;
    dir.Write("Kept.xml", old);
    std::string error;
    bool written;
    {
      test::ScopedFileSizeLimit full(room);
      written = WriteWholeFile(dir.File("Kept.xml"), fresh, error);
    }
    EXPECT_FALSE(written) << "room for " << room;
    EXPECT_EQ(error, "Could not write file " + dir.File("Kept.xml") + ": " + std::strerror(EFBIG));
    EXPECT_EQ(dir.Read("Kept.xml"), old) << "room for " << room;
    EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"Kept.xml"}) << "a temporary file was left behind";
  }
}

TEST(WholeFileWriting, ReplacesTheFileOrSaysWhyItCouldNotBeMade) {
  test::TempDir dir;
  dir.Write("Out.bin", std::string(100, 'o'));
  std::string error = "stale";
  const std::vector<uint8_t> bytes{1, 0, 2};
  ASSERT_TRUE(WriteWholeFile(dir.File("Out.bin"), bytes, error)) << error;
  EXPECT_EQ(error, "");
  EXPECT_EQ(dir.Read("Out.bin"), std::string("\1\0\2", 3));
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"Out.bin"});

  const std::string missing = dir.File("no/such/folder/Out.bin");
  EXPECT_FALSE(WriteWholeFile(missing, "x", error));
  EXPECT_EQ(error, "Could not create file " + missing + ": " + std::strerror(ENOENT));
}

// Two threads saving the same file at once each write a temporary of their own, so the file
// is always one of the two, never a mixture or a truncation.
TEST(WholeFileWriting, WritersOnTwoThreadsNeverMixTheirFiles) {
  test::TempDir dir;
  const std::string a(256 * 1024, 'a'), b(128 * 1024, 'b');
  std::vector<std::string> errors(2);
  for (int round = 0; round < 20; ++round) {
    std::thread one([&] {
      if (!WriteWholeFile(dir.File("Shared"), a, errors[0])) ADD_FAILURE() << errors[0];
    });
    std::thread two([&] {
      if (!WriteWholeFile(dir.File("Shared"), b, errors[1])) ADD_FAILURE() << errors[1];
    });
    one.join();
    two.join();
    const std::string now = dir.Read("Shared");
    ASSERT_TRUE(now == a || now == b) << "round " << round << ": " << now.size() << " bytes";
  }
  EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"Shared"});
}

}  // namespace
}  // namespace lorvane
