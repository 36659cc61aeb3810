// The Windows shortcut reader over arbitrary bytes.
//
// Properties: a shortcut is read, or refused as damaged with the documented error and nothing
// else; without link information it has no target; a target holds no NUL byte; the directory
// scan's link resolution gives the same target.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_util.h"
#include "kel/err/error.h"
#include "kel/file/directory.h"
#include "kel/file/lnk.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string path = fuzz::writeScratchFile(
      "target.lnk", std::string_view(reinterpret_cast<const char*>(data), size));
  try {
    const kel::Lnk shortcut(path);
    fuzz::check(shortcut.hasLinkInfo() || shortcut.target().empty(),
                "a shortcut without link information has no target");
    fuzz::check(shortcut.target().find('\0') == std::string::npos, "a target holds no NUL byte",
                fuzz::quoted(shortcut.target()));
    shortcut.targetExists();
    std::string target = "unchanged";
    const bool resolved = kel::file::resolveLink(path, target);
    fuzz::check(resolved == shortcut.hasLinkInfo() &&
                    target == (resolved ? shortcut.target() : "unchanged"),
                "the scan resolves a shortcut to its target", target);
  } catch (const kel::err::Error& e) {
    fuzz::check(std::string(e.what()) == "Damaged shortcut file ('" + path + "')",
                "a damaged shortcut gives the documented error", e.what());
  }
  return 0;
}
