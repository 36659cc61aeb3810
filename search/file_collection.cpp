#include "search/file_collection.h"

#include <cctype>
#include <iostream>
#include <list>
#include <map>

#include "app/options.h"
#include "kel/err/format.h"
#include "kel/file/binary_file.h"
#include "kel/file/directory.h"
#include "kel/file/input_file.h"

namespace {

// The "-" lines of the root directory list, without their "-"; kept for the whole process.
std::set<std::string> skippedDirectories;

bool equalNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

}  // namespace

std::set<std::string> splitExtensions(std::string_view list) {
  std::set<std::string> extensions;
  for (;;) {
    const std::size_t semicolon = list.find(';');
    extensions.emplace(list.substr(0, semicolon));
    if (semicolon == std::string_view::npos) break;
    list.remove_prefix(semicolon + 1);
  }
  return extensions;
}

bool matchesExtension(std::string_view name, const std::set<std::string>& extensions) {
  for (std::size_t dot = name.find('.'); dot != std::string_view::npos;
       dot = name.find('.', dot + 1)) {
    const std::string_view suffix = name.substr(dot);
    for (const std::string& extension : extensions) {
      if (equalNoCase(suffix, extension)) return true;
    }
  }
  return false;
}

bool isBelowSizeLimit(long long size, int kilobytes) {
  return size < static_cast<long long>(kilobytes) * 1024;
}

bool acceptFile(const std::string& directory, const char* name, const struct stat& info) {
  if (optMaxIndexSize.isGiven() && !isBelowSizeLimit(info.st_size, optMaxIndexSize.getInt())) {
    return false;
  }
  static const std::set<std::string> extensionSet = splitExtensions(optExtensions.value());
  if (!matchesExtension(name, extensionSet)) return false;
  // A FIFO would block the reader for ever and a device such as /dev/zero feed it without end.
  // info describes what a link leads to, as the reader opens it.
  if (!S_ISREG(info.st_mode)) {
    if (optVerbose.isActive()) {
      std::cerr << "Skipping '" << kel::file::joinPath(directory, name)
                << "' (not a regular file)\n";
    }
    return false;
  }
  return true;
}

bool samePath(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool separatorA = a[i] == '/' || a[i] == '\\';
    const bool separatorB = b[i] == '/' || b[i] == '\\';
    if (separatorA != separatorB || (!separatorA && a[i] != b[i])) return false;
  }
  return true;
}

bool acceptSubdirectory(const std::string& parent, const char* name, const struct stat&) {
  const std::string path = kel::file::joinPath(parent, name);
  for (const std::string& skipped : skippedDirectories) {
    if (samePath(skipped, path)) {
      if (optVerbose.isActive()) {
        std::cerr << "Skipping unwanted sub-directory '" << path << "'\n";
      }
      return false;
    }
  }
  return true;
}

bool buildFileList(const std::string& filesListPath) {
  struct stat info;
  if (!optUpdate.isActive() && ::stat(filesListPath.c_str(), &info) == 0) return false;

  std::list<std::string> roots;
  {
    kel::file::InputFile list(argRootDirList.value(), 2048);
    for (std::string line; list.getLine(line);) {
      if (!line.empty() && line[0] == '-') {
        skippedDirectories.insert(line.substr(1));
      } else {
        roots.push_back(line);
      }
    }
  }

  const bool verbose = optVerbose.isActive();
  std::map<std::string, kel::file::Directory> dirs;
  for (const std::string& root : roots) {
    if (root.empty()) continue;
    if (verbose) std::cerr << "Scanning directory '" << root << "'\n";
    kel::file::scanDirectory(dirs, root, true, false, acceptFile, acceptSubdirectory,
                             verbose ? &std::cerr : nullptr);
  }

  kel::file::BinaryFile file(filesListPath, 1);
  kel::file::storeDirectories(dirs, file);
  file.close();
  return true;
}
