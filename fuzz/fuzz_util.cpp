#include "fuzz_util.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

namespace fuzz {

namespace {

void removeScratch() {
  std::error_code ignored;
  std::filesystem::remove_all(scratchDirectory(), ignored);
}

}  // namespace

void fail(const char* property, const std::string& detail) {
  std::cerr << "\nproperty violated: " << property << "\n";
  if (!detail.empty()) std::cerr << detail << "\n";
  std::cerr.flush();
  std::abort();
}

const std::string& scratchDirectory() {
  // Never destroyed: the exit handler that removes the directory runs after static destructors.
  static const std::string* const path = [] {
    const char* tmp = std::getenv("TMPDIR");
    auto* dir = new std::string(std::string(tmp && *tmp ? tmp : "/tmp") + "/corvex-fuzz-" +
                                std::to_string(::getpid()));
    std::filesystem::create_directories(*dir);
    std::atexit(removeScratch);
    return dir;
  }();
  return *path;
}

std::string scratchPath(const std::string& name) { return scratchDirectory() + "/" + name; }

void writeFile(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) fail("scratch file written", path);
}

std::string writeScratchFile(const std::string& name, std::string_view bytes) {
  const std::string path = scratchPath(name);
  writeFile(path, bytes);
  return path;
}

std::string readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string quoted(std::string_view bytes, std::size_t limit) {
  std::ostringstream out;
  out << '"';
  std::size_t n = 0;
  for (const char c : bytes) {
    if (n++ == limit) {
      out << "...";
      break;
    }
    const unsigned char u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out << '\\' << c;
    } else if (u >= 0x20 && u < 0x7F) {
      out << c;
    } else {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", u);
      out << hex;
    }
  }
  out << "\" (" << bytes.size() << " bytes)";
  return out.str();
}

}  // namespace fuzz
