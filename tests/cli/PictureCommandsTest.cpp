#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "catalogue/KartyFixture.h"
#include "cli/CliTestSupport.h"
#include "formats/DBFFile.h"
#include "pictures/HttpTestServer.h"
#include "support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

// A throw-away profile, a price list with pictures and a web folder on loopback.
class PictureCommandsTest : public CliProfileTest {
protected:
  PictureCommandsTest() {
    WriteKarty(Karty, {{"Kod", 'C', 10}, {"Nazev", 'C', 30}, {"OBRAZEK", 'C', 40}},
               {{{"Kod", "1"}, {"Nazev", "Čaj"}, {"OBRAZEK", "caj.jpg"}},
                {{"Kod", "2"}, {"Nazev", "Káva"}, {"OBRAZEK", "C:\\foto\\kava.jpg"}},
                {{"Kod", "3"}, {"Nazev", "Víno"}, {"OBRAZEK", "show.php?id=3"}},
                {{"Kod", "4"}, {"Nazev", "Pivo"}, {"OBRAZEK", "CAJ.JPG"}},
                {{"Kod", "5"}, {"Nazev", "Voda"}, {"OBRAZEK", "chybi.jpg"}},
                {{"Kod", "6"}, {"Nazev", "Sůl"}}});
    Server.Set("/obr/caj.jpg", {200, "caj"});
    Server.Set("/obr/foto/kava.jpg", {200, "kava"});
    Server.Set("/obr/show.php?id=3", {200, "vino"});
  }

  CliResult Run(const std::string& mode, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"pictures", "batch", "--mode", mode, "--karty", Karty, "--dir", Pictures};
    if (extra.empty())
      extra = {"--web", Server.Url() + "/obr/"};
    args.insert(args.end(), extra.begin(), extra.end());
    return RunCliCommand(args);
  }

  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& f : fs::recursive_directory_iterator(Pictures))
      if (f.is_regular_file())
        files.push_back(fs::relative(f.path(), Pictures).string());
    std::sort(files.begin(), files.end());
    return files;
  }

  std::string Karty = Dir.File("KARTY.DBF");
  std::string Pictures = Dir.File("obrazky");
  THttpTestServer Server;
};

const char kLoadReport[] =
    "caj.jpg\nfoto\\kava.jpg\nshow.php?id=3\nchybi.jpg\nHromadné načítání obrázků bylo ukončeno\n";

TEST_F(PictureCommandsTest, BatchLoadsEveryCardsPictureAndRemembersGeneratedNames) {
  const CliResult all = Run("0");
  EXPECT_EQ(all.Code, 0) << all.Err;
  EXPECT_EQ(all.Out, kLoadReport);
  const std::vector<std::string> files = Files();
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0], "OBRAZKY.DBF");
  EXPECT_EQ(files[1], "TMP$$$" + files[1].substr(6, 18) + ".php");
  EXPECT_EQ(files[2], "caj.jpg");
  EXPECT_EQ(files[3], "foto/kava.jpg");
  EXPECT_EQ(ReadFileBytes(Pictures + "/" + files[1]), "vino");

  TDBFFile table(Pictures + "/OBRAZKY.DBF", TDBFConversion::Cp852);
  table.Open(TDBFAccess::ReadOnly);
  ASSERT_EQ(table.RecordCount(), 1);
  table.First();
  EXPECT_EQ(table.FieldByName("JmenoObr").AsString(), "show.php?id=3");
  EXPECT_EQ(table.FieldByName("TempJmeno").AsString(), files[1]);
  table.Close();

  // The missing ones only: the table and the files say everything else is there.
  const size_t asked = Server.Requests().size();
  EXPECT_EQ(asked, 4u);
  const CliResult missing = Run("1");
  EXPECT_EQ(missing.Code, 0) << missing.Err;
  // The remembered download comes first: the table fills the list before the cards do.
  EXPECT_EQ(missing.Out,
            "show.php?id=3\ncaj.jpg\nfoto\\kava.jpg\nchybi.jpg\nHromadné načítání obrázků bylo ukončeno\n");
  EXPECT_EQ(Server.Requests().size(), asked + 1); // chybi.jpg, still missing
  EXPECT_EQ(Files(), files);

  // Deleting removes the cards' pictures and the generated ones, without asking.
  WriteFileBytes(Pictures + "/other.jpg", "mine");
  const CliResult deleted = Run("2");
  EXPECT_EQ(deleted.Code, 0) << deleted.Err;
  EXPECT_EQ(deleted.Out, "Hotovo\n");
  EXPECT_EQ(Files(), (std::vector<std::string>{"OBRAZKY.DBF", "other.jpg"}));
}

TEST_F(PictureCommandsTest, BatchTakesTheFoldersFromTheSettings) {
  std::ostringstream out, err;
  ASSERT_EQ(RunCli({"settings", "set", "Files", "WebPictures", Server.Url() + "/obr"}, out, err), 0) << err.str();
  ASSERT_EQ(RunCli({"settings", "set", "Files", "Pictures", Pictures}, out, err), 0) << err.str();
  std::ostringstream batchOut, batchErr;
  EXPECT_EQ(RunCli({"pictures", "batch", "--mode", "1", "--karty", Karty}, batchOut, batchErr), 0) << batchErr.str();
  EXPECT_EQ(batchOut.str(), kLoadReport);
  EXPECT_TRUE(fs::exists(Pictures + "/caj.jpg"));
}

TEST_F(PictureCommandsTest, BadUsageAndABrokenTableAreReported) {
  EXPECT_EQ(Run("3").Code, 2);
  std::ostringstream out, err;
  EXPECT_EQ(RunCli({"pictures", "batch", "--karty", Karty}, out, err), 2);
  EXPECT_EQ(RunCli({"pictures", "batch", "--mode", "1", "extra"}, out, err), 2);

  fs::create_directories(Pictures);
  WriteFileBytes(Pictures + "/OBRAZKY.DBF", "broken");
  const CliResult broken = Run("1");
  EXPECT_EQ(broken.Code, 1);
  EXPECT_NE(broken.Err.find("Chyba při načítání tabulky s obrázky"), std::string::npos) << broken.Err;
  EXPECT_TRUE(Server.Requests().empty());
}

} // namespace
