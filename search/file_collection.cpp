#include "search/file_collection.h"

#include <iostream>

#include "app/options.h"
#include "kel/err/format.h"
#include "kel/file/binary_file.h"
#include "kel/file/input_file.h"

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
      if (kel::compareNoCase(suffix, extension) == 0) return true;
    }
  }
  return false;
}

bool isBelowSizeLimit(long long size, int kilobytes) {
  return size < static_cast<long long>(kilobytes) * 1024;
}

bool acceptFile(const CollectionRules& rules, const std::string& directory, const char* name,
                const struct stat& info) {
  if (rules.maxKilobytes && !isBelowSizeLimit(info.st_size, *rules.maxKilobytes)) return false;
  if (!matchesExtension(name, rules.extensions)) return false;
  // A FIFO would block the reader for ever and a device such as /dev/zero feed it without end.
  // info describes what a link leads to, as the reader opens it.
  if (!S_ISREG(info.st_mode)) {
    if (rules.log) {
      *rules.log << "Skipping '" << kel::file::joinPath(directory, name)
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

bool acceptSubdirectory(const CollectionRules& rules, const std::string& parent, const char* name,
                        const struct stat&) {
  const std::string path = kel::file::joinPath(parent, name);
  for (const std::string& skipped : rules.skippedDirectories) {
    if (samePath(skipped, path)) {
      if (rules.log) *rules.log << "Skipping unwanted sub-directory '" << path << "'\n";
      return false;
    }
  }
  return true;
}

std::list<std::string> readRootDirList(const std::string& path, std::set<std::string>& skipped) {
  std::list<std::string> roots;
  kel::file::InputFile list(path, 2048);
  for (std::string line; list.getLine(line);) {
    if (!line.empty() && line[0] == '-') {
      skipped.insert(line.substr(1));
    } else if (!line.empty()) {
      roots.push_back(line);
    }
  }
  return roots;
}

bool buildFileList(const std::string& filesListPath, const std::string& rootDirList, bool update,
                   CollectionRules rules) {
  struct stat info;
  if (!update && ::stat(filesListPath.c_str(), &info) == 0) return false;

  const std::list<std::string> roots = readRootDirList(rootDirList, rules.skippedDirectories);
  const auto files = [&rules](const std::string& d, const char* n, const struct stat& i) {
    return acceptFile(rules, d, n, i);
  };
  const auto subdirectories = [&rules](const std::string& d, const char* n, const struct stat& i) {
    return acceptSubdirectory(rules, d, n, i);
  };
  std::map<std::string, kel::file::Directory> dirs;
  for (const std::string& root : roots) {
    if (rules.log) *rules.log << "Scanning directory '" << root << "'\n";
    kel::file::scanDirectory(dirs, root, true, false, files, subdirectories, rules.log);
  }

  kel::file::BinaryFile file(filesListPath, 1);
  kel::file::storeDirectories(dirs, file);
  file.close();
  return true;
}

bool buildFileList(const std::string& filesListPath) {
  CollectionRules rules;
  rules.extensions = splitExtensions(optExtensions.value());
  if (optMaxIndexSize.isGiven()) rules.maxKilobytes = optMaxIndexSize.getInt();
  rules.log = optVerbose.isActive() ? &std::cerr : nullptr;
  return buildFileList(filesListPath, argRootDirList.value(), optUpdate.isActive(),
                       std::move(rules));
}
