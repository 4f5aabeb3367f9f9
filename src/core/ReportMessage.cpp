#include "core/ReportMessage.h"

#include <atomic>
#include <iostream>

#include "core/Log.h"
#include "formats/Cp1250Utf8.h"

namespace {

IMessageSink& DefaultSink() {
  static TStreamMessageSink sink(std::cerr);
  return sink;
}

std::atomic<IMessageSink*> InstalledSink{nullptr};

} // namespace

TMsgResult HeadlessAnswer(TMsgButtons buttons) {
  switch (buttons) {
  case TMsgButtons::OK:
    return TMsgResult::OK;
  case TMsgButtons::YesNo:
    return TMsgResult::No;
  case TMsgButtons::OKCancel:
  case TMsgButtons::YesNoCancel:
    break;
  }
  return TMsgResult::Cancel;
}

TMsgResult TStreamMessageSink::Show(const std::string& text, const std::string& caption, TMsgFlags flags) {
  try {
    if (!caption.empty())
      FOut << Cp1250ToUtf8(caption) << ": ";
    FOut << Cp1250ToUtf8(text) << std::endl;
  } catch (...) {
    // A stream set to throw, or no memory: the message is lost, the answer stands.
  }
  return HeadlessAnswer(flags.Buttons);
}

IMessageSink* SetMessageSink(IMessageSink* sink) { return InstalledSink.exchange(sink); }

IMessageSink& MessageSink() {
  IMessageSink* sink = InstalledSink.load();
  return sink ? *sink : DefaultSink();
}

TMsgResult ReportMessage(const std::string& text, TMsgFlags flags, const std::string& caption) {
  WriteLog(text);
  return MessageSink().Show(text, caption, flags);
}
