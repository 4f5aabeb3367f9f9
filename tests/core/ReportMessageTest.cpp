#include "core/ReportMessage.h"

#include <gtest/gtest.h>

#include <sstream>

#include "core/Log.h"
#include "formats/Cp1250Utf8.h"
#include "support/TestSupport.h"

namespace {

// Remembers what it was shown and what the log held at that moment.
class TRecordingSink : public IMessageSink {
public:
  explicit TRecordingSink(std::string logFile) : FLogFile(std::move(logFile)) {}
  TMsgResult Show(const std::string& text, const std::string& caption, TMsgFlags flags) override {
    Text = text;
    Caption = caption;
    Flags = flags;
    LogAtShow = ReadFileBytes(FLogFile);
    return TMsgResult::Yes;
  }
  std::string Text, Caption, LogAtShow;
  TMsgFlags Flags;

private:
  std::string FLogFile;
};

TEST(ReportMessageTest, LogsBeforeShowingAndReturnsTheAnswer) {
  TempDir dir;
  const std::string logFile = dir.File("objednavky.LOG");
  ProgramLog().SetFileName(logFile);
  ProgramLog().SetClock([] { return EncodeDate(2024, 3, 5); });
  TRecordingSink sink(logFile);
  {
    TMessageSinkScope scope(sink);
    const std::string text = Cz("Soubor /tmp/x.obx nebyl nalezen");
    EXPECT_EQ(ReportMessage(text, {TMsgButtons::YesNo, TMsgIcon::Warning}, Cz("Objednávky")), TMsgResult::Yes);
    EXPECT_EQ(sink.Text, text);
    EXPECT_EQ(sink.Caption, Cz("Objednávky"));
    EXPECT_EQ(sink.Flags.Buttons, TMsgButtons::YesNo);
    EXPECT_EQ(sink.Flags.Icon, TMsgIcon::Warning);
    EXPECT_EQ(sink.LogAtShow, "05.03.2024 00:00:00 : " + text + "\r\n");
  }
  EXPECT_NE(&MessageSink(), &sink);
  ProgramLog().SetFileName("");
  ProgramLog().SetClock({});
}

TEST(ReportMessageTest, HeadlessSinksAnswerWithTheRefusal) {
  const std::pair<TMsgButtons, TMsgResult> cases[] = {
      {TMsgButtons::OK, TMsgResult::OK},
      {TMsgButtons::OKCancel, TMsgResult::Cancel},
      {TMsgButtons::YesNo, TMsgResult::No},
      {TMsgButtons::YesNoCancel, TMsgResult::Cancel},
  };
  std::ostringstream out;
  TStreamMessageSink stream(out);
  TSilentMessageSink silent;
  for (const auto& [buttons, answer] : cases) {
    SCOPED_TRACE(static_cast<int>(buttons));
    EXPECT_EQ(stream.Show("x", "", {buttons, TMsgIcon::Question}), answer);
    EXPECT_EQ(silent.Show("x", "", {buttons, TMsgIcon::Question}), answer);
  }
}

TEST(ReportMessageTest, StreamSinkWritesUtf8Lines) {
  std::ostringstream out;
  TStreamMessageSink sink(out);
  sink.Show(Cz("Ceník"), "", {});
  sink.Show(Cz("Chyba při čtení"), Cz("Objednávky"), {});
  EXPECT_EQ(out.str(), "Ceník\nObjednávky: Chyba při čtení\n");
}

} // namespace
