#include "kel/file/lnk.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/file/file_util.h"

namespace kel {

namespace {

// Field positions of the shell link format.
constexpr std::size_t kLinkFlags = 0x14;
constexpr std::size_t kFileAttributes = 0x18;
constexpr std::size_t kHeaderSize = 0x4C;  // the ID list size, when present, follows the header
constexpr std::uint32_t kHasLinkTargetIDList = 0x1;
constexpr std::uint32_t kHasLinkInfo = 0x2;
constexpr std::uint32_t kDirectoryAttribute = 0x10;
constexpr std::size_t kLinkInfoFlags = 0x08;
constexpr std::size_t kLocalBasePathOffset = 0x10;
constexpr std::size_t kCommonNetworkRelativeLinkOffset = 0x14;
constexpr std::size_t kCommonPathSuffixOffset = 0x18;
constexpr std::uint32_t kVolumeIDAndLocalBasePath = 0x1;
constexpr std::uint32_t kCommonNetworkRelativeLinkAndPathSuffix = 0x2;
constexpr std::size_t kNetNameOffset = 0x08;

// Bounds-checked little-endian access to the bytes of one shortcut file.
class LnkBytes {
 public:
  LnkBytes(const std::string& path, std::vector<unsigned char> bytes)
      : path_(path), bytes_(std::move(bytes)) {}

  std::uint32_t u16(std::size_t at) const { return u(at, 2); }
  std::uint32_t u32(std::size_t at) const { return u(at, 4); }

  // The NUL-terminated string at at; it must end inside the file.
  std::string string(std::size_t at) const {
    if (at >= bytes_.size()) damaged();
    const unsigned char* begin = bytes_.data() + at;
    const void* nul = std::memchr(begin, 0, bytes_.size() - at);
    if (!nul) damaged();
    return std::string(reinterpret_cast<const char*>(begin),
                       static_cast<const unsigned char*>(nul) - begin);
  }

  void require(std::size_t size) const {
    if (bytes_.size() < size) damaged();
  }

 private:
  std::uint32_t u(std::size_t at, std::size_t width) const {
    if (at > bytes_.size() || bytes_.size() - at < width) damaged();
    std::uint32_t value = 0;
    for (std::size_t k = width; k-- > 0;) value = (value << 8) | bytes_[at + k];
    return value;
  }

  [[noreturn]] void damaged() const {
    throw kel::err::Error(format("Damaged shortcut file ('%s')", path_.c_str()));
  }

  const std::string& path_;
  const std::vector<unsigned char> bytes_;
};

std::vector<unsigned char> readWholeFile(const std::string& path) {
  std::string buffer;
  const std::string_view bytes = kel::file::readFileInto(path, buffer);
  return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

}  // namespace

Lnk::Lnk(const std::string& path) : path_(path) {
  const LnkBytes file(path_, readWholeFile(path_));
  file.require(kHeaderSize);
  const std::uint32_t linkFlags = file.u32(kLinkFlags);
  hasLinkInfo_ = (linkFlags & kHasLinkInfo) != 0;
  isDirectory_ = (file.u32(kFileAttributes) & kDirectoryAttribute) != 0;
  if (!hasLinkInfo_) return;

  const std::size_t linkInfo =
      (linkFlags & kHasLinkTargetIDList) ? kHeaderSize + 2 + file.u16(kHeaderSize) : kHeaderSize;
  const std::uint32_t linkInfoFlags = file.u32(linkInfo + kLinkInfoFlags);
  const std::string suffix = file.string(linkInfo + file.u32(linkInfo + kCommonPathSuffixOffset));
  if (linkInfoFlags & kVolumeIDAndLocalBasePath) {
    target_ = file.string(linkInfo + file.u32(linkInfo + kLocalBasePathOffset)) + suffix;
  } else if (linkInfoFlags & kCommonNetworkRelativeLinkAndPathSuffix) {
    const std::size_t net = linkInfo + file.u32(linkInfo + kCommonNetworkRelativeLinkOffset);
    target_ = file.string(net + file.u32(net + kNetNameOffset)) + suffix;
  }
}

bool Lnk::targetExists() const {
  if (!hasLinkInfo_) return false;
  return isDirectory_ ? kel::file::isDirectory(target_) : kel::file::isFile(target_);
}

}  // namespace kel
