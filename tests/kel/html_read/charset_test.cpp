#include "kel/html_read/charset.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(Charset, DeclaresUtf8) {
  const std::string pad(1000, ' ');
  const struct {
    std::string start;
    bool utf8;
  } cases[] = {
      {"\xEF\xBB\xBF<p>", true},
      {"\xEF\xBB\xBF<meta charset=iso-8859-1>", true},  // the mark comes first
      {"<meta charset=\"utf-8\">", true},
      {"<html><head><META CHARSET=' UTF8 '>", true},
      {"<meta/charset=unicode-1-1-utf-8>", true},
      {"<meta charset=x-unicode20utf8>", true},
      {"<meta charset=utf-16le>", true},  // a page read as bytes cannot be UTF-16
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">", true},
      {"<meta content='text/html;charset = \"UTF-8\"' http-equiv=content-type>", true},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><html>", true},
      {"<?xml version='1.0' encoding = 'utf-8' ?><meta charset=bogus>", true},
      // The first meta that names a known label decides.
      {"<meta charset=bogus><meta charset=utf-8>", true},
      {"<meta charset=latin1><meta charset=utf-8>", false},
      {"<?xml encoding=\"utf-8\"?><meta charset=windows-1252>", false},
      // Content without the pragma, and a pragma without content, declare nothing.
      {"<meta content=\"text/html; charset=utf-8\">", false},
      {"<meta http-equiv=content-type charset=iso-8859-1 content='charset=utf-8'>", false},
      {"<meta charset=iso-8859-1 charset=utf-8>", false},  // the first of equal names counts
      // Comments, other tags and their attribute values are passed over.
      {"<!-- <meta charset=utf-8> --><p>", false},
      {"<!--><meta charset=utf-8>", true},
      {"<p title=\"<meta charset=utf-8>\"><meta charset=iso-8859-15>", false},
      {"<metal charset=utf-8>", false},
      {"<meta charset=utf-8", false},  // cut short
      {" <?xml version=\"1.0\" encoding=\"UTF-8\"?>", false},
      {"\xFF\xFE<\0m\0", false},
      {"", false},
      {pad + "<meta charset=utf-8>", true},
      {pad + "xxxxxxxxxxx<meta charset=utf-8>", false},  // beyond the first 1,024 bytes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(kel::html_read::declaresUtf8(c.start), c.utf8) << c.start;
  }
}

}  // namespace
