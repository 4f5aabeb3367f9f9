#include "core/CommandLine.h"

#include <gtest/gtest.h>

#include "formats/Cp1250Utf8.h"

namespace {

struct SwitchCase {
  const char* Name;
  std::vector<std::string> Params;
  bool NoPackages;
  bool NoStock;
  std::string File;
};

class CommandLineTest : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(CommandLineTest, SwitchesAndFile) {
  const SwitchCase& c = GetParam();
  const TCommandLine line = ParseCommandLine(c.Params);
  EXPECT_EQ(line.NoPackagesSwitch, c.NoPackages);
  EXPECT_EQ(line.NoStockSwitch, c.NoStock);
  EXPECT_EQ(line.FileParam(), c.File);
  EXPECT_EQ(line.Empty(), c.Params.empty());
  EXPECT_EQ(line.Params, c.Params);
}

INSTANTIATE_TEST_SUITE_P(
    Table, CommandLineTest,
    ::testing::Values(
        SwitchCase{"Empty", {}, false, false, ""},
        SwitchCase{"FileOnly", {"/home/jan/obj.obx"}, false, false, "/home/jan/obj.obx"},
        // The first parameter is also the file to open, even when it is a switch.
        SwitchCase{"LowerCaseSwitchAlone", {"/bezbaleni"}, true, false, "/bezbaleni"},
        SwitchCase{"MixedCase", {"/BezZasob"}, false, true, "/BezZasob"},
        SwitchCase{"SwitchesAfterFile", {"obj.obx", "/BEZZASOB", "/BEZBALENI"}, true, true, "obj.obx"},
        SwitchCase{"FileAfterSwitch", {"/BEZBALENI", "obj.obx"}, true, false, "/BEZBALENI"},
        // Only the whole parameter counts: no prefixes, other leaders or extra text.
        SwitchCase{
            "NearMisses", {"x", "-BEZBALENI", "BEZZASOB", "/BEZBALENI2", "/BEZ", " /BEZZASOB"}, false, false, "x"},
        SwitchCase{"UnknownSwitchesIgnored", {"/NOVY", "/bezzasob", "/X"}, false, true, "/NOVY"}),
    [](const ::testing::TestParamInfo<SwitchCase>& param) { return std::string(param.param.Name); });

TEST(CommandLineArgvTest, SkipsTheProgramAndConvertsToCp1250) {
  const char* argv[] = {"/opt/obj/objednavky", "Objednávka č.1.obx", "/bezzásob", "/BEZBALENI"};
  const TCommandLine line = ParseCommandLine(4, argv);
  EXPECT_EQ(line.Params, (std::vector<std::string>{Cz("Objednávka č.1.obx"), Cz("/bezzásob"), "/BEZBALENI"}));
  EXPECT_EQ(line.FileParam(), Cz("Objednávka č.1.obx"));
  EXPECT_TRUE(line.NoPackagesSwitch);
  EXPECT_FALSE(line.NoStockSwitch);
}

TEST(TavBinPathTest, BareNameLiesInTheProgramFolder) {
  struct Case {
    std::string TavBin, ProgramFolder, Expected;
  };
  const Case cases[] = {
      {"TAV.BIN", "/opt/obj", "/opt/obj/TAV.BIN"},
      {"TAV.BIN", "/opt/obj/", "/opt/obj/TAV.BIN"},
      {Cz("Spojení.bin"), "/opt/obj", Cz("/opt/obj/Spojení.bin")},
      {"/etc/obj/TAV.BIN", "/opt/obj", "/etc/obj/TAV.BIN"},
      {"conf/TAV.BIN", "/opt/obj", "conf/TAV.BIN"},
      {"C:\\TAV\\TAV.BIN", "/opt/obj", "C:\\TAV\\TAV.BIN"},
      {"..\\TAV.BIN", "/opt/obj", "..\\TAV.BIN"},
      {"D:TAV.BIN", "/opt/obj", "D:TAV.BIN"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.TavBin);
    EXPECT_EQ(TavBinPath(c.TavBin, c.ProgramFolder), c.Expected);
  }
}

} // namespace
