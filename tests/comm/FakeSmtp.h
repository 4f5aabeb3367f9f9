#pragma once

#include <string>
#include <vector>

#include "comm/SmtpClient.h"

// An SMTP client that keeps every request and accepts or refuses as told.
class TFakeSmtp : public ISmtpClient {
public:
  bool Accept = true;
  std::vector<TSmtpRequest> Sent;
  bool Send(const TSmtpRequest& request) override {
    Sent.push_back(request);
    return Accept;
  }
  std::string LastError() const override { return Accept ? "" : "554 no"; }
};
