#pragma once

#include <cstdint>
#include <string>

#include "formats/LzhEntry.h"
#include "formats/LzhIo.h"

namespace lzhentry {

// The checks of ReadEntryInfo on a file already open: false for anything that is not a
// whole valid entry at `offset`; raises only for a failing read.
bool ReadEntry(const lzhio::TFd& fd, const std::string& fileName, std::uint64_t offset, TLZHHeader& header,
               std::string& name);

} // namespace lzhentry
