#include "formats/LzhCodec.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>
#include <thread>

#include "core/Format.h"
#include "formats/Cp1250Utf8.h"
#include "formats/LzhCodecState.h"

using namespace lzhcodec;

_LZH::_LZH(std::string errorFileName) : FErrorFileName(std::move(errorFileName)), FState(std::make_unique<TState>()) {}

_LZH::~_LZH() = default;

void _LZH::StatusText(const std::string& /*text*/) {}

void _LZH::Progress(std::uint64_t /*done*/, std::uint64_t /*total*/) {}

void _LZH::RaiseFormatError() const {
  throw ELZHException(Format(Cz("Soubor %s nemá správný formát dat"), {FErrorFileName}));
}

// ---------------------------------------------------------------------------------------
// Output.

void _LZH::FlushBuffer() {
  TState& st = *FState;
  if (st.codedSink) {
    st.codedSink->insert(st.codedSink->end(), st.out, st.out + st.outLen);
    st.outLen = 0;
    return;
  }
  if (st.outLen > 0) {
    const std::size_t n = st.outLen;
    st.outLen = 0;
    FlushOutput(st.out, n);
  }
}

void _LZH::PutByte(unsigned char b) {
  TState& st = *FState;
  st.out[st.outLen++] = b;
  if (st.outLen >= BufferSize)
    FlushBuffer();
}

void _LZH::PutBits(std::uint64_t code, int length) {
  TState& st = *FState;
  if (length > 32) {
    PutBits(code >> 32, length - 32);
    length = 32;
    code &= 0xffffffffu;
  }
  st.bitBuf = (st.bitBuf << length) | code;
  st.bitCount += length;
  if (st.bitCount >= 32) {
    st.bitCount -= 32;
    const auto word = static_cast<std::uint32_t>(st.bitBuf >> st.bitCount);
    unsigned char* o = st.out + st.outLen;
    o[0] = static_cast<unsigned char>(word >> 24);
    o[1] = static_cast<unsigned char>(word >> 16);
    o[2] = static_cast<unsigned char>(word >> 8);
    o[3] = static_cast<unsigned char>(word);
    st.outLen += 4;
    if (st.outLen >= BufferSize)
      FlushBuffer();
  }
}

void _LZH::FlushBits() {
  TState& st = *FState;
  while (st.bitCount >= 8) {
    st.bitCount -= 8;
    PutByte(static_cast<unsigned char>(st.bitBuf >> st.bitCount));
  }
  if (st.bitCount > 0)
    PutByte(static_cast<unsigned char>(st.bitBuf << (8 - st.bitCount)));
  st.bitCount = 0;
}

// ---------------------------------------------------------------------------------------
// Input.

bool _LZH::RefillInput() {
  TState& st = *FState;
  if (st.inEnded)
    return false;
  std::size_t want = BufferSize;
  if (st.inLimited)
    want = static_cast<std::size_t>(std::min<std::uint64_t>(BufferSize, st.inRemaining));
  st.inPos = 0;
  st.inLen = want > 0 ? FillInput(st.in, want) : 0;
  if (st.inLen > want)
    st.inLen = want;
  if (st.inLen == 0) {
    st.inEnded = true;
    return false;
  }
  st.inRemaining -= std::min<std::uint64_t>(st.inRemaining, st.inLen);
  return true;
}

void _LZH::RefillBits() {
  TState& st = *FState;
  if (st.inLen - st.inPos >= 8) {
    st.bitBuf |= LoadBigEndian64(st.in + st.inPos) >> st.bitCount;
    st.inPos += static_cast<std::size_t>((63 - st.bitCount) >> 3);
    st.bitCount |= 56;
    return;
  }
  while (st.bitCount <= 56) {
    if (st.inPos == st.inLen && !RefillInput()) {
      // Past the end: zeros that must never be used (checked after each symbol).
      st.bitCount += 8;
      st.padBits += 8;
      continue;
    }
    st.bitBuf |= static_cast<std::uint64_t>(st.in[st.inPos++]) << (56 - st.bitCount);
    st.bitCount += 8;
  }
}

// ---------------------------------------------------------------------------------------

namespace {

// Inputs this large are coded in two stages at once: the match finder on the caller's thread
// hands blocks of symbols to the Huffman coder on a second one, which hands back blocks of
// code bytes. The stages share no state; the stream is the same as from one thread.
constexpr std::uint32_t PipelineFrom = 64 * 1024;
constexpr std::size_t SymbolsPerBlock = 16384;
constexpr std::size_t BlocksQueued = 4;

struct TCoderPipeline {
  std::mutex Lock;
  std::condition_variable Changed;
  std::deque<std::vector<std::uint32_t>> Symbols; // symbol | position << 16, for the coder
  std::deque<std::vector<unsigned char>> Coded;   // for the output, in order
  bool ParseDone = false;
  bool Abort = false;
  bool CoderDone = false;
  std::exception_ptr CoderError;
};

} // namespace

void _LZH::RunCoder(void* pipeline) {
  TState& st = *FState;
  TCoderPipeline& pipe = *static_cast<TCoderPipeline*>(pipeline);
  try {
    for (;;) {
      std::vector<std::uint32_t> block;
      {
        std::unique_lock<std::mutex> lock(pipe.Lock);
        pipe.Changed.wait(lock, [&] { return pipe.Abort || pipe.ParseDone || !pipe.Symbols.empty(); });
        if (pipe.Abort)
          return;
        if (pipe.Symbols.empty())
          break;
        block = std::move(pipe.Symbols.front());
        pipe.Symbols.pop_front();
      }
      pipe.Changed.notify_all();
      std::vector<unsigned char> coded;
      coded.reserve(block.size() * 2);
      st.codedSink = &coded;
      for (const std::uint32_t item : block) {
        const unsigned symbol = item & 0xffff;
        EncodeChar(symbol);
        if (symbol >= 256)
          EncodePosition(item >> 16);
      }
      FlushBuffer();
      st.codedSink = nullptr;
      {
        std::lock_guard<std::mutex> lock(pipe.Lock);
        pipe.Coded.push_back(std::move(coded));
      }
      pipe.Changed.notify_all();
    }
    std::vector<unsigned char> coded;
    st.codedSink = &coded;
    FlushBits();
    FlushBuffer();
    st.codedSink = nullptr;
    {
      std::lock_guard<std::mutex> lock(pipe.Lock);
      pipe.Coded.push_back(std::move(coded));
      pipe.CoderDone = true;
    }
  } catch (...) {
    st.codedSink = nullptr;
    std::lock_guard<std::mutex> lock(pipe.Lock);
    pipe.CoderError = std::current_exception();
    pipe.CoderDone = true;
  }
  pipe.Changed.notify_all();
}

void _LZH::Encode(std::uint32_t size) {
  TState& st = *FState;
  st.inPos = st.inLen = 0;
  st.inEnded = false;
  st.inRemaining = size;
  st.inLimited = true;
  st.outLen = 0;
  st.bitBuf = 0;
  st.bitCount = 0;
  st.done = 0;
  st.total = size;
  StatusText(FErrorFileName);
  for (int i = 0; i < 4; i++)
    PutByte(static_cast<unsigned char>(size >> (8 * i)));
  FlushBuffer();
  if (size == 0)
    return;

  TCoderPipeline pipe;
  std::thread coder;
  std::vector<std::uint32_t> block;
  if (size >= PipelineFrom) {
    try {
      coder = std::thread([this, &pipe] { RunCoder(&pipe); });
      block.reserve(SymbolsPerBlock);
    } catch (const std::system_error&) {
      // No second thread to be had: code on this one.
    }
  }
  // Stops and joins the coder on every way out.
  struct TJoin {
    TCoderPipeline& Pipe;
    std::thread& Coder;
    ~TJoin() {
      if (!Coder.joinable())
        return;
      {
        std::lock_guard<std::mutex> lock(Pipe.Lock);
        Pipe.Abort = true;
      }
      Pipe.Changed.notify_all();
      Coder.join();
    }
  } join{pipe, coder};
  const bool threaded = coder.joinable();

  // Output the coder has finished, on this thread; with `last`, everything up to its end.
  auto takeCoded = [&](bool last) {
    for (;;) {
      std::deque<std::vector<unsigned char>> ready;
      bool done;
      {
        std::unique_lock<std::mutex> lock(pipe.Lock);
        if (last)
          pipe.Changed.wait(lock, [&] { return pipe.CoderDone || !pipe.Coded.empty(); });
        ready.swap(pipe.Coded);
        done = pipe.CoderDone;
        if (pipe.CoderError)
          std::rethrow_exception(pipe.CoderError);
      }
      for (const std::vector<unsigned char>& bytes : ready)
        if (!bytes.empty())
          FlushOutput(bytes.data(), bytes.size());
      if (!last || (done && ready.empty()))
        return;
    }
  };
  auto submit = [&](bool last) {
    {
      std::unique_lock<std::mutex> lock(pipe.Lock);
      pipe.Changed.wait(lock, [&] { return pipe.Symbols.size() < BlocksQueued || pipe.CoderDone; });
      pipe.Symbols.push_back(std::move(block));
      pipe.ParseDone = last;
    }
    pipe.Changed.notify_all();
    block.clear();
    block.reserve(SymbolsPerBlock);
    takeCoded(last);
  };
  auto emit = [&](unsigned symbol, unsigned position) {
    if (!threaded) {
      EncodeChar(symbol);
      if (symbol >= 256)
        EncodePosition(position);
      return;
    }
    block.push_back(symbol | position << 16);
    if (block.size() == SymbolsPerBlock)
      submit(false);
  };

  auto nextByte = [&st, this]() -> int {
    if (st.inPos == st.inLen) {
      if (st.inRemaining == 0)
        return -1;
      if (!RefillInput())
        throw SystemError(FErrorFileName, EIO);
      st.done += st.inLen;
      Progress(st.done, st.total);
    }
    return st.in[st.inPos++];
  };

  StartHuff();
  InitTree();
  unsigned char* const tb = st.text_buf;
  // Only the first N - F bytes start as spaces; the rest of the ring and its mirror start as
  // zeros, and near the end of a short input those zeros decide between equal matches.
  std::memset(tb, 0, sizeof st.text_buf);
  std::memset(tb, ' ', N - F);
  int s = 0;
  int r = N - F;
  int len = 0;
  for (int c; len < F && (c = nextByte()) >= 0; len++)
    tb[r + len] = static_cast<unsigned char>(c);
  for (int i = 1; i <= F; i++)
    InsertNode(r - i);
  InsertNode(r);
  do {
    if (st.match_length > len)
      st.match_length = len;
    if (st.match_length <= THRESHOLD) {
      st.match_length = 1;
      emit(tb[r], 0);
    } else {
      emit(static_cast<unsigned>(255 - THRESHOLD + st.match_length), static_cast<unsigned>(st.match_position));
    }
    const int lastMatchLength = st.match_length;
    int i = 0;
    for (int c; i < lastMatchLength && (c = nextByte()) >= 0; i++) {
      DeleteNode(s);
      tb[s] = static_cast<unsigned char>(c);
      if (s < F - 1)
        tb[s + N] = static_cast<unsigned char>(c);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      InsertNode(r);
    }
    while (i++ < lastMatchLength) {
      DeleteNode(s);
      s = (s + 1) & (N - 1);
      r = (r + 1) & (N - 1);
      if (--len)
        InsertNode(r);
    }
  } while (len > 0);
  if (threaded) {
    submit(true);
    return;
  }
  FlushBits();
  FlushBuffer();
}

void _LZH::Decode() {
  TState& st = *FState;
  st.inPos = st.inLen = 0;
  st.inEnded = false;
  st.inRemaining = 0;
  st.inLimited = false;
  st.outLen = 0;
  st.bitBuf = 0;
  st.bitCount = 0;
  st.padBits = 0;
  st.done = 0;
  st.total = 0;
  StatusText(FErrorFileName);

  std::uint32_t count = 0;
  for (int i = 0; i < 4; i++) {
    if (st.inPos == st.inLen && !RefillInput())
      RaiseFormatError();
    count |= static_cast<std::uint32_t>(st.in[st.inPos++]) << (8 * i);
  }
  if (count == 0)
    return;
  st.total = count;

  StartHuff();
  unsigned char* const tb = st.text_buf;
  std::memset(tb, ' ', N - F);

  // The hot loop keeps the bit reader in locals: byte stores into the ring and the output
  // could otherwise alias the state and force it through memory on every step.
  std::int16_t* const son = st.son;
  unsigned char* const out = st.out;
  const unsigned char* const in = st.in;
  std::size_t outLen = 0;
  std::uint64_t bitBuf = 0;
  int bitCount = 0;
  std::size_t inPos = st.inPos;
  std::size_t inLen = st.inLen;
  unsigned r = N - F;
  std::uint32_t remaining = count;
  while (remaining > 0) {
    // At least 56 bits from here: a code (at most 21 bits as the counts stay below 0x8000,
    // never more than MaxDepth) and a position (at most 14) always fit.
    if (bitCount < 40) {
      if (inLen - inPos >= 8) {
        bitBuf |= LoadBigEndian64(in + inPos) >> bitCount;
        inPos += static_cast<std::size_t>((63 - bitCount) >> 3);
        bitCount |= 56;
      } else {
        st.bitBuf = bitBuf;
        st.bitCount = bitCount;
        st.inPos = inPos;
        st.inLen = inLen;
        RefillBits();
        bitBuf = st.bitBuf;
        bitCount = st.bitCount;
        inPos = st.inPos;
        inLen = st.inLen;
      }
    }
    int path[MaxDepth];
    int depth = 0;
    unsigned c = static_cast<unsigned>(son[R]);
    do {
      const unsigned node = c + static_cast<unsigned>(bitBuf >> 63);
      bitBuf <<= 1;
      path[depth++] = static_cast<int>(node);
      c = static_cast<unsigned>(son[node]);
    } while (c < static_cast<unsigned>(T) && depth < MaxDepth);
    bitCount -= depth;
    if (c < static_cast<unsigned>(T)) // a deeper tree than the counts allow: cannot happen
      RaiseFormatError();
    c -= T;
    UpdatePath(path, depth, static_cast<int>(c));

    if (c < 256) {
      tb[r] = static_cast<unsigned char>(c);
      r = (r + 1) & (N - 1);
      out[outLen++] = static_cast<unsigned char>(c);
      remaining--;
    } else {
      const unsigned top = static_cast<unsigned>(bitBuf >> 56);
      const int bits = PositionTables.Length[top] + 6;
      const unsigned position = (static_cast<unsigned>(PositionTables.Code[top]) << 6) |
                                (static_cast<unsigned>(bitBuf >> (64 - bits)) & 0x3f);
      bitBuf <<= bits;
      bitCount -= bits;
      const unsigned from = (r - position - 1) & (N - 1);
      // A match running past the count (only a damaged stream has one) is cut there.
      const unsigned length = std::min<std::uint32_t>(c - 255 + THRESHOLD, remaining);
      unsigned char* o = out + outLen;
      if (from + length <= N && r + length <= N && position + 1 >= length) {
        // No wrap and no overlap with the bytes being written: plain copies.
        std::memcpy(o, tb + from, length);
        std::memcpy(tb + r, o, length);
        r = (r + length) & (N - 1);
      } else {
        for (unsigned k = 0; k < length; k++) {
          const unsigned char b = tb[(from + k) & (N - 1)];
          tb[r] = b;
          r = (r + 1) & (N - 1);
          o[k] = b;
        }
      }
      outLen += length;
      remaining -= length;
    }
    // Zeros made up past the end of the input may be looked at, never used.
    if (bitCount < st.padBits)
      RaiseFormatError();
    if (outLen >= BufferSize) {
      st.done += outLen;
      st.outLen = outLen;
      FlushBuffer();
      outLen = 0;
      Progress(st.done, st.total);
    }
  }
  st.outLen = outLen;
  FlushBuffer();
}

// ---------------------------------------------------------------------------------------

namespace {

class TBytesLZH : public _LZH {
public:
  TBytesLZH(std::string_view input, std::string errorFileName) : _LZH(std::move(errorFileName)), FInput(input) {}

  std::string Encoded() {
    if (FInput.size() > 0xffffffffu)
      RaiseFormatError();
    Encode(static_cast<std::uint32_t>(FInput.size()));
    return std::move(FOutput);
  }
  std::string Decoded() {
    Decode();
    return std::move(FOutput);
  }

protected:
  void FlushOutput(const unsigned char* data, std::size_t size) override {
    FOutput.append(reinterpret_cast<const char*>(data), size);
  }
  std::size_t FillInput(unsigned char* data, std::size_t capacity) override {
    const std::size_t n = std::min(capacity, FInput.size() - FPos);
    std::memcpy(data, FInput.data() + FPos, n);
    FPos += n;
    return n;
  }

private:
  std::string_view FInput;
  std::size_t FPos = 0;
  std::string FOutput;
};

} // namespace

std::string LzhEncodeBytes(std::string_view data) { return TBytesLZH(data, {}).Encoded(); }

std::string LzhDecodeBytes(std::string_view stream, const std::string& errorFileName) {
  return TBytesLZH(stream, errorFileName).Decoded();
}
