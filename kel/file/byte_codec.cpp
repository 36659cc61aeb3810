#include "kel/file/byte_codec.h"

#include "kel/err/error.h"

namespace kel::file {

void endOfFile(std::string_view name) {
  throw err::Error("End of file reached (" + std::string(name) + ")");
}

void outOfRange(const std::string& what) {
  throw err::Error("Integer out of range (" + what + ")");
}

void appendString(std::string& out, std::string_view text) {
  if (text.size() > 0x7FFFFFFFu)
    outOfRange("a string of " + std::to_string(text.size()) + " bytes");
  appendUInt(out, static_cast<unsigned>(text.size() * 2));
  out.append(text.data(), text.size());
}

}  // namespace kel::file
