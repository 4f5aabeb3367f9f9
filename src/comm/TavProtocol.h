#pragma once

#include <cstdint>
#include <string>

// The wire texts of the TAV server protocol, shared by the client and the companion server.
// All text is code page 1250; a message is the bytes of one send, with no length prefix and no
// line end.

inline const std::string kTavLoginRequest = "$$$LOGIN$$$";
inline const std::string kTavVerdictOK{"0\0", 2};
inline const std::string kTavVerdictRefused{"1\0", 2};
inline const std::string kTavChunkOK{"OK\0", 3};
// The size of the client's challenge answer (an MD5 digest).
constexpr std::size_t kTavDigestSize = 16;

// The text whose MD5 digest answers a challenge: the password inserted before the challenge's
// last five bytes (at its start when it is shorter), then the user name inserted after the
// first four bytes of that (at its end when it is shorter).
std::string TavChallengeText(const std::string& challenge, const std::string& user, const std::string& password);

// The 16 raw bytes of the MD5 digest (RFC 1321).
std::string Md5Digest(const std::string& bytes);

// "GETFILE: " TAB alias TAB name TAB "0".
std::string TavGetFileRequest(const std::string& alias, const std::string& name);
// "SENDFILE: " TAB size TAB name TAB checksum TAB NUL.
std::string TavSendFileHeader(std::uint64_t size, const std::string& name, std::uint64_t checksum);

// A signed 64-bit decimal number with optional leading blanks and sign and nothing after the
// digits (the platform's integer conversion). False for anything else.
bool ParseTavInteger(const std::string& text, std::int64_t& value);

// The size reply of a download: the bytes before the first NUL read as a signed 64-bit
// decimal number (leading blanks and a sign accepted); anything else is -1.
std::int64_t ParseTavSize(const std::string& reply);

// The checksum of an upload: the sum of the bytes, each 0..255, in 64 bits.
std::uint64_t TavChecksumAdd(std::uint64_t sum, const void* data, std::size_t size);

// The server's reading of the client's requests. False when the bytes are not such a request.
bool ParseTavGetFileRequest(const std::string& bytes, std::string& alias, std::string& name);
bool ParseTavSendFileHeader(const std::string& bytes, std::uint64_t& size, std::string& name, std::uint64_t& checksum);

// The last component of a file name after any "\" or "/".
std::string TavBareFileName(const std::string& path);
