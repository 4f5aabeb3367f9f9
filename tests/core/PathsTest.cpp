#include <gtest/gtest.h>

#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace {

TEST(JoinPath, AddsASeparatorOnlyWhereNeeded) {
  EXPECT_EQ(JoinPath("", "KARTY.DBF"), "KARTY.DBF");
  EXPECT_EQ(JoinPath("C:", "KARTY.DBF"), "C:KARTY.DBF");
  EXPECT_EQ(JoinPath("C:\\Data\\", "KARTY.DBF"), "C:\\Data\\KARTY.DBF");
  EXPECT_EQ(JoinPath("C:\\Data", "KARTY.DBF"), "C:\\Data\\KARTY.DBF");
  EXPECT_EQ(JoinPath("/home/u/data", "KARTY.DBF"), "/home/u/data/KARTY.DBF");
  EXPECT_EQ(JoinPath("/home/u/data/", "KARTY.DBF"), "/home/u/data/KARTY.DBF");
  EXPECT_EQ(ToNativePath("obr\\a\\b.jpg"), "obr/a/b.jpg");
}

TEST(NativeFileName, GivesTheSystemUtf8WithSlashes) {
  EXPECT_EQ(NativeFileName(Cz("Objednávky\\Žluťoučký kůň.obx")), "Objednávky/Žluťoučký kůň.obx");
}

TEST(FileFolder, FolderPartOfAFileName) {
  EXPECT_EQ(FileFolder("/opt/obj/objednavky"), "/opt/obj");
  EXPECT_EQ(FileFolder("/objednavky"), "/");
  EXPECT_EQ(FileFolder("objednavky"), ".");
  EXPECT_EQ(FileFolder("C:\\Orvela\\OBJ.EXE"), "C:\\Orvela");
}

} // namespace
