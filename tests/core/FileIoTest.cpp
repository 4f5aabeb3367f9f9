#include "core/FileIo.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "core/Errors.h"
#include "support/TestSupport.h"

namespace {

unsigned ModeOf(const std::string& path) {
  struct stat info {};
  EXPECT_EQ(::stat(path.c_str(), &info), 0);
  return info.st_mode & 07777;
}

size_t FilesIn(const TempDir& dir) {
  return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(dir.Path()), {}));
}

TEST(AtomicFile, AbandonedFileLeavesTheOldOneAndNoLeftovers) {
  TempDir dir;
  const std::string target = dir.File("order.obx");
  WriteFileBytes(target, "old");
  {
    fileio::TAtomicFile file(target);
    fileio::WriteAll(file.Fd(), "new", 3, target);
  }
  EXPECT_EQ(ReadFileBytes(target), "old");
  EXPECT_EQ(FilesIn(dir), 1u);
}

TEST(AtomicFile, ReplacementKeepsThePermissionsOfTheFileItReplaces) {
  TempDir dir;
  const std::string kept = dir.File("kept"), fresh = dir.File("fresh");
  WriteFileBytes(kept, "old");
  ASSERT_EQ(::chmod(kept.c_str(), 0640), 0);
  fileio::WriteFileAtomically(kept, "new", 3, 0600);
  fileio::WriteFileAtomically(fileio::TNativePath{fresh}, "new", 3, 0600);
  EXPECT_EQ(ReadFileBytes(kept), "new");
  EXPECT_EQ(ModeOf(kept), 0640u);
  EXPECT_EQ(ModeOf(fresh), 0600u);
  EXPECT_EQ(FilesIn(dir), 2u);
}

TEST(AtomicFile, AMissingFolderIsTheSystemsError) {
  TempDir dir;
  try {
    fileio::WriteFileAtomically(dir.File("no/such/file"), "x", 1);
    FAIL() << "no error";
  } catch (const EInOutError& error) {
    EXPECT_EQ(error.ErrorCode, ENOENT);
  }
}

} // namespace
