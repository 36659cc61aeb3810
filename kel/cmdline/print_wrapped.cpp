#include "kel/cmdline/print_wrapped.h"

#include <string>

namespace kel::cmdline {

namespace {

void writeBlanks(std::ostream& os, unsigned count) {
  for (unsigned i = 0; i < count; ++i) os << ' ';
}

// One line of the text, without '\n' in it.
void printWrappedLine(std::ostream& os, unsigned indent, unsigned margin, unsigned width,
                      std::string_view text) {
  // Unsigned on purpose: an indent beyond the width gives a length no text reaches.
  const std::size_t lineLength = static_cast<unsigned>(width - indent);
  std::size_t start = 0;
  bool broken = false;
  while (lineLength < text.size() - start) {
    if (broken) writeBlanks(os, indent + margin);
    const std::size_t end = start + lineLength;  // < text.size() by the loop condition
    const std::size_t blank = text.rfind(' ', end);
    if (blank != std::string_view::npos && blank > start) {
      os << text.substr(start, blank - start) << '\n';
      start = blank + 1;
    } else {
      os << text.substr(start, lineLength + 1) << '\n';
      start = end + 1;
    }
    broken = true;
  }
  if (broken) writeBlanks(os, indent + margin);
  os << text.substr(start) << '\n';
}

}  // namespace

void printWrapped(std::ostream& os, unsigned indent, unsigned margin, unsigned width,
                  std::string_view text) {
  std::size_t newline;
  while ((newline = text.find('\n')) != std::string_view::npos) {
    printWrappedLine(os, indent, margin, width, text.substr(0, newline));
    writeBlanks(os, indent + margin);
    text.remove_prefix(newline + 1);
  }
  printWrappedLine(os, indent, margin, width, text);
}

}  // namespace kel::cmdline
