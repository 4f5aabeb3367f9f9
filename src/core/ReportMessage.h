#pragma once

#include <iosfwd>
#include <string>

// Telling the user something: the text goes to the program log first, then to whoever shows
// messages - the desktop program installs a message-box sink, the command-line companion and
// the tests keep a headless one.

// Buttons and icon of a message box, as the platform's message-box flags choose them.
enum class TMsgButtons { OK, OKCancel, YesNo, YesNoCancel };
enum class TMsgIcon { None, Information, Warning, Error, Question };

struct TMsgFlags {
  TMsgButtons Buttons = TMsgButtons::OK;
  TMsgIcon Icon = TMsgIcon::None;
};

// The button that closed the box.
enum class TMsgResult { OK, Cancel, Yes, No };

// Shows one message and waits for the answer. Implementations must not throw.
class IMessageSink {
public:
  virtual ~IMessageSink() = default;
  // text: code page 1250. caption: code page 1250; empty means the caption of the main window
  // as it is at that moment (the sink knows the window).
  virtual TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) = 0;
};

// The answer a user who cannot be asked gives: OK where OK is the only button, otherwise the
// refusal (Cancel, or No when there is no Cancel) - a refusal ends a command without harm.
TMsgResult HeadlessAnswer(TMsgButtons buttons);

// Writes each message as one UTF-8 line ("caption: text" when a caption is given) to a stream
// the caller keeps alive, and answers as HeadlessAnswer. The default sink writes to stderr.
class TStreamMessageSink : public IMessageSink {
public:
  explicit TStreamMessageSink(std::ostream& out) : FOut(out) {}
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override;

private:
  std::ostream& FOut;
};

// Shows nothing and answers as HeadlessAnswer.
class TSilentMessageSink : public IMessageSink {
public:
  TMsgResult Show(const std::string&, const std::string&, TMsgFlags flags) override {
    return HeadlessAnswer(flags.Buttons);
  }
};

// Installs the sink the reports go to, not taking ownership (the caller keeps it alive until
// it installs another one); nullptr restores the default stderr sink. Returns the previous
// sink (nullptr when it was the default). Meant to be called from the user-interface thread at start-up and shutdown.
IMessageSink* SetMessageSink(IMessageSink* sink);
IMessageSink& MessageSink();

// Installs a sink for the lifetime of the object and restores the previous one afterwards.
class TMessageSinkScope {
public:
  explicit TMessageSinkScope(IMessageSink& sink) : FPrevious(SetMessageSink(&sink)) {}
  ~TMessageSinkScope() { SetMessageSink(FPrevious); }
  TMessageSinkScope(const TMessageSinkScope&) = delete;
  TMessageSinkScope& operator=(const TMessageSinkScope&) = delete;

private:
  IMessageSink* FPrevious;
};

// Writes the text to the program log (WriteLog), then shows it through the installed sink
// and returns the button pressed. caption: empty for the main window's caption.
TMsgResult ReportMessage(const std::string& text, TMsgFlags flags = {}, const std::string& caption = {});
