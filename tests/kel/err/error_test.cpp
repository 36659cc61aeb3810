#include "kel/err/error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>
#include <new>
#include <sstream>
#include <typeinfo>

namespace {

using kel::err::Error;
using kel::err::InternalError;
using kel::err::IOError;

// Sets the default location for one test and restores the earlier one afterwards.
class DefaultWhere {
 public:
  explicit DefaultWhere(const std::string& where) : previous_(Error::setDefaultWhere(where)) {}
  ~DefaultWhere() { Error::setDefaultWhere(previous_); }

 private:
  std::string previous_;
};

std::string printed(const Error& e) {
  std::ostringstream out;
  e.print(out);
  return out.str();
}

TEST(Error, DefaultLocationBeforeAndAfterItIsSet) {
  // Nothing in this test program sets the location before this test.
  EXPECT_EQ(Error::defaultWhere(), "<unknown>");
  const Error early("too early");
  EXPECT_EQ(printed(early), "\nError in <unknown>: too early\n");
  {
    const DefaultWhere scope("corvex");
    EXPECT_EQ(Error::setDefaultWhere("corvex"), "corvex");  // same value again: unchanged
    const Error late("late");
    EXPECT_EQ(late.where, "corvex");
    EXPECT_EQ(early.where, "<unknown>");  // existing errors keep their location
    EXPECT_EQ(Error::setDefaultWhere("other"), "corvex");
  }
  EXPECT_EQ(Error::defaultWhere(), "<unknown>");
}

TEST(Error, PrintedForms) {
  const DefaultWhere scope("corvex");
  struct Case {
    Error error;
    std::string expected;
  };
  const char* null_text = nullptr;
  const Case cases[] = {
      {Error("bad"), "\nError in corvex: bad\n"},
      {Error(std::string("bad")), "\nError in corvex: bad\n"},
      {Error(false, "info"), "\ncorvex: info\n"},
      {Error(false, std::string("info")), "\ncorvex: info\n"},
      {Error(true, "x"), "\nError in corvex: x\n"},
      {Error(null_text), "\nError in corvex: \n"},
      {Error(std::string("line1\nline2")), "\nError in corvex: line1\nline2\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(printed(c.error), c.expected);
    EXPECT_EQ("\n" + c.error.message() + "\n", c.expected);
  }
  // A copy carries all three fields.
  const Error original(false, "kept");
  const Error copy(original);
  EXPECT_STREQ(copy.what(), "kept");
  EXPECT_EQ(copy.where, "corvex");
  EXPECT_FALSE(copy.isError);
}

TEST(IOError, MessagesCarryTheSystemText) {
  const DefaultWhere scope("corvex");
  errno = ENOENT;
  const IOError plain("/no/such");
  errno = ENOENT;
  const IOError withOperation("/no/such", "stat");
  const std::string text = std::strerror(ENOENT);
  EXPECT_EQ(std::string(plain.what()), text + " ('/no/such')");
  EXPECT_EQ(std::string(withOperation.what()), text + " for stat ('/no/such')");
  EXPECT_EQ(printed(withOperation), "\nError in corvex: " + text + " for stat ('/no/such')\n");
  EXPECT_TRUE(plain.isError);
}

TEST(InternalError, ReportAddressFollowsTheDefaultLocation) {
  const DefaultWhere scope("Corvex");
  const InternalError e("broken");
  EXPECT_EQ(printed(e), "\nInternalError in Corvex: broken\n[please report to Corvex.BugReport@example.org]\n");
  // Printed through the base class, the override still applies.
  const Error& base = e;
  EXPECT_EQ(base.message(), "InternalError in Corvex: broken\n[please report to Corvex.BugReport@example.org]");
}

// The message and dynamic type that rethrowAsError gives for e.
template <typename E>
std::pair<std::string, std::string> converted(const E& e) {
  try {
    kel::err::rethrowAsError(e);
  } catch (const Error& x) {
    return {x.what(), typeid(x) == typeid(InternalError) ? "InternalError" : typeid(x) == typeid(Error) ? "Error" : "other"};
  }
  return {"not thrown", ""};
}

TEST(RethrowAsError, NamesTheStandardClass) {
  using Result = std::pair<std::string, std::string>;
  EXPECT_EQ(converted(std::domain_error("d")), Result("[domain_error: d]", "InternalError"));
  EXPECT_EQ(converted(std::invalid_argument("i")), Result("[invalid_argument: i]", "InternalError"));
  EXPECT_EQ(converted(std::length_error("l")), Result("[length_error: l]", "InternalError"));
  EXPECT_EQ(converted(std::out_of_range("o")), Result("[logic_error: o]", "InternalError"));
  EXPECT_EQ(converted(std::logic_error("g")), Result("[logic_error: g]", "InternalError"));
  EXPECT_EQ(converted(std::range_error("r")), Result("[range_error: r]", "InternalError"));
  EXPECT_EQ(converted(std::overflow_error("v")), Result("[overflow_error: v]", "InternalError"));
  EXPECT_EQ(converted(std::underflow_error("u")), Result("[underflow_error: u]", "InternalError"));
  EXPECT_EQ(converted(std::runtime_error("t")), Result("[runtime_error: t]", "InternalError"));
  EXPECT_EQ(converted(std::bad_alloc()), Result("[exception: std::bad_alloc]", "InternalError"));
}

TEST(RethrowAsError, ErrorsComeBackAsPlainErrors) {
  const DefaultWhere scope("corvex");
  const InternalError internal("inner");
  try {
    kel::err::rethrowAsError(internal);
  } catch (const Error& x) {
    EXPECT_EQ(typeid(x), typeid(Error));
    EXPECT_EQ(printed(x), "\nError in corvex: inner\n");
  }
  const Error info(false, "note");
  try {
    kel::err::rethrowAsError(info);
  } catch (const Error& x) {
    EXPECT_FALSE(x.isError);
    EXPECT_EQ(x.where, "corvex");
    EXPECT_STREQ(x.what(), "note");
  }
}

TEST(HandleException, PrintsEveryKindToStandardError) {
  const DefaultWhere scope("corvex");
  struct Case {
    std::function<void()> report;
    std::string expected;
  };
  const Case cases[] = {
      {[] { kel::err::handle_exception(Error("plain")); }, "\nError in corvex: plain\n"},
      {[] { kel::err::handle_exception(InternalError("inner")); },
       "\nInternalError in corvex: inner\n[please report to corvex.BugReport@example.org]\n"},
      {[] { kel::err::handle_exception(std::length_error("too long")); },
       "\nInternalError in corvex: [length_error: too long]\n[please report to corvex.BugReport@example.org]\n"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStderr();
    c.report();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
  }
}

}  // namespace
