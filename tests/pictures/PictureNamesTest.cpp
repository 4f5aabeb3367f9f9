#include <gtest/gtest.h>

#include "core/DateTime.h"
#include "formats/Cp1250Utf8.h"
#include "pictures/PictureNames.h"

namespace {

TEST(PictureNames, ACardsTextBecomesANameRelativeToThePicturesFolder) {
  const struct {
    const char* Text;
    const char* Name;
  } cases[] = {
      {"123.jpg", "123.jpg"},
      {"C:\\foto\\123.jpg", "foto\\123.jpg"},
      {"\\\\server\\share\\x.jpg", "server\\share\\x.jpg"},
      {"/etc/passwd", "etc/passwd"},
      // The scheme goes with the first colon, the host stays as a folder.
      {"http://host/x.jpg", "host/x.jpg"},
      // Only the first colon counts.
      {"a:b:c.jpg", "b:c.jpg"},
      {"C:", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(NormalisePictureName(c.Text), c.Name);
  }
}

TEST(PictureNames, WebAddressJoinsWithOneSlashAndTurnsBackslashes) {
  const struct {
    const char* Folder;
    const char* Name;
    const char* Address;
  } cases[] = {
      {"", "foto\\1.jpg", "foto/1.jpg"},
      {"http://h/obr", "foto\\123.jpg", "http://h/obr/foto/123.jpg"},
      {"http://h/obr/", "1.jpg", "http://h/obr/1.jpg"},
      {"http://h\\obr\\", "1.jpg", "http://h/obr/1.jpg"},
      // Nothing is encoded here.
      {"http://h", "a b?x=1.jpg", "http://h/a b?x=1.jpg"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    EXPECT_EQ(WebAddress(c.Folder, c.Name), c.Address);
  }
}

TEST(PictureNames, ANameAFileCannotHoldGetsAGeneratedOne) {
  TDateTime moment = 0;
  ASSERT_TRUE(TryEncodeDate(2026, 12, 11, moment));
  TDateTime time = 0;
  ASSERT_TRUE(TryEncodeTime(15, 4, 5, 123, time));
  moment += time;
  const struct {
    std::string Picture;
    std::string Local;
  } cases[] = {
      {"foto/123.jpg", "foto\\123.jpg"},
      {"Čaj.JPG", "Čaj.JPG"},
      {"x?y.jpg", "TMP$$$20261211-150405123.jpg"},
      // The extension stops before the first character a file name may not hold.
      {"show.php?id=5", "TMP$$$20261211-150405123.php"},
      {"a\"b", "TMP$$$20261211-150405123"},
      {"star*.png", "TMP$$$20261211-150405123.png"},
      {"b:c.gif", "TMP$$$20261211-150405123.gif"},
      {"a<b>.jpg", "TMP$$$20261211-150405123.jpg"},
      {"a|b.jpg", "TMP$$$20261211-150405123.jpg"},
      {std::string("tab\t.jpg"), "TMP$$$20261211-150405123.jpg"},
      {std::string("y\xFF.jpg"), "TMP$$$20261211-150405123.jpg"},
  };
  for (const auto& c : cases) {
    const std::string picture = Utf8ToCp1250(c.Picture);
    SCOPED_TRACE(c.Picture);
    EXPECT_EQ(NeedsGeneratedName(picture), c.Local.rfind("TMP$$$", 0) == 0);
    EXPECT_EQ(NewLocalName(picture, "TMP$$$", moment), Utf8ToCp1250(c.Local));
  }
}

TEST(PictureNames, TemporaryNamesBeginWithThePrefixAndDifferFromThePictureName) {
  EXPECT_TRUE(IsTemporaryName("TMP$$$1.jpg", "a?.jpg", "TMP$$$"));
  EXPECT_TRUE(IsTemporaryName("tmp$$$1.jpg", "a?.jpg", "TMP$$$"));
  EXPECT_FALSE(IsTemporaryName("", "a?.jpg", "TMP$$$"));
  EXPECT_FALSE(IsTemporaryName("other.jpg", "a?.jpg", "TMP$$$"));
  // A card whose picture happens to carry the prefix is no temporary file.
  EXPECT_FALSE(IsTemporaryName("tmp$$$x.jpg", "TMP$$$X.JPG", "TMP$$$"));
}

TEST(PictureNames, NoLocalNameLeadsOutOfThePicturesFolder) {
  EXPECT_EQ(PictureFilePath("/pics", "foto\\123.jpg"), "/pics/foto/123.jpg");
  EXPECT_EQ(PictureFilePath("/pics", "a..b.jpg"), "/pics/a..b.jpg");
  EXPECT_EQ(PictureFilePath("/pics", Utf8ToCp1250("Čaj.jpg")), "/pics/Čaj.jpg");
  for (const char* bad : {"..\\secret", "foto\\..\\..\\x.jpg", "a/../../x", "..", "/etc/passwd", "\\x.jpg", "C:x.jpg",
                          "c:\\x.jpg", "", "   "}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(PictureFilePath("/pics", bad), "");
  }
}

} // namespace
