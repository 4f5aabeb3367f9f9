#include "comm/MailAddress.h"

std::string TrimText(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && static_cast<unsigned char>(text[begin]) <= ' ')
    begin++;
  while (end > begin && static_cast<unsigned char>(text[end - 1]) <= ' ')
    end--;
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> SplitAtCommasOutsideQuotes(std::string_view text) {
  std::vector<std::string> pieces;
  if (TrimText(text).empty())
    return pieces;
  bool quoted = false;
  size_t start = 0;
  for (size_t i = 0; i < text.size(); i++) {
    if (text[i] == '"')
      quoted = !quoted;
    else if (text[i] == ',' && !quoted) {
      pieces.push_back(TrimText(text.substr(start, i - start)));
      start = i + 1;
    }
  }
  pieces.push_back(TrimText(text.substr(start)));
  return pieces;
}

std::string BareEmailAddress(std::string_view entry) {
  const size_t open = entry.find('<');
  if (open == std::string_view::npos)
    return TrimText(entry);
  std::string_view inner = entry.substr(open + 1);
  const size_t close = inner.find('>');
  if (close != std::string_view::npos)
    inner = inner.substr(0, close);
  return TrimText(inner);
}

std::vector<std::string> EnvelopeRecipients(std::string_view recipients) {
  std::vector<std::string> addresses;
  for (const std::string& piece : SplitAtCommasOutsideQuotes(recipients)) {
    std::string address = BareEmailAddress(piece);
    if (!address.empty())
      addresses.push_back(std::move(address));
  }
  return addresses;
}
