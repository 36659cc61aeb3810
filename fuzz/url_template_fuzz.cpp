// Result URLs and the result template.
//
// Input: one byte of settings (bit 0: -D, bit 1: -P, bit 2: -p), then NUL-separated fields:
// file name, anchor, the -P value, the -p value, a template, and the values for "$url$",
// "$text$", "$title$" and "$score$". In the template "$0" to "$3" stand for the four keys; in
// the template and the values every other '$' is dropped and lower-case letters are raised, so
// that no key can arise from the text around a key or inside a value.
// Properties: a URL never holds a blank or a NUL byte; it is the file name and anchor with '\'
// turned into '/' when nothing rewrites it, and begins with the escaped -p value when that is
// given; a -P value without '=' gives the documented error and nothing else; every key of the
// template is replaced by its value once, and nothing else changes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/options.h"
#include "app/results_page.h"
#include "fuzz_util.h"
#include "kel/err/error.h"
#include "kel/html_read/entities.h"

namespace {

std::string programFile = "corvex";

std::string plain(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '$') continue;
    out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return out;
}

// Sets -D, -P and -p as a command line would; false when that command line is refused.
bool setOptions(unsigned settings, const std::string& exchange, const std::string& prefix) {
  optDosDrives.reset();
  optExchange.reset();
  optUrlPrefix.reset();
  std::vector<std::string> words{programFile};
  if (settings & 1) words.emplace_back("-D");
  if ((settings & 2) && !exchange.empty()) words.insert(words.end(), {"-P", exchange});
  if ((settings & 4) && !prefix.empty()) words.insert(words.end(), {"-p", prefix});
  words.insert(words.end(), {"search", "index", "roots"});
  std::vector<const char*> argv;
  for (const std::string& w : words) argv.push_back(w.c_str());
  try {
    programInfo.init(static_cast<int>(argv.size()), argv.data());
  } catch (const kel::err::Error&) {
    return false;
  }
  return true;
}

void checkUrl(unsigned settings, const std::string& fileName, const std::string& anchor) {
  std::string url;
  try {
    url = makeResultUrl(fileName, anchor);
  } catch (const kel::err::Error& e) {
    fuzz::check(optExchange.isGiven() && optExchange.value().find('=') == std::string::npos &&
                    std::string(e.what()) == "'=' awaited in '" + optExchange.value() + "'",
                "only a -P value without '=' makes no URL", e.what());
    return;
  }
  fuzz::check(url.find(' ') == std::string::npos && url.find('\0') == std::string::npos,
              "a URL holds no blank and no NUL byte", fuzz::quoted(url));
  if (optUrlPrefix.isGiven()) {
    fuzz::check(url.rfind(kel::html_read::escapeSpaces(optUrlPrefix.value()), 0) == 0,
                "a URL begins with the -p value", fuzz::quoted(url));
  }
  std::string named = anchor.empty() ? fileName : fileName + "#" + anchor;
  if ((settings & 7) != 0 || named.find_first_of(std::string("%\0", 2)) != std::string::npos)
    return;
  for (char& c : named) {
    if (c == '\\') c = '/';
  }
  std::string unescaped;
  for (std::size_t i = 0; i < url.size(); ++i) {
    if (url.compare(i, 3, "%20") == 0) {
      unescaped += ' ';
      i += 2;
    } else {
      unescaped += url[i];
    }
  }
  fuzz::check(unescaped == named, "a URL is the file name and anchor, escaped", fuzz::quoted(url));
}

void checkTemplate(std::string_view templateField, const std::string values[4]) {
  static const char* const keys[] = {"$url$", "$text$", "$title$", "$score$"};
  std::string templ;
  std::string expected;
  std::string run;  // plain text since the last key
  for (std::size_t i = 0; i < templateField.size(); ++i) {
    const char c = templateField[i];
    if (c == '$' && i + 1 < templateField.size() && templateField[i + 1] >= '0' &&
        templateField[i + 1] <= '3') {
      const int key = templateField[++i] - '0';
      templ += plain(run) + keys[key];
      expected += plain(run) + values[key];
      run.clear();
    } else {
      run += c;
    }
  }
  templ += plain(run);
  expected += plain(run);
  const std::string out = substituteTemplate(templ, values[0], values[1], values[2], values[3]);
  fuzz::check(out == expected, "every key of the template is replaced by its value once",
              fuzz::quoted(out) + " instead of " + fuzz::quoted(expected));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  if (*argc > 0) programFile = (*argv)[0];
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::Fields fields(data, size);
  const unsigned settings = fields.byte();
  const std::string fileName(fields.next('\0'));
  const std::string anchor(fields.next('\0'));
  const std::string exchange(fields.next('\0'));
  const std::string prefix(fields.next('\0'));
  const std::string_view templ = fields.next('\0');
  std::string values[4];
  for (std::string& v : values) v = plain(fields.next('\0'));

  if (setOptions(settings, exchange, prefix)) checkUrl(settings, fileName, anchor);
  checkTemplate(templ, values);
  return 0;
}
