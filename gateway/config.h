// The gateway's configuration file: "key = value" lines, read once per request.
//
// Blank lines and lines whose first non-blank character is '#' are ignored. Keys and values lose
// the blanks and tabs around them; an empty value leaves the key at its default. Paths that do not
// begin with '/' are taken relative to the folder of the configuration file, so every path in a
// GatewayConfig is absolute. Nothing in it comes from a request.
#ifndef CORVEX_GATEWAY_CONFIG_H
#define CORVEX_GATEWAY_CONFIG_H

#include <string>

#include "kel/err/error.h"

namespace gateway {

struct GatewayConfig {
  std::string corvex;                          // the program; default: "corvex" beside the gateway
  std::string indexDir;                        // required
  std::string rootList;                        // required
  std::string indexPrefix;                     // -I, empty: none
  std::string urlExchange;                     // -P "old=new", empty: none
  std::string urlPrefix;                       // -p, empty: none
  std::string extensions;                      // -e, empty: Corvex's default
  unsigned maxFileKb = 150;                    // -S
  unsigned excerptLength = 300;                // -L
  std::string highlight = "<mark>$$$</mark>";  // markup of a hit on the page; holds "$$$"
  unsigned pageSize = 10;                      // results per page
  unsigned maxResults = 200;                   // -m
  unsigned cpuSeconds = 10;                    // CPU time of one Corvex run
  unsigned wallSeconds = 10;                   // wall-clock time of one Corvex run
  unsigned maxQueryBytes = 256;                // of the query as sent (UTF-8)
  unsigned maxTerms = 10;                      // distinct terms
  bool ignoreCase = true;                      // when the request does not say (i)
  bool allowRegex = false;                     // whether re=1 is accepted
  std::string headerFile;                      // HTML put after <body>, empty: a plain site line
  std::string footerFile;                      // HTML put before </body>, empty: none
  std::string siteTitle = "Search";            // UTF-8, shown in the title and the default header
};

// A fault in the configuration: what() is "<file>:<line>: <problem>" (line 0 when the file
// itself cannot be read). Meant for the log, never for a visitor.
class ConfigError : public kel::err::Error {
 public:
  using kel::err::Error::Error;
};

// Reads the configuration file path. programDir is the folder of the gateway (for the default
// of corvex). Throws ConfigError for an unreadable file, a line without '=', an unknown or
// repeated key, a number that is not a whole number in its range (1 to 1,000,000; excerpt length
// at least 20, times at most 3600 s), a yes/no value that is neither (yes, no, true, false, on,
// off, 1, 0), a highlight without "$$$", or a missing index_dir or root_list.
GatewayConfig readConfig(const std::string& path, const std::string& programDir);

// Where the configuration is: the value of CORVEX_CGI_CONFIG when it is set and not empty,
// otherwise "corvex-cgi.conf" in programDir.
std::string configPath(const char* environmentValue, const std::string& programDir);

}  // namespace gateway

#endif
