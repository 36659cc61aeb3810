// The log line: one line whatever a request holds.
#include <gtest/gtest.h>

#include "gateway/request_log.h"

namespace {

TEST(RequestLog, WritesOneEscapedLine) {
  gateway::RequestLog log;
  log.client = "127.0.0.1";
  log.method = "GET";
  log.outcome = "refused:control";
  log.query = std::string("K\xC3\xBC\"\\\n", 6) + std::string(200, 'a');
  log.note =
      gateway::foldCorvexErrors("Overall results: 1 2 \nError in Corvex: x\n\nNo results.\ny");
  EXPECT_EQ(log.line(86400 * 365, 7),
            "corvex-cgi: 1971-01-01T00:00:00Z 127.0.0.1 GET refused:control q=\"K\\xc3\\xbc\\\"\\\\"
            "\\x0a" +
                std::string(94, 'a') +
                "...\" rows=- exit=- ms=7 note=\"Error in Corvex: x | y\"\n");
}

}  // namespace
