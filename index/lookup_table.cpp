#include "index/lookup_table.h"

#include <algorithm>

#include "kel/err/error.h"
#include "kel/file/binary_file.h"
#include "kel/file/byte_codec.h"
#include "kel/file/file_util.h"
#include "kel/file/fingerprint.h"

namespace {

constexpr std::string_view kMagic = "CVXLKUP1";
constexpr unsigned kPathBlock = LookupTable::kPathBlock;
constexpr unsigned kWordBlock = LookupTable::kWordBlock;
constexpr std::size_t kSample = 4096;
constexpr std::size_t kDigest = 16;
// Magic, the index's size, seconds, nanoseconds, inode, sample fingerprint, N, W.
constexpr std::size_t kHeader = 8 + 8 + 8 + 8 + 8 + kDigest + 4 + 4;

std::size_t blocks(std::size_t count, unsigned per) { return (count + per - 1) / per; }

}  // namespace

std::string sampleFingerprint(std::string_view head, std::string_view tail, std::uint64_t size) {
  kel::file::Fingerprint f;
  f.add(head.substr(0, std::min<std::size_t>(kSample, size)));
  f.add(tail.substr(tail.size() - std::min<std::size_t>({kSample, size, tail.size()})));
  std::string sizeField;
  kel::file::appendFixed(sizeField, size, 8);
  f.add(sizeField);
  return f.digest();
}

void LookupTableBuilder::addBytes(std::string_view bytes) {
  size_ += bytes.size();
  if (head_.size() < kSample) head_.append(bytes.substr(0, kSample - head_.size()));
  if (bytes.size() >= kSample) {
    tail_.assign(bytes.substr(bytes.size() - kSample));
  } else {
    tail_.append(bytes);
    if (tail_.size() > 2 * kSample) tail_.erase(0, tail_.size() - kSample);
  }
}

void LookupTableBuilder::addPath(std::uint64_t offset) {
  if (paths_++ % kPathBlock == 0) pathStarts_.push_back(offset);
}

void LookupTableBuilder::addEntry(std::string_view word, std::uint64_t offset,
                                  std::uint64_t length) {
  // A binary search over the words finds what a scan finds only when they ascend, and a scan
  // sees a word only up to a NUL byte.
  if ((words_ > 0 && !(lastWord_ < word)) || word.find('\0') != std::string_view::npos ||
      length > 0xFFFFFFFFu) {
    ordered_ = false;
  }
  lastWord_.assign(word);
  if (words_++ % kWordBlock == 0) {
    blockStarts_.push_back(offset);
    blockLengths_.push_back(static_cast<std::uint32_t>(lengths_.size()));
  }
  kel::file::appendUInt(lengths_, static_cast<unsigned>(length));
}

void LookupTableBuilder::write(const std::string& path, const struct stat& index) const {
  if (!ordered_) return;
  std::string bytes(kMagic);
  kel::file::appendFixed(bytes, static_cast<std::uint64_t>(index.st_size), 8);
  kel::file::appendFixed(bytes, static_cast<std::uint64_t>(index.st_mtim.tv_sec), 8);
  kel::file::appendFixed(bytes, static_cast<std::uint64_t>(index.st_mtim.tv_nsec), 8);
  kel::file::appendFixed(bytes, static_cast<std::uint64_t>(index.st_ino), 8);
  bytes += sampleFingerprint(head_, tail_, size_);
  kel::file::appendFixed(bytes, paths_, 4);
  kel::file::appendFixed(bytes, words_, 4);
  for (const std::uint64_t start : pathStarts_) kel::file::appendFixed(bytes, start, 8);
  for (std::size_t b = 0; b < blockStarts_.size(); ++b) {
    kel::file::appendFixed(bytes, blockStarts_[b], 8);
    kel::file::appendFixed(bytes, blockLengths_[b], 4);
  }
  bytes += lengths_;
  bytes += kel::file::fingerprintOf(bytes);
  kel::file::BinaryFile file(path, 1);
  file.writeBytes(bytes.data(), bytes.size());
  file.close();
}

std::unique_ptr<LookupTable> LookupTable::open(const std::string& path, std::string_view index,
                                               const struct stat& status, std::string& why) {
  std::unique_ptr<LookupTable> table(new LookupTable);
  try {
    table->bytes_.resize(kel::file::readFileInto(path, table->bytes_).size());
  } catch (const kel::err::Error&) {
    why = "missing";
    return nullptr;
  }
  const std::string& b = table->bytes_;
  why = "damaged";
  if (b.size() < kHeader + kDigest || b.compare(0, kMagic.size(), kMagic) != 0) return nullptr;
  const std::size_t end = b.size() - kDigest;
  if (kel::file::fingerprintOf(std::string_view(b).substr(0, end)) != b.substr(end)) return nullptr;

  const auto field = [&b](std::size_t at, unsigned width) {
    return kel::file::decodeFixed(b.data() + at, width);
  };
  why = "of another global index";
  if (field(8, 8) != static_cast<std::uint64_t>(status.st_size) ||
      field(16, 8) != static_cast<std::uint64_t>(status.st_mtim.tv_sec) ||
      field(24, 8) != static_cast<std::uint64_t>(status.st_mtim.tv_nsec) ||
      field(32, 8) != static_cast<std::uint64_t>(status.st_ino) ||
      b.compare(40, kDigest, sampleFingerprint(index, index, index.size())) != 0) {
    return nullptr;
  }

  why = "damaged";
  table->fileCount_ = static_cast<unsigned>(field(56, 4));
  table->wordCount_ = static_cast<unsigned>(field(60, 4));
  table->pathStarts_ = kHeader;
  table->blocks_ = table->pathStarts_ + 8 * blocks(table->fileCount_, kPathBlock);
  table->lengths_ = table->blocks_ + 12 * blocks(table->wordCount_, kWordBlock);
  table->end_ = end;
  if (table->lengths_ > end) return nullptr;
  why.clear();
  return table;
}

std::uint64_t LookupTable::pathBlockStart(unsigned file) const {
  return kel::file::decodeFixed(bytes_.data() + pathStarts_ + 8 * (file / kPathBlock), 8);
}

std::uint64_t LookupTable::lengthAt(std::size_t& position) const {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + position);
  if (position >= end_ || end_ - position < kel::file::uintLength(*p)) {
    throw kel::err::Error("Damaged lookup table");
  }
  position += kel::file::uintLength(*p);
  return kel::file::decodeUInt(p);
}

LookupTable::Cursor::Cursor(const LookupTable& table, unsigned word) : table_(&table), word_(word) {
  const char* const block = table.bytes_.data() + table.blocks_ + 12 * (word / kWordBlock);
  offset_ = kel::file::decodeFixed(block, 8);
  lengthPosition_ = table.lengths_ + kel::file::decodeFixed(block + 8, 4);
  for (unsigned w = word - word % kWordBlock; w < word; ++w) {
    offset_ += table.lengthAt(lengthPosition_);
  }
  length_ = table.lengthAt(lengthPosition_);
}

void LookupTable::Cursor::next() {
  ++word_;
  offset_ += length_;
  length_ = word_ < table_->wordCount_ ? table_->lengthAt(lengthPosition_) : 0;
}
