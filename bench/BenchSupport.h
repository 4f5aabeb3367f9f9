#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include <stdlib.h>

// A field of a generated table.
struct FieldSpec {
  const char* Name;
  char Type;
  int Length;
  int Decimals;
};

// Words for generated Czech texts (UTF-8; convert with Cz()).
inline const char* const kBenchWords[] = {"Šroub", "matice", "podložka", "žlutý",    "kůň",    "ďábelský",
                                          "úpěl",  "příliš", "těsnění",  "čerpadlo", "ventil", "ložisko",
                                          "řemen", "ořech",  "Ústí",     "Žďár",     "čaj",    "zelený",
                                          "káva",  "mletá",  "cukr",     "třtinový", "med",    "lesní"};

// A scratch folder for the tables a benchmark generates, removed with its contents when the
// run ends.
class TBenchFolder {
public:
  explicit TBenchFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(pattern.data()))
      std::abort();
    FDir = pattern;
  }
  ~TBenchFolder() {
    std::error_code ec;
    std::filesystem::remove_all(FDir, ec);
  }
  TBenchFolder(const TBenchFolder&) = delete;
  TBenchFolder& operator=(const TBenchFolder&) = delete;

  std::string File(const std::string& name) const { return FDir + "/" + name; }

private:
  std::string FDir;
};
