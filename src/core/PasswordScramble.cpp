// The stored form of the SMTP password. Not a protection, only keeps the password from being
// read at a glance in the settings file.

#include <random>

#include "core/AppSettings.h"
#include "core/SettingsStore.h"

namespace {

unsigned SwapHalves(unsigned b) { return ((b & 0x0F) << 4) | ((b >> 4) & 0x0F); }

void AppendGroup(std::string& text, unsigned value) {
  text += static_cast<char>('0' + value / 100);
  text += static_cast<char>('0' + value / 10 % 10);
  text += static_cast<char>('0' + value % 10);
}

} // namespace

std::string ScramblePasswordWith(const std::string& password, int r) {
  if (password.empty())
    return {};
  const unsigned base = static_cast<unsigned>(r) & 0xFF;
  std::string text;
  text.reserve(3 * (password.size() + 1));
  AppendGroup(text, base);
  for (const char c : password)
    AppendGroup(text, (base + SwapHalves(static_cast<unsigned char>(c))) % 256);
  return text;
}

std::string ScramblePassword(const std::string& password) {
  thread_local std::mt19937 generator{std::random_device{}()};
  int r = std::uniform_int_distribution<int>(0, 254)(generator);
  if (r == 0)
    r = 17;
  return ScramblePasswordWith(password, r);
}

std::string UnscramblePassword(const std::string& text) {
  if (text.empty() || text.size() % 3 != 0)
    return {};
  const auto group = [&text](size_t index) {
    int value = 0;
    return TryDecodeSettingsInteger(std::string_view(text).substr(index * 3, 3), value) ? value : 0;
  };
  const int r = group(0);
  std::string password;
  password.reserve(text.size() / 3 - 1);
  for (size_t i = 1; i < text.size() / 3; ++i) {
    const unsigned d = static_cast<unsigned>(((group(i) - r) % 256 + 256) % 256);
    password += static_cast<char>(SwapHalves(d));
  }
  return password;
}
