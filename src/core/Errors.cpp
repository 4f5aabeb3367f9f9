#include "core/Errors.h"

#include <cstring>

EInOutError SystemError(const std::string& fileName, int errnoValue) {
  return EInOutError(std::string(std::strerror(errnoValue)) + ": " + fileName, errnoValue);
}
