// Form fields as browsers send them.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "gateway/form_data.h"

namespace {

TEST(FormData, DecodesFieldsAndTakesTheLastOfAName) {
  const struct {
    std::string encoded, name;
    std::optional<std::string> value;
  } cases[] = {
      {"q=K%C3%BCche", "q", "K\xC3\274che"},
      {"q=a+b%2Bc", "q", "a b+c"},
      {"q=%fc%FC", "q", "\xFC\xFC"},
      {"q=100%25%", "q", "100%%"},
      {"q=%zz%4", "q", "%zz%4"},
      {"q=%00x", "q", std::string("\0x", 2)},
      {"i=0&i=1", "i", "1"},
      {"i=0&q=x", "i", "0"},
      {"q", "q", ""},
      {"&&q=a=b&", "q", "a=b"},
      {"Q=x&qq=y", "q", std::nullopt},
      {"%71=x", "q", "x"},
      {"", "q", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(gateway::FormData(c.encoded).last(c.name), c.value) << c.encoded;
  }
}

}  // namespace
