// What the fuzz targets share.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sim/rom_builder.h"

namespace ql::fuzz {

// A 64 KiB image as romtool makes it, built on `date`.
inline std::vector<uint8_t> Rom64(const char* date = "01/10/05") {
  std::vector<uint8_t> image;
  std::string error;
  if (!sim::BuildRom({.sizeKb = 64, .buildDate = date}, &image, &error)) image.clear();
  return image;
}

// The fuzzer keeps an input that breaks a promise as a crash; the line names the promise.
inline void Require(bool kept, int line = __builtin_LINE()) {
  if (kept) return;
  std::fprintf(stderr, "broken promise at line %d\n", line);
  std::abort();
}

}  // namespace ql::fuzz
