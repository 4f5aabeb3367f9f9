#pragma once

#include <istream>
#include <vector>

#include "cli/CliSupport.h"
#include "cli/OrderCommands.h"
#include "comm/MapiMail.h"
#include "comm/SendOrder.h"

class ISmtpClient;

// The channels "order send" hands the order to; tests put their own in place.
struct TOrderSendChannels {
  // The TAV upload (title SendOrderUploadTitle()); empty: the command's own transfer, and
  // where there is none, that channel is not available and the command exits 1 before it
  // touches anything.
  TOrderUploadFn Upload;
  // The desktop mail program's hand-over.
  TMapiEnvironment Mapi;
  // The SMTP client, not owned (must outlive the commands); nullptr: a TCurlSmtpClient.
  ISmtpClient* Smtp = nullptr;
};

// Registers, with the price list from source,
//   order send [--program NAME] [--karty FILE] [--yes] FILE
// which opens the order file as Open does (lines linked to the cards of --karty, or of the
// settings' price list), runs the send flow with the channel of "MailSendFormat" and, after a
// send, saves the order file again so that its Sent stamp is kept. Questions and messages
// go to err; each question is answered from in (y/n), or Yes/OK with --yes. The delivery-date
// dialog is not shown: a date that fails the quick test ends the command with the reason.
// Prints "sent<TAB>dd.mm.yyyy hh:nn" on out and exits 0 after a send; exits 1 otherwise.
void AddOrderSendCommands(std::vector<CliCommand>& commands, TCommandCardSource source, std::istream& in,
                          TOrderSendChannels channels);
