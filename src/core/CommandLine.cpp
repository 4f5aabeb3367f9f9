#include "core/CommandLine.h"

#include "core/Paths.h"
#include "formats/CodePages.h"
#include "formats/Cp1250Utf8.h"

TCommandLine ParseCommandLine(std::vector<std::string> params) {
  TCommandLine result;
  result.Params = std::move(params);
  for (const std::string& param : result.Params) {
    const std::string upper = AnsiUpperCase(param);
    if (upper == "/BEZBALENI")
      result.NoPackagesSwitch = true;
    else if (upper == "/BEZZASOB")
      result.NoStockSwitch = true;
  }
  return result;
}

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
  std::vector<std::string> params;
  for (int i = 1; i < argc; ++i)
    params.push_back(Utf8ToCp1250(argv[i] ? argv[i] : ""));
  return ParseCommandLine(std::move(params));
}

std::string TavBinPath(const std::string& tavBin, const std::string& programFolder) {
  if (tavBin.find_first_of("\\/:") != std::string::npos)
    return tavBin;
  return JoinPath(programFolder, tavBin);
}
