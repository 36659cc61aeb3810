#include "index/fingerprints.h"

#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/fingerprint.h"

namespace {

constexpr const char* kMagic = "CORVEX_FINGERPRINTS";

std::string readDigest(kel::file::BinaryFile& file) {
  std::string digest(16, '\0');
  file.readBytes(digest.data(), digest.size());
  return digest;
}

}  // namespace

void Fingerprints::add(const std::string& directory, std::string_view wordList) {
  directories_[directory] = kel::file::fingerprintOf(wordList);
}

std::string Fingerprints::of(const std::string& directory) const {
  const auto found = directories_.find(directory);
  return found == directories_.end() ? std::string() : found->second;
}

bool Fingerprints::load(const std::string& path) {
  try {
    kel::file::BinaryFile file(path, 0);
    std::string text;
    kel::file::read(file, text);
    if (text != kMagic) return false;
    index_ = readDigest(file);
    for (unsigned n = file.readUInt(); n > 0; --n) {
      kel::file::read(file, text);
      directories_[text] = readDigest(file);
    }
    return file.atEnd();
  } catch (const kel::err::Error&) {
    return false;
  }
}

void Fingerprints::write(const std::string& path, const std::string& index) const {
  kel::file::BinaryFile file(path, 1);
  kel::file::write(file, kMagic);
  file.writeBytes(index.data(), index.size());
  file.writeUInt(static_cast<unsigned>(directories_.size()));
  for (const auto& [directory, fingerprint] : directories_) {
    kel::file::write(file, directory);
    file.writeBytes(fingerprint.data(), fingerprint.size());
  }
  file.close();
}
