#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/LzhCodec.h"
#include "formats/LzhEntry.h"
#include "formats/LzhIo.h"

// Packs a file into an entry (or a bare stream) and unpacks an entry (or a bare stream) into
// a file. One object handles one entry: construct, run Compress or Decompress once, drop.
//
// The constructor opens the input read-only at inOffset (EFOpenError "Soubor %s nelze
// otevřít" when it cannot). The output is written in one of two ways:
//  - append switch and an existing output: the entry is added at its end; a failed run cuts
//    the file back to its old length;
//  - otherwise a new file beside the target that replaces it only when the run is complete,
//    so a failed run leaves an earlier file of that name untouched and no temporary file.
// Bad entry headers and damaged streams raise ELZHException "Soubor %s nemá správný formát
// dat" (the input file name); operating-system failures EInOutError.
class TFileLZH : public _LZH {
public:
  TFileLZH(std::string inFileName, bool withHeader, bool append, std::uint64_t inOffset, std::string outFileName);
  ~TFileLZH() override;

  // With the header switch: an entry header for the input file (its modification time as
  // local DOS date and time, its size, its name without folder), the stream of the whole
  // input from the offset, then the compressed size filled in. Without: the bare stream.
  void Compress();
  // With the header switch: checks the entry header at the input offset, reads no further
  // than the entry's end, decodes into the output and gives it the stored date and time.
  // Without: decodes a bare stream from the offset.
  void Decompress();

  const TLZHHeader& Header() const { return FHeader; }
  const std::string& StoredName() const { return FStoredName; }

protected:
  // In this order after the codec's hooks.
  virtual void OpenInput(std::uint64_t offset);
  virtual void OpenOutput();
  virtual void ReadHeader();
  virtual void WriteHeader();
  virtual void CompleteHeader();

  void FlushOutput(const unsigned char* data, std::size_t size) override;
  std::size_t FillInput(unsigned char* data, std::size_t capacity) override;

private:
  void Finish();
  void Abandon() noexcept;
  void WriteOut();

  std::string FInFileName;
  std::string FOutFileName;
  bool FWithHeader;
  bool FAppend;
  std::uint64_t FInOffset;
  TLZHHeader FHeader;
  std::string FStoredName;

  lzhio::TFd FIn;
  std::uint64_t FInSize = 0;
  std::uint64_t FInLeft = 0; // bytes of the entry not yet read
  lzhio::TReadAhead FReadAhead;
  std::vector<unsigned char> FOutBuffer; // gathers the codec's small writes into big ones
  lzhio::TFd FAppendOut;
  std::unique_ptr<lzhio::TAtomicFile> FNewOut;
  std::uint64_t FOutStart = 0; // where the entry starts in the output
  std::uint64_t FOutWritten = 0;
  bool FDecompressing = false;
  bool FDone = false;
};

// Unpacks an entry (or a bare stream) of a file into memory. The constructor opens the input
// like TFileLZH's; errors are the same.
class TMemoryLZH : public _LZH {
public:
  TMemoryLZH(std::string inFileName, bool withHeader, std::uint64_t inOffset);

  // The entry's unpacked bytes (empty for an entry of size 0). Memory grows with what the
  // stream actually yields, so a forged size costs at most what the compressed bytes can
  // expand to.
  std::vector<unsigned char> DecompressToMemory();

  const TLZHHeader& Header() const { return FHeader; }
  const std::string& StoredName() const { return FStoredName; }

protected:
  virtual void OpenInput(std::uint64_t offset);
  virtual void ReadHeader();

  void FlushOutput(const unsigned char* data, std::size_t size) override;
  std::size_t FillInput(unsigned char* data, std::size_t capacity) override;

private:
  std::string FInFileName;
  bool FWithHeader;
  std::uint64_t FInOffset;
  TLZHHeader FHeader;
  std::string FStoredName;

  lzhio::TFd FIn;
  std::uint64_t FInSize = 0;
  std::uint64_t FInLeft = 0;
  lzhio::TReadAhead FReadAhead;
  std::vector<unsigned char> FBlock;
};
