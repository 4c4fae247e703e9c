// File helpers the benchmarks share.
#pragma once

#include <fstream>
#include <string>

// Replaces to with a copy of from; false when either file fails.
inline bool copyFile(const std::string& from, const std::string& to) {
  std::ifstream in(from, std::ios::binary);
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  out << in.rdbuf();
  return in && out.good();
}
