// Helpers shared by the fuzz targets: the check that turns a broken property into a finding,
// scratch files for code that reads its input by name, and the cutting of one input into fields.
#ifndef CORVEX_FUZZ_FUZZ_UTIL_H
#define CORVEX_FUZZ_FUZZ_UTIL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace fuzz {

// A finding: writes "property violated: <property>" and detail to standard error and aborts, so
// that libFuzzer keeps the input as the reproducer.
[[noreturn]] void fail(const char* property, const std::string& detail = std::string());

inline void check(bool holds, const char* property, const std::string& detail = std::string()) {
  if (!holds) fail(property, detail);
}

// A directory of this process under $TMPDIR (or /tmp), made on first use and removed when the
// process ends normally.
const std::string& scratchDirectory();

// scratchDirectory()/name
std::string scratchPath(const std::string& name);

// Replaces the file path with bytes.
void writeFile(const std::string& path, std::string_view bytes);

// Replaces scratchPath(name) with bytes and returns its path.
std::string writeScratchFile(const std::string& name, std::string_view bytes);

// The whole file, or "" when it cannot be read.
std::string readWholeFile(const std::string& path);

// Bytes shown as C escapes, at most limit of them, for the detail of a finding.
std::string quoted(std::string_view bytes, std::size_t limit = 200);

// The fields of one input: next(separator) returns the bytes up to the next separator (and skips
// it), or everything left when there is none; nothing left gives empty fields.
class Fields {
 public:
  Fields(const std::uint8_t* data, std::size_t size)
      : rest_(reinterpret_cast<const char*>(data), size) {}
  std::string_view next(char separator) {
    const std::size_t at = rest_.find(separator);
    const std::string_view field = rest_.substr(0, at);
    rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + 1);
    return field;
  }
  // The first byte left (and skips it), or 0 when nothing is left.
  unsigned char byte() {
    if (rest_.empty()) return 0;
    const unsigned char b = static_cast<unsigned char>(rest_.front());
    rest_.remove_prefix(1);
    return b;
  }
  std::string_view rest() const { return rest_; }

 private:
  std::string_view rest_;
};

}  // namespace fuzz

#endif
