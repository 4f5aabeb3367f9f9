#include "comm/TavServer.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>
#include <random>

#include "comm/TavProtocol.h"
#include "core/Errors.h"
#include "core/FileIo.h"
#include "formats/Cp1250Utf8.h"

namespace {

constexpr std::size_t kPieceSize = 64 * 1024;
constexpr int kStopPollMs = 50;
constexpr char kIncomingFolder[] = "incoming";

std::string RandomChallenge() {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::mt19937 engine(device());
  std::uniform_int_distribution<int> pick(0, static_cast<int>(sizeof kLetters) - 2);
  std::string text;
  for (int i = 0; i < 16; ++i)
    text += kLetters[pick(engine)];
  return text;
}

// Throws away whatever the client sent meanwhile (the "OK" NUL after each of its reads), so
// its sends never block on a full buffer.
void DrainIncoming(const TTavSocket& socket) {
  char buffer[4096];
  while (recv(socket.Fd(), buffer, sizeof buffer, MSG_DONTWAIT) > 0) {
  }
}

} // namespace

bool IsPlainTavName(const std::string& name) {
  if (name.empty() || name == "." || name == "..")
    return false;
  for (char ch : name) {
    if (ch == '/' || ch == '\\' || static_cast<unsigned char>(ch) < 0x20 || ch == 0x7F)
      return false;
  }
  return true;
}

class TTavServer::TSession {
public:
  TSession(TTavServer& server, TTavSocket socket)
      : FServer(server), FOptions(server.FOptions), FSocket(std::move(socket)), FPeer(TavPeerName(FSocket)) {}

  void Run() {
    try {
      if (!Login())
        return;
      std::string request;
      while (Read(request, kPieceSize)) {
        // The client's "OK" NUL after its last reads of a download may still be on their way.
        std::size_t oks = 0;
        while (request.compare(oks, kTavChunkOK.size(), kTavChunkOK) == 0)
          oks += kTavChunkOK.size();
        request.erase(0, oks);
        if (request.empty())
          continue;
        if (request.rfind("GETFILE: ", 0) == 0)
          ServeFile(request);
        else if (request.rfind("SENDFILE: ", 0) == 0)
          ReceiveFile(request);
        else {
          Log("? " + Printable(request) + " (neznámý požadavek)");
          return;
        }
      }
    } catch (const std::exception& e) {
      Log("chyba: " + Cp1250ToUtf8(e.what()));
    }
  }

private:
  bool Read(std::string& out, std::size_t maxBytes) {
    return FSocket.Read(
               out, maxBytes, FOptions.WaitMs, [this] { return FServer.FStop.load(); }, kStopPollMs) ==
           TTavSocket::TReadResult::Data;
  }

  void Log(const std::string& text) { FServer.Log(FPeer + " " + text); }

  static std::string Printable(const std::string& bytes) {
    std::string text;
    for (char ch : bytes.substr(0, 60))
      text += static_cast<unsigned char>(ch) < 0x20 ? '.' : ch;
    return Cp1250ToUtf8(text);
  }

  bool Login() {
    std::string first;
    if (!Read(first, kPieceSize))
      return false;
    bool accepted = false;
    std::string user;
    if (FOptions.Challenge) {
      if (first == kTavLoginRequest) {
        const std::string challenge = RandomChallenge();
        FSocket.SendAll(challenge, FOptions.WaitMs);
        std::string answer, piece;
        while (answer.size() < kTavDigestSize && Read(piece, kTavDigestSize - answer.size()))
          answer += piece;
        accepted = answer == Md5Digest(TavChallengeText(challenge, FOptions.User, FOptions.Password));
        user = FOptions.User;
      }
    } else {
      user = first;
      FSocket.SendAll(kTavChunkOK, FOptions.WaitMs);
      std::string password;
      if (!Read(password, kPieceSize))
        return false;
      accepted = first == FOptions.User && password == FOptions.Password;
    }
    FSocket.SendAll(accepted ? kTavVerdictOK : kTavVerdictRefused, FOptions.WaitMs);
    Log("LOGIN " + Printable(user) + (accepted ? " ok" : " odmítnuto"));
    return accepted;
  }

  void ServeFile(const std::string& request) {
    std::string alias, name;
    const bool valid = ParseTavGetFileRequest(request, alias, name);
    const std::string shown = "GETFILE " + Printable(alias) + "/" + Printable(name);
    // The uploads are the customers' own business: no alias reaches them.
    if (!valid || !(alias.empty() || IsPlainTavName(alias)) || alias == kIncomingFolder || !IsPlainTavName(name)) {
      FSocket.SendAll(std::string("0"), FOptions.WaitMs);
      Log(shown + " odmítnuto");
      return;
    }
    std::filesystem::path path = std::filesystem::path(FOptions.Root);
    if (!alias.empty())
      path /= Cp1250ToUtf8(alias);
    path /= Cp1250ToUtf8(name);
    // Non-blocking, so a named pipe put in the folder cannot stall the session.
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    fileio::TFd file(fd);
    struct stat st {};
    if (fd < 0 || fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
      FSocket.SendAll(std::string("0"), FOptions.WaitMs);
      Log(shown + " 0 (soubor není)");
      return;
    }
    const std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
    FSocket.SendAll(std::to_string(size), FOptions.WaitMs);
    std::string ok;
    if (!Read(ok, kPieceSize)) {
      Log(shown + " " + std::to_string(size) + " klient nepotvrdil");
      return;
    }
    char buffer[kPieceSize];
    std::uint64_t sent = 0;
    while (sent < size && !FServer.FStop) {
      const std::size_t got = fileio::ReadSome(file, buffer, sizeof buffer, Utf8ToCp1250(path.string()));
      if (got == 0)
        break;
      FSocket.SendAll(buffer, got, FOptions.WaitMs);
      DrainIncoming(FSocket);
      sent += got;
    }
    Log(shown + " " + std::to_string(sent));
  }

  void ReceiveFile(const std::string& header) {
    std::uint64_t size = 0, checksum = 0;
    std::string name;
    const bool valid = ParseTavSendFileHeader(header, size, name, checksum);
    const std::string shown = "SENDFILE " + Printable(name) + " " + std::to_string(size);
    if (!valid || !IsPlainTavName(name) || size > FOptions.MaxUploadSize) {
      FSocket.SendAll(kTavVerdictRefused, FOptions.WaitMs);
      Log(shown + " odmítnuto");
      return;
    }
    const std::string target = FServer.ReserveIncoming(Cp1250ToUtf8(name));
    struct TRelease {
      TTavServer& Server;
      std::string Path;
      ~TRelease() { Server.ReleaseIncoming(Path); }
    } release{FServer, target};
    std::optional<fileio::TAtomicFile> file(std::in_place, fileio::TNativePath{target});
    FSocket.SendAll(kTavVerdictOK, FOptions.WaitMs);
    std::uint64_t left = size, sum = 0;
    std::string piece;
    while (left > 0) {
      if (!Read(piece, left < kPieceSize ? static_cast<std::size_t>(left) : kPieceSize)) {
        Log(shown + " nedokončeno");
        return;
      }
      sum = TavChecksumAdd(sum, piece.data(), piece.size());
      fileio::WriteAll(file->Fd(), piece.data(), piece.size(), file->Target());
      left -= piece.size();
    }
    if (FOptions.TamperChecksum)
      ++sum;
    if (sum != checksum) {
      file.reset(); // gone before the client hears the verdict
      FSocket.SendAll(kTavVerdictRefused, FOptions.WaitMs);
      Log(shown + " nesouhlasí kontrolní součet");
      return;
    }
    file->Commit();
    FSocket.SendAll(kTavVerdictOK, FOptions.WaitMs);
    Log(shown + " uloženo " + std::filesystem::path(target).filename().string());
  }

  TTavServer& FServer;
  const TTavServerOptions& FOptions;
  TTavSocket FSocket;
  std::string FPeer;
};

TTavServer::TTavServer(TTavServerOptions options)
    : FOptions(std::move(options)), FListener(FOptions.Host, FOptions.Port) {
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(FOptions.Root) / kIncomingFolder, error);
  if (error)
    throw EInOutError(Utf8ToCp1250(error.message() + ": " + FOptions.Root + "/incoming"), error.value());
}

TTavServer::~TTavServer() { Stop(); }

int TTavServer::Port() const { return FListener.Port(); }

void TTavServer::Start() {
  if (!FAcceptThread.joinable() && !FStop)
    FAcceptThread = std::thread([this] { AcceptLoop(); });
}

void TTavServer::Stop() {
  FStop = true;
  if (FAcceptThread.joinable())
    FAcceptThread.join();
  ReapClients(true);
}

void TTavServer::AcceptLoop() {
  while (!FStop) {
    TTavSocket client = FListener.Accept(kStopPollMs);
    ReapClients(false);
    if (!client.IsOpen())
      continue;
    if (static_cast<int>(FClients.size()) >= FOptions.MaxClients) {
      Log(TavPeerName(client) + " odmítnuto: příliš mnoho spojení");
      continue;
    }
    auto done = std::make_shared<std::atomic<bool>>(false);
    auto session = std::make_shared<TSession>(*this, std::move(client));
    FClients.push_back({std::thread([session, done] {
                          session->Run();
                          *done = true;
                        }),
                        done});
  }
}

void TTavServer::ReapClients(bool all) {
  for (auto it = FClients.begin(); it != FClients.end();) {
    if (all || *it->Done) {
      it->Thread.join();
      it = FClients.erase(it);
    } else {
      ++it;
    }
  }
}

void TTavServer::Log(const std::string& line) {
  if (!FOptions.Log)
    return;
  const std::lock_guard<std::mutex> lock(FLogLock);
  try {
    FOptions.Log(line);
  } catch (...) {
    // a log that fails must not end a session
  }
}

std::string TTavServer::ReserveIncoming(const std::string& name) {
  const std::filesystem::path folder = std::filesystem::path(FOptions.Root) / kIncomingFolder;
  const std::lock_guard<std::mutex> lock(FIncomingLock);
  for (int n = 0;; ++n) {
    const std::string candidate = (folder / (n == 0 ? name : name + "." + std::to_string(n))).string();
    std::error_code error;
    if (!FReserved.count(candidate) && !std::filesystem::exists(candidate, error)) {
      FReserved.insert(candidate);
      return candidate;
    }
  }
}

void TTavServer::ReleaseIncoming(const std::string& path) {
  const std::lock_guard<std::mutex> lock(FIncomingLock);
  FReserved.erase(path);
}
