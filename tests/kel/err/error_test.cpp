#include "kel/err/error.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <sstream>
#include <typeinfo>

namespace {

using kel::err::Error;
using kel::err::InternalError;
using kel::err::IOError;

std::string printed(const Error& e) {
  std::ostringstream out;
  e.print(out);
  return out.str();
}

TEST(Error, LocationAndPrintedForms) {
  // Nothing in this program has set the default location yet.
  const Error early("too early");
  EXPECT_EQ(printed(early), "\nError in <unknown>: too early\n");
  EXPECT_EQ(Error::setDefaultWhere("corvex"), "<unknown>");
  EXPECT_EQ(Error::setDefaultWhere("corvex"), "corvex");
  EXPECT_EQ(early.where, "<unknown>");  // existing errors keep their location
  const char* nullText = nullptr;
  errno = ENOENT;
  const IOError plain("/no/such");
  errno = ENOENT;
  const IOError stat("/no/such", "stat");
  const std::string enoent = std::strerror(ENOENT);
  const struct {
    Error error;
    std::string text;
  } cases[] = {
      {Error("bad"), "\nError in corvex: bad\n"},
      {Error(false, "info"), "\ncorvex: info\n"},
      {Error(nullText), "\nError in corvex: \n"},
      {plain, "\nError in corvex: " + enoent + " ('/no/such')\n"},
      {stat, "\nError in corvex: " + enoent + " for stat ('/no/such')\n"},
  };
  for (const auto& c : cases) EXPECT_EQ(printed(c.error), c.text);
  // Printed through the base class, the InternalError form still applies.
  const InternalError internal("broken");
  const Error& base = internal;
  EXPECT_EQ(printed(base),
            "\nInternalError in corvex: broken\n[please report to corvex.BugReport@example.org]\n");
}

TEST(RethrowAsError, NamesTheStandardClass) {
  Error::setDefaultWhere("corvex");
  const auto converted = [](const std::exception& e) -> std::string {
    try {
      kel::err::rethrowAsError(e);
    } catch (const Error& x) {
      return std::string(typeid(x) == typeid(InternalError) ? "Internal" : "Error") + x.what();
    }
    return "not thrown";
  };
  EXPECT_EQ(converted(std::domain_error("d")), "Internal[domain_error: d]");
  EXPECT_EQ(converted(std::length_error("l")), "Internal[length_error: l]");
  EXPECT_EQ(converted(std::out_of_range("o")), "Internal[logic_error: o]");
  EXPECT_EQ(converted(std::overflow_error("v")), "Internal[overflow_error: v]");
  EXPECT_EQ(converted(std::runtime_error("t")), "Internal[runtime_error: t]");
  EXPECT_EQ(converted(std::bad_alloc()), "Internal[exception: std::bad_alloc]");
  // An error of the family comes back as a plain Error with all its fields.
  EXPECT_EQ(converted(InternalError("inner")), "Errorinner");
  try {
    kel::err::rethrowAsError(Error(false, "note"));
  } catch (const Error& x) {
    EXPECT_EQ(printed(x), "\ncorvex: note\n");
  }
}

TEST(HandleException, PrintsToStandardError) {
  Error::setDefaultWhere("corvex");
  testing::internal::CaptureStderr();
  kel::err::handle_exception(std::length_error("too long"));
  kel::err::handle_exception(Error("plain"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "\nInternalError in corvex: [length_error: too long]\n[please report to "
            "corvex.BugReport@example.org]\n"
            "\nError in corvex: plain\n");
}

}  // namespace
