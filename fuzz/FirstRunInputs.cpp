// Texts the settings load takes from outside: the supplier's first-run ini file, the mail
// client's prefs.js and the stored password. Whatever they hold, reading must not crash or
// hang; every imported value must read back as imported; a password read from any stored text
// must survive scrambling.
#include <cstddef>
#include <cstdint>
#include <string>

#include "core/AppSettings.h"
#include "core/SettingsStore.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);

  TSettingsStore store("objednavky", "/nonexistent/user", "/nonexistent/system"); // memory only
  const int copied = ImportIniText(text, store);
  int values = 0;
  for (const std::string& section : store.GetSectionPaths())
    values += static_cast<int>(store.GetValueNames(section).size());
  if (values > copied)
    __builtin_trap();

  const TMailClientDefaults mail = MailClientDefaultsFromPrefs(text);
  if (mail.EMail.size() > text.size() || mail.SMTPServer.size() > text.size())
    __builtin_trap();

  const std::string password = UnscramblePassword(text);
  if (UnscramblePassword(ScramblePassword(password)) != password)
    __builtin_trap();
  return 0;
}
