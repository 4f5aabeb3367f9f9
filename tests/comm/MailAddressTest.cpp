#include <gtest/gtest.h>

#include "comm/MailAddress.h"

namespace {

struct TEnvelopeCase {
  const char* Text;
  std::vector<std::string> Recipients;
};

TEST(MailAddress, EnvelopeRecipientsOfARecipientText) {
  const TEnvelopeCase kCases[] = {
      {"obj@dodavatel.cz", {"obj@dodavatel.cz"}},
      {"  a@x.cz ,b@y.cz  ", {"a@x.cz", "b@y.cz"}},
      {"\"Novák, Jan\" <jan@x.cz>, Sklad <sklad@y.cz>", {"jan@x.cz", "sklad@y.cz"}},
      {"<a@x.cz> trailing, b@y.cz", {"a@x.cz", "b@y.cz"}},
      {"a@x.cz,, b@y.cz,", {"a@x.cz", "b@y.cz"}},
      {"a@x.cz; b@y.cz", {"a@x.cz; b@y.cz"}}, // only commas separate the envelope
      {"   ", {}},
      {"Jan < >", {}},
  };
  for (const TEnvelopeCase& c : kCases) {
    SCOPED_TRACE(c.Text);
    EXPECT_EQ(EnvelopeRecipients(c.Text), c.Recipients);
  }
}

TEST(MailAddress, BareAddressAndTrim) {
  EXPECT_EQ(BareEmailAddress(" jan@x.cz "), "jan@x.cz");
  EXPECT_EQ(BareEmailAddress("\"Jan\" < jan@x.cz >"), "jan@x.cz");
  EXPECT_EQ(BareEmailAddress("Jan <jan@x.cz"), "jan@x.cz");
  EXPECT_EQ(TrimText("\t\r\n a b \x01"), "a b");
}

} // namespace
