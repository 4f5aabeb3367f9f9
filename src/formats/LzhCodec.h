#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/Errors.h"

// A packed file or stream that does not hold what it claims: "Soubor %s nemá správný formát
// dat" with the input file name.
class ELZHException : public Exception {
public:
  using Exception::Exception;
};

// The LZHUF codec: LZSS over a 4096-byte ring with a binary search tree as match finder,
// followed by adaptive Huffman coding of literals and match lengths and a fixed code for the
// upper bits of match positions. Streams are "4-byte little-endian count, then code bits" and
// match the classic LZHUF program byte for byte, except that a Huffman code longer than 16
// bits is written in full (the classic cuts it and cannot read its own output back).
//
// Derived classes supply the bytes (FillInput) and take the result (FlushOutput); Encode and
// Decode run one stream each and may be called again on the same object, the codec state is
// initialised by each run. Failures of the hooks propagate unchanged. Encode codes inputs of
// 64 KB and more with a helper thread (match finding and Huffman coding overlap); the hooks
// are still called only on the caller's thread, and the helper is joined before Encode
// returns or throws.
class _LZH {
public:
  static constexpr int N = 4096;                     // ring buffer
  static constexpr int F = 60;                       // look-ahead, longest match
  static constexpr int THRESHOLD = 2;                // matches this short go out as literals
  static constexpr int N_CHAR = 256 - THRESHOLD + F; // 256 literals + lengths 3..60
  static constexpr int T = 2 * N_CHAR - 1;           // nodes of the Huffman tree
  static constexpr int R = T - 1;                    // its root
  static constexpr unsigned MAX_FREQ = 0x8000;       // root frequency that halves the counts
  static constexpr std::size_t BufferSize = 10240;   // input and output buffers

  _LZH(const _LZH&) = delete;
  _LZH& operator=(const _LZH&) = delete;
  virtual ~_LZH();

protected:
  // errorFileName: the input file named in format errors (code page 1250).
  explicit _LZH(std::string errorFileName);

  // Writes the stream of exactly `size` input bytes: the count, then the code bits. Input
  // that ends early is an EInOutError (the file changed while it was read).
  void Encode(std::uint32_t size);
  // Reads one stream and produces exactly its count of bytes (a last match running past the
  // count is cut there). A stream whose bits end before that is an ELZHException; bytes
  // FillInput gives after the needed ones are ignored.
  void Decode();

  // The hooks, in this order: take `size` bytes of output; give up to `capacity` bytes of
  // input (0 = no more); a line of status text; progress of the current run (input bytes
  // for Encode, output bytes for Decode). The last two do nothing here.
  virtual void FlushOutput(const unsigned char* data, std::size_t size) = 0;
  virtual std::size_t FillInput(unsigned char* data, std::size_t capacity) = 0;
  virtual void StatusText(const std::string& text);
  virtual void Progress(std::uint64_t done, std::uint64_t total);

  // ELZHException "Soubor %s nemá správný formát dat" naming the input file.
  [[noreturn]] void RaiseFormatError() const;

private:
  struct TState;

  // Search tree of the encoder.
  void InitTree();
  void InsertNode(int r);
  void DeleteNode(int p);
  // Adaptive Huffman tree.
  void StartHuff();
  void Reconst();
  void Update(int c);
  void UpdatePath(const int* path, int depth, int c);
  // Output bits and bytes.
  void PutBits(std::uint64_t code, int length);
  void EncodeChar(unsigned c);
  void EncodePosition(unsigned c);
  void PutByte(unsigned char b);
  void FlushBits();
  void FlushBuffer();
  // The Huffman stage of Encode on a thread of its own (pipeline: its TCoderPipeline).
  void RunCoder(void* pipeline);
  // Input bytes and bits.
  bool RefillInput();
  void RefillBits();

  std::string FErrorFileName;
  std::unique_ptr<TState> FState;
};

// A whole stream in memory: the bare stream of `data`; and the bytes of a bare stream
// (ELZHException naming errorFileName when it is damaged or truncated). Decoding never holds
// more than the stream can produce, whatever its count says.
std::string LzhEncodeBytes(std::string_view data);
std::string LzhDecodeBytes(std::string_view stream, const std::string& errorFileName);
