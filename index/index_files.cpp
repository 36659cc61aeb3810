#include "index/index_files.h"

#include <utility>

#include "app/options.h"
#include "kel/err/format.h"
#include "kel/file/binary_file.h"
#include "kel/file/file_util.h"

using kel::file::Directory;

namespace {

constexpr std::string_view kWordListSuffix = ".index";

bool isMangled(char c) {
  return c == '\\' || c == '/' || c == '.' || c == ':' || c == ' ' || c == '-';
}

char codeOf(char c) {
  switch (c) {
    case '\\':
      return 'b';
    case '/':
      return 's';
    case '.':
      return 'd';
    case ':':
      return 'c';
    case ' ':
      return 'w';
    case '-':
      return 'h';
    default:
      return 'u';
  }
}

bool endsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace

std::string indexFilePath(const std::string& indexDir, const std::string& prefix,
                          std::string_view base) {
  std::string name = prefix.empty() ? std::string(base) : prefix + "_" + std::string(base);
  return kel::file::joinPath(indexDir, name);
}

std::string indexFilePath(const char* base) {
  return indexFilePath(argIndexDir.value(), optIndexPrefix.isGiven() ? optIndexPrefix.value() : "",
                       base);
}

std::string filesListPath() { return indexFilePath("files"); }

std::string globalIndexPath() {
  static const std::string path = indexFilePath("global_index");
  return path;
}

std::string fingerprintsPath(const std::string& globalIndex) {
  return globalIndex + ".fingerprints";
}

std::string lookupTablePath(const std::string& globalIndex) { return globalIndex + ".lookup"; }

bool isFileListName(std::string_view name) { return name == "files" || endsWith(name, "_files"); }

std::string mangleDirectoryName(std::string_view path) {
  std::string mangled(path);
  for (char& c : mangled) {
    if (isMangled(c)) c = '_';
  }
  return mangled;
}

std::string wordListName(const Directory& dir, bool distinct) {
  std::string name = kel::format("%u_", static_cast<unsigned>(dir.files.size()));
  name += mangleDirectoryName(dir.path);
  if (distinct) {
    name += '.';
    for (const char c : dir.path) {
      if (c == '_' || isMangled(c)) name += codeOf(c);
    }
  }
  name += kWordListSuffix;
  return name;
}

bool isWordListName(std::string_view name) { return endsWith(name, kWordListSuffix); }

bool isSameDirectoryWordList(std::string_view name, std::string_view current) {
  const std::size_t underscore = current.find('_');
  if (underscore == std::string_view::npos) return false;
  const std::string_view tail = current.substr(underscore + 1);
  std::size_t digits = 0;
  while (digits < name.size() && name[digits] >= '0' && name[digits] <= '9') ++digits;
  return digits > 0 && digits < name.size() && name[digits] == '_' &&
         name.substr(digits + 1) == tail;
}

long temporaryOwner(std::string_view name) { return kel::file::temporaryOwner(name); }

WordListNames::WordListNames(const std::map<std::string, Directory>& dirs,
                             const std::set<std::string>& otherPaths) {
  std::map<std::string, std::string> firstPathOf;
  auto note = [&](const std::string& path) {
    std::string mangled = mangleDirectoryName(path);
    const auto [it, inserted] = firstPathOf.emplace(mangled, path);
    if (!inserted && it->second != path) collidingMangledNames_.insert(std::move(mangled));
  };
  for (const auto& entry : dirs) note(entry.second.path);
  for (const std::string& path : otherPaths) note(path);
}

bool WordListNames::isDistinct(const Directory& dir) const {
  return !collidingMangledNames_.empty() &&
         collidingMangledNames_.count(mangleDirectoryName(dir.path)) != 0;
}
