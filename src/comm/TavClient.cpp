#include "comm/TavClient.h"

#include <sys/stat.h>

#include <exception>
#include <optional>

#include "comm/TavProtocol.h"
#include "comm/TavSocket.h"
#include "core/Errors.h"
#include "core/FileIo.h"
#include "core/Format.h"
#include "core/Paths.h"
#include "formats/Cp1250Utf8.h"

namespace {

// The largest piece one read takes off the connection.
constexpr std::size_t kReadSize = 64 * 1024;

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

bool FileExists(const std::string& fileName) {
  struct stat st {};
  return stat(NativeFileName(fileName).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The user's abort while waiting for a reply.
Exception AbortError() { return Exception("Operation aborted"); }

} // namespace

std::uint64_t TavFileChecksum(const std::string& fileName, std::uint64_t* size) {
  const fileio::TFd fd = fileio::OpenForReading(fileName);
  std::uint64_t sum = 0, total = 0;
  char buffer[kReadSize];
  for (;;) {
    const std::size_t got = fileio::ReadSome(fd, buffer, sizeof buffer, fileName);
    if (got == 0)
      break;
    sum = TavChecksumAdd(sum, buffer, got);
    total += got;
  }
  if (size)
    *size = total;
  return sum;
}

// The conversation with the server over one open connection.
class TTAVPrenosObj::TSession {
public:
  TSession(TTAVPrenosObj& owner, TTavSocket& socket) : FOwner(owner), FSocket(socket) {}

  // True when the server accepted the login.
  bool Login(const TTavConnection& c) {
    std::string verdict;
    if (c.Challenge) {
      FOwner.Report(Cz("Přihlašování k serveru."));
      FSocket.SendAll(kTavLoginRequest, SendWaitMs());
      const std::string challenge = WaitReply(true);
      FSocket.SendAll(Md5Digest(TavChallengeText(challenge, c.User, c.Password)), SendWaitMs());
      verdict = WaitReply(true);
    } else {
      FOwner.Report(Cz("Zahájení přihlášování k serveru"));
      FSocket.SendAll(c.User, SendWaitMs());
      WaitReply(true);
      FOwner.Report(Cz("Přihlášení k serveru"));
      FSocket.SendAll(c.Password, SendWaitMs());
      verdict = WaitReply(true);
    }
    if (verdict != kTavVerdictOK) {
      FOwner.Report(Cz("Chybné jméno nebo heslo"));
      return false;
    }
    return true;
  }

  void Download(const TTavTransferRequest& r) {
    FOwner.Report(r.Kind == kTavDownloadPriceList ? Cz("Načítání ceníku.")
                                                  : Cz("Načítání instalačního programu nové verze."));
    FSocket.SendAll(TavGetFileRequest(r.Alias, r.RemoteFile), SendWaitMs());
    const std::int64_t size = ParseTavSize(WaitReply(true));
    if (size <= 0)
      return;
    FSocket.SendAll(kTavChunkOK, SendWaitMs());
    fileio::TAtomicFile file(r.LocalFile);
    std::int64_t remaining = size;
    std::string piece;
    while (remaining > 0 && !Aborted()) {
      const TTavSocket::TReadResult result = FSocket.Read(
          piece, kReadSize, FOwner.FTimeouts.UnlimitedWaitMs, [this] { return Aborted(); }, FOwner.FTimeouts.PollMs);
      if (result == TTavSocket::TReadResult::Stopped)
        break;
      if (result == TTavSocket::TReadResult::Closed)
        throw ETavSocketError(Cz("Server ukončil spojení před koncem souboru"));
      if (result == TTavSocket::TReadResult::TimedOut)
        throw ETavSocketError(Cz("Server přestal odpovídat"));
      remaining -= static_cast<std::int64_t>(piece.size());
      fileio::WriteAll(file.Fd(), piece.data(), piece.size(), r.LocalFile);
      FSocket.SendAll(kTavChunkOK, SendWaitMs());
    }
    if (Aborted())
      return; // the temporary file goes away with `file`; an earlier download stays
    file.Commit();
    FOwner.FFlags->Succeeded = true;
  }

  void Upload(const TTavTransferRequest& r) {
    FOwner.Report(Cz("Odesílá se hlavička souboru."));
    const fileio::TFd fd = fileio::OpenForReading(r.RemoteFile);
    std::uint64_t size = 0, sum = 0;
    char buffer[kReadSize];
    for (;;) {
      const std::size_t got = fileio::ReadSome(fd, buffer, sizeof buffer, r.RemoteFile);
      if (got == 0)
        break;
      sum = TavChecksumAdd(sum, buffer, got);
      size += got;
    }
    FSocket.SendAll(TavSendFileHeader(size, TavBareFileName(r.RemoteFile), sum), SendWaitMs());
    const std::string headerVerdict = WaitReply(false);
    if (headerVerdict == kTavVerdictRefused) {
      FOwner.Report(Cz("Přenos toho typu souboru není na serveru povolen"));
      return;
    }
    if (headerVerdict != kTavVerdictOK) {
      FOwner.Report(Cz("Chyba při potvrzování hlavičky souboru."));
      return;
    }
    FOwner.Report(Cz("Odesílání objednávky."));
    // Exactly the bytes the checksum covered, even when the file grew meanwhile.
    std::uint64_t left = size, offset = 0;
    while (left > 0) {
      const std::size_t want = left < sizeof buffer ? static_cast<std::size_t>(left) : sizeof buffer;
      const std::size_t got = fileio::ReadAt(fd, buffer, want, offset, r.RemoteFile);
      if (got == 0)
        throw EInOutError(Format(Cz("Soubor %s se během odesílání zkrátil"), {r.RemoteFile}));
      FSocket.SendAll(buffer, got, SendWaitMs());
      offset += got;
      left -= got;
    }
    const std::string bodyVerdict = WaitReply(false);
    if (bodyVerdict == kTavVerdictOK && !Aborted()) {
      FOwner.Report(Cz("Soubor přenesen v pořádku."));
      FOwner.FFlags->Succeeded = true;
    } else if (bodyVerdict == kTavVerdictRefused) {
      FOwner.Report(Cz("Chyba při přenosu souboru. Nesouhlasí kontrolní součet."));
    } else {
      FOwner.Report(Cz("Při přenosu souboru došlo k chybě."));
    }
  }

private:
  bool Aborted() const { return FOwner.FFlags->AbortRequested; }

  int SendWaitMs() const { return FOwner.FTimeouts.ReplyWaitMs; }

  // One reply: the bytes of the first read that returns any, or empty when the connection
  // closed or (limited) the wait ran out. The abort flag is looked at after every read.
  std::string WaitReply(bool limited) {
    std::string reply;
    const TTavSocket::TReadResult result = FSocket.Read(
        reply, kReadSize, limited ? FOwner.FTimeouts.ReplyWaitMs : FOwner.FTimeouts.UnlimitedWaitMs,
        [this] { return Aborted(); }, FOwner.FTimeouts.PollMs);
    if (result == TTavSocket::TReadResult::Stopped || Aborted())
      throw AbortError();
    return reply;
  }

  TTAVPrenosObj& FOwner;
  TTavSocket& FSocket;
};

TTAVPrenosObj::TTAVPrenosObj(TTavTransferRequest request, TTavFlags* flags, ITavProgress* progress,
                             TTavTimeouts timeouts)
    : FRequest(std::move(request)), FFlags(flags), FProgress(progress), FTimeouts(timeouts) {}

void TTAVPrenosObj::Report(const std::string& text) {
  if (FProgress)
    FProgress->Progress(text);
}

void TTAVPrenosObj::Execute() {
  if (!FFlags)
    return;
  // Running is lowered as the very last step, whatever happens before.
  struct TLowerRunning {
    TTavFlags* Flags;
    ~TLowerRunning() { Flags->Running = false; }
  } lowerRunning{FFlags};

  if (IsBlank(FRequest.ConnectionFile) || !FileExists(FRequest.ConnectionFile)) {
    Report(Cz("Aplikace není nakonfigurována pro přenos dat přes TAV server"));
    return;
  }
  TTavConnection connection;
  try {
    connection = ReadTavBin(FRequest.ConnectionFile);
  } catch (const std::exception& e) {
    Report(e.what());
    return;
  }

  if (FProgress)
    FProgress->BeginBusy();
  TTavSocket socket;
  try {
    Report(Cz("Hledání serveru ") + connection.Host);
    try {
      socket = TTavSocket::Connect(connection.Host, connection.Port, FTimeouts.ReplyWaitMs);
    } catch (const ETavSocketError&) {
      // the line below says it
    }
    if (!socket.IsOpen()) {
      Report(Cz("Spojení s ") + connection.Host + Cz(" se nezdařilo"));
    } else {
      Report(Cz("Navázáno spojení s ") + connection.Host);
      TSession session(*this, socket);
      if (session.Login(connection)) {
        if (FRequest.Kind == kTavDownloadPriceList || FRequest.Kind == kTavDownloadInstaller)
          session.Download(FRequest);
        else if (FRequest.Kind == kTavUpload)
          session.Upload(FRequest);
      }
    }
  } catch (const std::exception& e) {
    Report(e.what());
  } catch (...) {
    Report(Cz("Neznámá chyba"));
  }
  if (FProgress)
    FProgress->EndBusy();
  socket.Close();
  Report(Cz("Spojení s ") + connection.Host + Cz(" ukončeno"));
}
