// corvex-cgi: the CGI gateway between a web form and Corvex.
//
// Reads one request from the CGI environment (never from its own command line, where a server
// may put ISINDEX words), checks the query, runs Corvex on it within the configured limits,
// answers with one UTF-8 page and writes one line about the request to standard error.
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <string_view>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "gateway/child_process.h"
#include "gateway/config.h"
#include "gateway/corvex_call.h"
#include "gateway/form_data.h"
#include "gateway/page_writer.h"
#include "gateway/request_log.h"
#include "gateway/search_query.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/file/file_util.h"

namespace {

using namespace gateway;

// The most a POST body may hold; a form of this gateway sends a few hundred bytes.
constexpr std::size_t maxBodyBytes = 64 * 1024;

struct Response {
  int status = 200;
  std::string body;
};

std::string environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string programDir() {
  char path[4096];
  const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  const std::string self(path, static_cast<std::size_t>(n));
  const std::size_t slash = self.rfind('/');
  return slash == 0 ? "/" : self.substr(0, slash);
}

std::string readPart(const std::string& path) {
  if (path.empty()) return "";
  std::string buffer;
  try {
    return std::string(kel::file::readFileInto(path, buffer));
  } catch (const kel::err::Error& e) {
    throw ConfigError(std::string("page part cannot be read: ") + e.what());
  }
}

// The body of a POST request, exactly CONTENT_LENGTH bytes. Returns false when it is missing,
// too long or cut short.
bool readBody(std::string& body, std::string& why) {
  const std::string length = environment("CONTENT_LENGTH");
  if (length.empty() || length.size() > 9 ||
      length.find_first_not_of("0123456789") != std::string::npos) {
    why = "body";
    return false;
  }
  const std::size_t size = std::strtoul(length.c_str(), nullptr, 10);
  if (size > maxBodyBytes) {
    why = "too-long";
    return false;
  }
  body.resize(size);
  std::size_t got = 0;
  while (got < size) {
    const ssize_t n = ::read(0, &body[got], size - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  if (got < size) why = "body";
  return got == size;
}

bool isFormType(const std::string& type) {
  const std::string_view expected = "application/x-www-form-urlencoded";
  if (kel::compareNoCase(std::string_view(type).substr(0, expected.size()), expected) != 0) {
    return false;
  }
  return type.size() == expected.size() || type[expected.size()] == ';' ||
         type[expected.size()] == ' ';
}

// Whether path names a regular file the gateway can read.
bool readableFile(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info;
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
}

std::string missingIndexFile(const GatewayConfig& config) {
  const std::string prefix = config.indexPrefix.empty() ? "" : config.indexPrefix + "_";
  for (const char* base : {"files", "global_index"}) {
    const std::string path = config.indexDir + "/" + prefix + base;
    if (!readableFile(path)) return path;
  }
  return "";
}

unsigned long startOf(const std::optional<std::string>& value) {
  if (!value || value->empty() || value->size() > 9 ||
      value->find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  return std::strtoul(value->c_str(), nullptr, 10);
}

Response failed(const PageWriter& writer, RequestLog& log, const std::string& note) {
  log.outcome = "error";
  log.note = note;
  return {500, writer.messagePage("The search failed",
                                  "Something went wrong on the server; the site's owner can "
                                  "find the details in its log. Please try again later.")};
}

// The form's fields of the request; why names what kept them from being read, if anything.
struct Request {
  std::string method;
  std::string why;
  FormData fields{""};
};

Request readRequest(const std::string& method) {
  Request request;
  request.method = method;
  std::string encoded;
  if (method == "POST") {
    // Only a form's fields are read; any other body stays unread.
    if (!isFormType(environment("CONTENT_TYPE"))) {
      request.why = "content-type";
    } else {
      readBody(encoded, request.why);
    }
  } else {
    encoded = environment("QUERY_STRING");
  }
  request.fields = FormData(encoded);
  return request;
}

Response search(const GatewayConfig& config, const Request& request, RequestLog& log, bool head) {
  const std::string& method = request.method;
  const std::string& why = request.why;
  const FormData& fields = request.fields;
  const std::optional<std::string> q = fields.last("q");
  const std::optional<std::string> i = fields.last("i");
  const std::optional<std::string> re = fields.last("re");
  const bool ignoreCase = i == std::string("1")   ? true
                          : i == std::string("0") ? false
                                                  : config.ignoreCase;
  const bool regex = re == std::string("1");

  PageFrame frame;
  frame.siteTitle = config.siteTitle;
  frame.header = readPart(config.headerFile);
  frame.footer = readPart(config.footerFile);
  frame.highlight = config.highlight;
  frame.allowRegex = config.allowRegex;
  frame.pageSize = config.pageSize;
  FormState state;
  state.query = q ? displayText(*q) : "";
  state.ignoreCase = ignoreCase;
  state.regex = regex && config.allowRegex;
  const PageWriter writer(frame, state);

  if (!method.empty() && method != "GET" && method != "HEAD" && method != "POST") {
    log.outcome = "refused:method";
    return {405,
            writer.messagePage("This search cannot be run", "Searches are sent with GET or POST.")};
  }
  const auto refuse = [&](const std::string& reason, std::string_view text) {
    log.outcome = "refused:" + reason;
    return Response{400, writer.messagePage("This search cannot be run", text)};
  };
  if (!why.empty()) {
    return refuse(
        why, why == "too-long" ? "The request is too long." : "The request could not be read.");
  }
  if (!q || q->find_first_not_of(' ') == std::string::npos) return {200, writer.formPage()};
  if (regex && !config.allowRegex) {
    return refuse("regex", "This site searches for words only, not for regular expressions.");
  }

  QueryOptions options;
  options.regex = regex;
  options.ignoreCase = ignoreCase;
  options.maxBytes = config.maxQueryBytes;
  options.maxTerms = config.maxTerms;
  SearchQuery query;
  try {
    query = makeSearchQuery(*q, options);
  } catch (const QueryRefused& e) {
    return refuse(e.reason, e.what());
  }
  if (head) return {200, ""};

  const std::string missing = missingIndexFile(config);
  if (!missing.empty()) {
    log.outcome = "error";
    log.note = "index not built yet: " + missing + " cannot be read";
    return {503, writer.messagePage("The search index is not built yet",
                                    "The pages of this site have not been indexed yet. "
                                    "Please try again later.")};
  }

  ChildLimits limits;
  limits.cpuSeconds = config.cpuSeconds;
  limits.wallMilliseconds = config.wallSeconds * 1000;
  ChildResult run;
  try {
    run = runChild(corvexArguments(config, query, ignoreCase), corvexEnvironment(), "/", limits);
  } catch (const kel::err::Error& e) {
    return failed(writer, log, std::string("Corvex cannot be run: ") + e.what());
  }
  const std::string errors = foldCorvexErrors(run.err);
  switch (run.end) {
    case ChildResult::End::timedOut:
      log.outcome = "timeout";
      log.exit = "killed";
      log.note = errors;
      return {503, writer.messagePage(
                       "The search took too long",
                       "It was stopped after " + std::to_string(config.wallSeconds) +
                           " seconds. Fewer patterns or longer words make a search faster.")};
    case ChildResult::End::tooMuchOutput:
      log.exit = "killed";
      return failed(writer, log, "Corvex's page grew too long");
    case ChildResult::End::stopped:
      log.exit = "killed";
      return failed(writer, log, "stopped by signal " + std::to_string(run.status));
    case ChildResult::End::signaled:
      log.exit = "sig" + std::to_string(run.status);
      return failed(writer, log, errors);
    case ChildResult::End::exited:
      log.exit = std::to_string(run.status);
      break;
  }
  if (run.status != 0) return failed(writer, log, errors.empty() ? "no message" : errors);
  CorvexPage page;
  try {
    page = readCorvexPage(run.out);
  } catch (const CorvexPageError& e) {
    return failed(writer, log, e.what() + (errors.empty() ? "" : " | " + errors));
  }
  log.rows = static_cast<long>(page.rows.size());
  log.note = errors;
  return {200, writer.resultsPage(page, startOf(fields.last("start")))};
}

void writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // the reader is gone; there is no one left to tell
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
}

}  // namespace

int main() {
  const auto started = std::chrono::steady_clock::now();
  // A visitor who leaves closes the output; writing then fails instead of killing the gateway
  // before it logs.
  std::signal(SIGPIPE, SIG_IGN);
  RequestLog log;
  log.client = environment("REMOTE_ADDR");
  log.method = environment("REQUEST_METHOD");
  const bool head = log.method == "HEAD";

  Response response;
  try {
    const Request request = readRequest(log.method);
    log.query = request.fields.last("q").value_or("");
    const std::string dir = programDir();
    const GatewayConfig config = readConfig(configPath(std::getenv("CORVEX_CGI_CONFIG"), dir), dir);
    response = search(config, request, log, head);
  } catch (const ConfigError& e) {
    log.outcome = "error";
    log.note = std::string("configuration: ") + e.what();
    response = {500, plainPage("The search is not available",
                               "The search of this site is not set up correctly. The site's "
                               "owner can find the details in its log.")};
  } catch (const std::exception& e) {
    log.outcome = "error";
    log.note = e.what();
    response = {500, plainPage("The search failed",
                               "Something went wrong on the server; the site's owner can find "
                               "the details in its log.")};
  }

  writeAll(1, responseHeader(response.status) + (head ? std::string() : response.body));
  const long ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - started)
                                        .count());
  writeAll(2, log.line(std::time(nullptr), ms));
  return 0;
}
