#include "kel/cmdline/cmd_line_argument.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "kel/cmdline/registry.h"
#include "kel/err/error.h"
#include "kel/err/format.h"

namespace kel::cmdline {

namespace {

bool isDecimal(char c) { return c >= '0' && c <= '9'; }

bool isHex(char c) { return isDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

CmdLineArgument::CmdLineArgument(const char* name, const char* help, const char* defaultValue,
                                 bool positional)
    : CmdLineHelpText(help), name_(name ? name : ""), value_(defaultValue ? defaultValue : "") {
  if (positional) {
    argumentList().push_back(this);
    argumentWidth = std::max<unsigned>(argumentWidth, name_.size() + 2);
  }
}

bool CmdLineArgument::isGiven() const { return given_; }

std::string CmdLineArgument::getValue() { return value_; }

int CmdLineArgument::getInt() {
  const std::string v = getValue();
  const auto fail = [&] {
    return err::Error(format("Numeric argument awaited in <%s> '%s' (dec or hex '0x..') ",
                             name_.c_str(), v.c_str()));
  };
  if (std::all_of(v.begin(), v.end(), isDecimal)) {
    long long n = 0;
    for (const char c : v) {
      n = n * 10 + (c - '0');
      if (n > INT_MAX) throw fail();
    }
    return static_cast<int>(n);
  }
  if (v.size() >= 2 && v[0] == '0' && v[1] == 'x' && std::all_of(v.begin() + 2, v.end(), isHex)) {
    // Hexadecimal text gives the 32-bit pattern, so "0xFFFFFFFF" is -1; wider values do not fit.
    unsigned long long n = 0;
    for (auto it = v.begin() + 2; it != v.end(); ++it) {
      n = n * 16 + static_cast<unsigned>(isDecimal(*it) ? *it - '0' : (*it | 0x20) - 'a' + 10);
      if (n > UINT_MAX) throw fail();
    }
    return static_cast<int>(static_cast<unsigned>(n));
  }
  throw fail();
}

double CmdLineArgument::getFloat() {
  std::string v = getValue();
  unsigned separators = 0;
  bool onlyNumberCharacters = true;
  for (char& c : v) {
    if (c == ',') c = '.';
    if (c == '.') {
      ++separators;
    } else if (!isDecimal(c)) {
      onlyNumberCharacters = false;
    }
  }
  if (!onlyNumberCharacters || separators > 1) {
    throw err::Error(
        format("Floating point argument awaited in <%s> '%s'", name_.c_str(), v.c_str()));
  }
  // strtod rather than an int conversion, so long digit strings keep their value.
  return v.empty() ? 0.0 : std::strtod(v.c_str(), nullptr);
}

void CmdLineArgument::setValue(const std::string& v, bool isDefault) { storeValue(v, isDefault); }

std::string CmdLineArgument::usageName() const { return "<" + name_ + ">"; }

std::string CmdLineArgument::getHelpText() const {
  if (!hasDefault_) return helpText;
  return helpText + " [Default=" + shownDefault_ + "]";
}

void CmdLineArgument::storeValue(const std::string& v, bool isDefault) {
  value_ = v;
  given_ = !isDefault;
}

void CmdLineArgument::clearValue() {
  value_.clear();
  hasDefault_ = false;
  given_ = false;
}

void CmdLineArgument::markDefault() {
  hasDefault_ = true;
  shownDefault_ = value_;
}

}  // namespace kel::cmdline
