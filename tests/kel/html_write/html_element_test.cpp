#include "kel/html_write/html_element.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kel::html_write {
namespace {

ElementHandle text(const std::string& s) { return makeHandle<HTML_Text>(s); }

ElementHandle tag(const std::string& name, const ElementHandle& content) {
  return makeHandle<HTML_Tag>(name, content);
}

std::string printed(const HTML_Element& element) {
  std::ostringstream os;
  element.print(os);
  return os.str();
}

TEST(HtmlElementTest, PrintAndToStringOfEveryKind) {
  auto table = makeHandle<HTML_Attributed_Tag>(
      "table", text("x"), std::list<AttributeHandle>{makeHandle<HTML_Attribute>("Width", "90%")});
  table->add(makeHandle<HTML_Attribute>("a", "say \"hi\""));

  const struct {
    const char* what;
    ElementHandle element;
    std::string print;
    std::string string;
  } cases[] = {
      {"text", text("a<b"), "\na<b", "a<b"},
      {"attribute", makeHandle<HTML_Attribute>("color", "red"), " color=\"red\"", " color=\"red\""},
      {"tag", tag("title", text("x")), "\n<title>\n x\n</title>", "<title>x</title>"},
      {"empty sequence", makeHandle<HTML_Elements>(), "", ""},
      {"sequence", makeHandle<HTML_Elements>(std::list<ElementHandle>{text("a"), text("b")}),
       "\na\nb", "ab"},
      {"attributes in order, quotes unchanged", table,
       "\n<table Width=\"90%\" a=\"say \"hi\"\">\n x\n</table>",
       "<table Width=\"90%\" a=\"say \"hi\"\">x</table>"},
      {"attributed tag without attributes", makeHandle<HTML_Attributed_Tag>("td", text("x")),
       "\n<td>\n x\n</td>", "<td>x</td>"},
      {"three deep", tag("a", tag("b", tag("c", text("x")))),
       "\n<a>\n <b>\n  <c>\n   x\n  </c>\n </b>\n</a>", "<a><b><c>x</c></b></a>"},
      {"tag with empty sequence", tag("p", makeHandle<HTML_Elements>()), "\n<p>\n</p>", "<p></p>"},
      {"empty handles print nothing",
       makeHandle<HTML_Elements>(
           std::list<ElementHandle>{ElementHandle(), tag("p", ElementHandle())}),
       "\n<p>\n</p>", "<p></p>"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(printed(*c.element), c.print) << c.what;
    EXPECT_EQ(c.element->toString(), c.string) << c.what;
    EXPECT_EQ(indentLevel, 0u) << c.what;
  }
}

TEST(HtmlElementTest, SharedNodePrintsAtEachParentsDepth) {
  const ElementHandle heading = text("H");
  const auto page = tag("html", makeHandle<HTML_Elements>(std::list<ElementHandle>{
                                    tag("title", heading), tag("body", tag("center", heading))}));
  EXPECT_EQ(printed(*page),
            "\n<html>\n <title>\n  H\n </title>\n <body>\n  <center>\n   H\n  </center>\n </body>"
            "\n</html>");
  EXPECT_EQ(page->toString(), "<html><title>H</title><body><center>H</center></body></html>");
  // Consecutive prints start at the same level.
  EXPECT_EQ(printed(*page), printed(*page));
}

// Accepts a few characters, then fails every write.
class FailingBuffer : public std::streambuf {
 protected:
  int_type overflow(int_type c) override { return ++written_ > 6 ? traits_type::eof() : c; }

 private:
  int written_ = 0;
};

TEST(HtmlElementTest, IndentationIsRestoredWhenTheStreamThrows) {
  FailingBuffer buffer;
  std::ostream os(&buffer);
  os.exceptions(std::ios::badbit);
  EXPECT_THROW(tag("a", tag("b", text("x")))->print(os), std::ios::failure);
  EXPECT_EQ(indentLevel, 0u);
}

// Counts its live instances, so the tests see when the tree destroys a node.
struct Probe : HTML_Text {
  explicit Probe(int& live) : HTML_Text("p"), live(live) { ++live; }
  ~Probe() override { --live; }
  int& live;
};

TEST(SharedHandleTest, LastHolderDestroysTheNodeOnce) {
  int live = 0;
  {
    ElementHandle probe = makeHandle<Probe>(live);
    EXPECT_EQ(probe.useCount(), 1);
    auto first = tag("a", probe);
    {
      auto second = makeHandle<HTML_Elements>(std::list<ElementHandle>{probe, probe});
      EXPECT_EQ(probe.useCount(), 4);
      probe = ElementHandle();
      EXPECT_EQ(live, 1);
    }
    EXPECT_EQ(live, 1);
    ElementHandle moved = std::move(first);
    EXPECT_FALSE(first);
    EXPECT_EQ(first.useCount(), 0);
    EXPECT_EQ(moved.useCount(), 1);
  }
  EXPECT_EQ(live, 0);
}

}  // namespace
}  // namespace kel::html_write
