#include "gateway/config.h"

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <map>
#include <set>
#include <string_view>

#include "kel/file/file_util.h"

namespace gateway {

namespace {

std::string_view trim(std::string_view s) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!s.empty() && blank(s.front())) s.remove_prefix(1);
  while (!s.empty() && blank(s.back())) s.remove_suffix(1);
  return s;
}

// Reads one file line by line and turns each "key = value" into a call of the setter for key.
class ConfigReader {
 public:
  ConfigReader(const std::string& path, const std::string& dir) : path_(path), dir_(dir) {}

  [[noreturn]] void fail(const std::string& problem) const {
    throw ConfigError(path_ + ":" + std::to_string(line_) + ": " + problem);
  }

  std::string path(std::string_view value) const {
    if (!value.empty() && value.front() == '/') return std::string(value);
    return dir_ + "/" + std::string(value);
  }

  unsigned number(std::string_view value, unsigned low, unsigned high) const {
    unsigned long n = 0;
    bool digits = !value.empty() && value.size() <= 9;
    for (const char c : value) digits = digits && c >= '0' && c <= '9';
    if (digits) n = std::strtoul(std::string(value).c_str(), nullptr, 10);
    if (!digits || n < low || n > high) {
      fail("'" + std::string(value) + "' is not a whole number from " + std::to_string(low) +
           " to " + std::to_string(high));
    }
    return static_cast<unsigned>(n);
  }

  bool yesNo(std::string_view value) const {
    static const std::set<std::string_view> yes{"yes", "true", "on", "1"};
    static const std::set<std::string_view> no{"no", "false", "off", "0"};
    if (yes.count(value)) return true;
    if (no.count(value)) return false;
    fail("'" + std::string(value) + "' is neither yes nor no");
  }

  void read(const std::map<std::string_view, std::function<void(std::string_view)>>& setters) {
    std::string buffer;
    std::string_view text;
    try {
      text = kel::file::readFileInto(path_, buffer);
    } catch (const kel::err::Error& e) {
      fail(std::string("cannot be read: ") + e.what());
    }
    std::set<std::string> seen;
    std::string_view rest = text;
    while (!rest.empty()) {
      ++line_;
      const std::size_t end = rest.find('\n');
      const std::string_view raw = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
      const std::string_view line = trim(raw);
      if (line.empty() || line.front() == '#') continue;
      const std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) fail("'=' awaited");
      const std::string key(trim(line.substr(0, eq)));
      const auto setter = setters.find(key);
      if (setter == setters.end()) fail("unknown key '" + key + "'");
      if (!seen.insert(key).second) fail("key '" + key + "' given twice");
      const std::string_view value = trim(line.substr(eq + 1));
      if (!value.empty()) setter->second(value);
    }
  }

 private:
  const std::string& path_;
  const std::string dir_;
  unsigned line_ = 0;
};

}  // namespace

GatewayConfig readConfig(const std::string& path, const std::string& programDir) {
  GatewayConfig c;
  c.corvex = programDir + "/corvex";
  const std::size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string(".")
                          : slash == 0               ? std::string("/")
                                                     : path.substr(0, slash);
  ConfigReader r(path, dir);
  const auto text = [](std::string& field) {
    return [&field](std::string_view v) { field = std::string(v); };
  };
  const auto file = [&r](std::string& field) {
    return [&field, &r](std::string_view v) { field = r.path(v); };
  };
  const auto number = [&r](unsigned& field, unsigned low, unsigned high) {
    return [&field, &r, low, high](std::string_view v) { field = r.number(v, low, high); };
  };
  const auto yesNo = [&r](bool& field) {
    return [&field, &r](std::string_view v) { field = r.yesNo(v); };
  };
  constexpr unsigned many = 1000000;
  r.read({
      {"corvex", file(c.corvex)},
      {"index_dir", file(c.indexDir)},
      {"root_list", file(c.rootList)},
      {"index_prefix", text(c.indexPrefix)},
      {"url_exchange", text(c.urlExchange)},
      {"url_prefix", text(c.urlPrefix)},
      {"extensions", text(c.extensions)},
      {"max_file_kb", number(c.maxFileKb, 1, many)},
      {"excerpt_length", number(c.excerptLength, 20, many)},
      {"highlight",
       [&](std::string_view v) {
         if (v.find("$$$") == std::string_view::npos) r.fail("the highlight holds no $$$");
         c.highlight = std::string(v);
       }},
      {"page_size", number(c.pageSize, 1, many)},
      {"max_results", number(c.maxResults, 1, many)},
      {"cpu_seconds", number(c.cpuSeconds, 1, 3600)},
      {"wall_seconds", number(c.wallSeconds, 1, 3600)},
      {"max_query_bytes", number(c.maxQueryBytes, 1, many)},
      {"max_terms", number(c.maxTerms, 1, many)},
      {"ignore_case", yesNo(c.ignoreCase)},
      {"allow_regex", yesNo(c.allowRegex)},
      {"header_file", file(c.headerFile)},
      {"footer_file", file(c.footerFile)},
      {"site_title", text(c.siteTitle)},
  });
  if (c.indexDir.empty()) throw ConfigError(path + ":0: index_dir is not set");
  if (c.rootList.empty()) throw ConfigError(path + ":0: root_list is not set");
  return c;
}

std::string configPath(const char* environmentValue, const std::string& programDir) {
  if (environmentValue && *environmentValue) return environmentValue;
  return programDir + "/corvex-cgi.conf";
}

}  // namespace gateway
