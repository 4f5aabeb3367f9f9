#pragma once

#include <string>
#include <vector>

// The program's command line: any parameter equal to "/BEZBALENI" or "/BEZZASOB" (compared
// after upper-casing in code page 1250, so "/bezbaleni" counts too; in any position) turns on
// the no-packages or the no-stock mode, and the first parameter, whatever it is - a switch
// included - is also the name of a file to open once the program has started. Parameters
// that are neither are ignored by the switches.
struct TCommandLine {
  // The parameters without the program itself, code page 1250.
  std::vector<std::string> Params;
  bool NoPackagesSwitch = false;
  bool NoStockSwitch = false;

  bool Empty() const { return Params.empty(); }
  // The first parameter, or empty when there is none.
  std::string FileParam() const { return Params.empty() ? std::string() : Params.front(); }
};

// params: code page 1250, without the program name.
TCommandLine ParseCommandLine(std::vector<std::string> params);
// From main()'s arguments (UTF-8, argv[0] being the program): each converted to code page
// 1250 (characters it cannot hold become "?").
TCommandLine ParseCommandLine(int argc, const char* const* argv);

// The connection file of the TAV server from the setting "TAVBin": the setting as it stands
// when it names a folder (it holds "\", "/" or a drive's ":"), otherwise the program's folder
// joined with it. programFolder: the folder of the program file, code page 1250.
std::string TavBinPath(const std::string& tavBin, const std::string& programFolder);
