#pragma once

// An HTTPS server on loopback for one test: a self-signed certificate for 127.0.0.1 made in
// memory (its PEM written to a file the client trusts), one canned reply for every request,
// connections served one after another. Sockets are non-blocking and polled with a short period,
// so stopping never waits for a client.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>

class THttpsTestServer {
public:
  // certificateFile: where the certificate's PEM goes, for the client's trusted store.
  THttpsTestServer(const std::string& certificateFile, std::string body) : FBody(std::move(body)) {
    MakeIdentity(certificateFile);
    FListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (FListen < 0 || ::bind(FListen, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(FListen, 8) != 0 || ::getsockname(FListen, reinterpret_cast<sockaddr*>(&address), &length) != 0)
      throw std::runtime_error("https test server: bind");
    FPort = ntohs(address.sin_port);
    FThread = std::thread([this] { Loop(); });
  }
  ~THttpsTestServer() {
    FStop = true;
    FThread.join();
    ::close(FListen);
  }
  THttpsTestServer(const THttpsTestServer&) = delete;
  THttpsTestServer& operator=(const THttpsTestServer&) = delete;

  std::string Url() const { return "https://127.0.0.1:" + std::to_string(FPort); }
  int Requests() const { return FRequests; }

private:
  struct TFree {
    void operator()(EVP_PKEY* p) const { EVP_PKEY_free(p); }
    void operator()(X509* p) const { X509_free(p); }
    void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
    void operator()(SSL* p) const { SSL_free(p); }
    void operator()(X509_EXTENSION* p) const { X509_EXTENSION_free(p); }
  };

  void MakeIdentity(const std::string& certificateFile) {
    FKey.reset(EVP_EC_gen("P-256"));
    FCert.reset(X509_new());
    if (!FKey || !FCert)
      throw std::runtime_error("https test server: key");
    X509* cert = FCert.get();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 86400);
    X509_set_pubkey(cert, FKey.get());
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, cert, cert, nullptr, nullptr, 0);
    for (const auto& [nid, value] :
         {std::pair{NID_subject_alt_name, "IP:127.0.0.1"}, std::pair{NID_basic_constraints, "critical,CA:TRUE"}}) {
      std::unique_ptr<X509_EXTENSION, TFree> extension(X509V3_EXT_conf_nid(nullptr, &context, nid, value));
      X509_add_ext(cert, extension.get(), -1);
    }
    if (X509_sign(cert, FKey.get(), EVP_sha256()) == 0)
      throw std::runtime_error("https test server: sign");

    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    std::ofstream(certificateFile, std::ios::binary).write(data, size);
    BIO_free(bio);

    FContext.reset(SSL_CTX_new(TLS_server_method()));
    if (!FContext || SSL_CTX_use_certificate(FContext.get(), cert) != 1 ||
        SSL_CTX_use_PrivateKey(FContext.get(), FKey.get()) != 1)
      throw std::runtime_error("https test server: context");
  }

  // Waits for the socket while the TLS layer wants it; false when stopping or the peer is gone.
  bool Wait(SSL* ssl, int fd, int result) {
    const int error = SSL_get_error(ssl, result);
    if (error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE)
      return false;
    pollfd p{fd, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
    while (!FStop)
      if (::poll(&p, 1, 50) > 0)
        return true;
    return false;
  }

  void Serve(int fd) {
    std::unique_ptr<SSL, TFree> ssl(SSL_new(FContext.get()));
    SSL_set_fd(ssl.get(), fd);
    int result;
    while ((result = SSL_accept(ssl.get())) != 1)
      if (!Wait(ssl.get(), fd, result))
        return;
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      result = SSL_read(ssl.get(), buffer, sizeof buffer);
      if (result > 0)
        request.append(buffer, static_cast<size_t>(result));
      else if (!Wait(ssl.get(), fd, result))
        return;
    }
    ++FRequests;
    const std::string reply =
        "HTTP/1.1 200 OK\r\nConnection: close\r\nContent-Length: " + std::to_string(FBody.size()) + "\r\n\r\n" + FBody;
    size_t done = 0;
    while (done < reply.size()) {
      result = SSL_write(ssl.get(), reply.data() + done, static_cast<int>(reply.size() - done));
      if (result > 0)
        done += static_cast<size_t>(result);
      else if (!Wait(ssl.get(), fd, result))
        return;
    }
    SSL_shutdown(ssl.get());
  }

  void Loop() {
    while (!FStop) {
      pollfd p{FListen, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0)
        continue;
      const int client = ::accept4(FListen, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (client < 0)
        continue;
      Serve(client);
      ::close(client);
    }
  }

  std::string FBody;
  std::unique_ptr<EVP_PKEY, TFree> FKey;
  std::unique_ptr<X509, TFree> FCert;
  std::unique_ptr<SSL_CTX, TFree> FContext;
  int FListen = -1;
  int FPort = 0;
  std::atomic<bool> FStop{false};
  std::atomic<int> FRequests{0};
  std::thread FThread;
};
