// Whole runs of the program on small trees: the page on standard output, byte for byte, and the
// exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "test_util.h"

namespace {

// The page around its rows (the heading row first), for a search string as encoded.
std::string page(const std::string& search, const std::string& rows) {
  const std::string heading = "Results of search for &#39;" + search + "&#39;";
  return "\n<html>\n <head>\n  <title>\n   " + heading +
         "\n  </title>\n </head>\n <body>\n  <center>\n   <table Width=\"90%\">\n    <tr>\n"
         "     <td colspan=\"2\">\n      <b>\n       <u>\n        <center>\n         " +
         heading + "\n        </center>\n       </u>\n      </b>\n     </td>\n    </tr>" + rows +
         "\n   </table>\n  </center>\n </body>\n</html>";
}

std::string redRow(const std::string& text) {
  return "\n    <tr>\n     <td colspan=\"2\">\n      <font color=\"red\">\n       " + text +
         "\n      </font>\n     </td>\n    </tr>";
}

std::string abortRow(const std::string& reason) {
  return "\n    <tr>\n     <td colspan=\"2\">\n      <b>\n       <font color=\"red\">\n        "
         "Corvex aborted (Reason: " +
         reason + ")\n       </font>\n      </b>\n     </td>\n    </tr>";
}

// A result row through the default template.
std::string row(const std::string& url, const std::string& title, const std::string& text,
                const std::string& score) {
  return "\n    <tr><td colspan=2><a href=\"" + url + "\">" + title + "</a> <font size=\"-1\">[" +
         url + "]</font></td></tr><tr><td width=20%>&nbsp;</td><td>" + text +
         "<br>Score: " + score + "</td></tr>";
}

// Pages under <temp>/site, listed as the one root directory; the index in <temp>/index.
// Body text of a.html: " Ein Haus und noch ein Haus. Im Hof steht kein Haus, nur ein Baum."
// ("Haus" at 5, 23, 47; "ein" at 19, 43, 57; the anchor "hof" at 28).
class Site {
 public:
  Site() {
    testutil::writeFile(dir_ / "roots.txt", site + "\n");
    testutil::writeFile(index + "/.keep", "");
    write("a.html",
          "<html><head><title>Alpha page</title></head><body>\n<p>Ein Haus und noch ein "
          "Haus.</p><a name=\"hof\"></a>\n<p>Im Hof steht kein Haus, nur ein Baum.</p>"
          "</body></html>\n");
    write("b.html", "<title>Das Haus</title><body>Das Haus</body>\n");
    write("c.html", "<body>Kein Treffer hier</body>\n");
    write("sub/e.html", "<title></title><body>haus klein, HAUS gross</body>\n");
    write("sub/f g.html", "<body>Zimmer frei</body>\n");
  }
  void write(const std::string& name, const std::string& html) const {
    testutil::writeFile(site + "/" + name, html);
  }
  testutil::ProcessResult run(std::vector<std::string> args, const std::string& search) const {
    args.insert(args.begin(), CORVEX_BINARY);
    args.insert(args.end(), {search, index, dir_ / "roots.txt"});
    return testutil::runProcess(args);
  }

 private:
  testutil::TempDir dir_;

 public:
  const std::string site = dir_ / "site";
  const std::string index = dir_ / "index";
};

TEST(SearchPage, ResultsAndOptions) {
  const Site s;
  const std::string a = s.site + "/a.html", b = s.site + "/b.html", e = s.site + "/sub/e.html";
  const std::string aText =
      "Ein <b>Haus</b> und noch ein <b>Haus</b>. Im Hof steht kein <b>Haus</b>, nur ein Baum.";
  const std::string aRow = row(a, "Alpha page", aText, "   0.27");  // ln 3 / 4
  const std::string bRow = row(b, "Das Haus", "Das <b>Haus</b>", "   0.00");
  const std::string eRow = row(e, "Untitled", "<b>haus</b> klein, <b>HAUS</b> gross", "   0.17");
  auto more = [](const std::string& limit, const std::string& skipped) {
    return redRow("More than " + limit + " results - " + skipped +
                  " results were skipped (and have not been scored)!");
  };
  const struct {
    std::vector<std::string> args;
    std::string search, encoded, rows;
  } cases[] = {
      {{}, "Haus", "Haus", aRow + bRow},
      {{"-L", "10"}, "Haus", "Haus", row(a, "Alpha page", "Ein <b>Haus</b> und", "   0.27") + bRow},
      // The excerpt "ein Baum." lies behind the anchor.
      {{"-L10"}, "Baum", "Baum", row(a + "#hof", "Alpha page", "ein <b>Baum</b>.", "   0.00")},
      // Window "ein Haus" (span 8), counts 3 and 3: ln 3 * ln 3 / 8.
      {{"-L", "10"},
       " ein  Haus",
       " ein  Haus",
       row(a, "Alpha page", "<b>ein</b> <b>Haus</b>.", "   0.15")},
      {{"-T", "-H", "<em class=\"x\">$$$</em>", "-L", "4"},
       "Haus",
       "Haus",
       row(a, "Alpha page", "<em class=\"x\">Haus</em>", "   0.27") +
           row(b, "Das <em class=\"x\">Haus</em>", "<em class=\"x\">Haus</em>", "   0.00")},
      // -i folds the term and ignores case in the index and in the text; an empty title
      // becomes the -d value.
      {{"-i", "-d", "(ohne)"},
       "HAUS",
       "HAUS",
       aRow + row(e, "(ohne)", "<b>haus</b> klein, <b>HAUS</b> gross", "   0.17") + bRow},
      {{"-i", "-n", "sub;B.HTML"}, "haus", "haus", eRow + bRow},
      {{"-n", "SUB"}, "Haus", "Haus", redRow("Nothing matched &#39;Haus&#39;")},
      {{"-t", "<li>$title$|$url$|$score$|$text$</li>"},
       "Baum",
       "Baum",
       "\n    <li>Alpha page|" + a +
           "|   0.00|Ein Haus und noch ein Haus. Im Hof steht kein Haus, nur ein "
           "<b>Baum</b>.</li>"},
      // The "More than" row stands above the results; exactly -m results need none, and
      // 0xffffffff reads as -1, an unreachable limit.
      {{"-m", "1"}, "Haus", "Haus", more("1", "1") + aRow},
      {{"-m", "0"}, "Haus", "Haus", more("0", "2")},
      {{"-m", "2"}, "Haus", "Haus", aRow + bRow},
      {{"-m", "0xffffffff"}, "Haus", "Haus", aRow + bRow},
      // Too big to search: score 0, and of equal scores the later candidate comes first.
      {{"-S", "0"},
       "Haus",
       "Haus",
       row(b, "Das Haus", "text-search skipped (file too big)", "   0.00") +
           row(a, "Alpha page", "text-search skipped (file too big)", "   0.00")},
      {{}, "a<b's", "a&lt;b&#39;s", redRow("Nothing matched &#39;a&lt;b&#39;s&#39;")},
      {{}, "  ", "  ", redRow("Nothing matched &#39;  &#39;")},
      // URLs: blanks escaped last, -P exchanges a leading prefix, -p goes in front, -D leaves
      // names without a drive letter alone.
      {{},
       "Zimmer",
       "Zimmer",
       row(s.site + "/sub/f%20g.html", "Not set", "<b>Zimmer</b> frei", "   0.00")},
      {{"-D", "-P", s.site + "/=/web dir/", "-p", "http://h"},
       "Zimmer",
       "Zimmer",
       row("http://h/web%20dir/sub/f%20g.html", "Not set", "<b>Zimmer</b> frei", "   0.00")},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = s.run(c.args, c.search);
    EXPECT_EQ(r.status, 0) << c.search << "\n" << r.err;
    EXPECT_EQ(r.out, page(c.encoded, c.rows)) << c.search;
  }
}

// Text as readers see it: entity-written umlauts, terms that match the same stretch, candidates
// without a row, and pages and searches in UTF-8.
TEST(SearchPage, GermanAndUtf8Text) {
  Site s;
  s.write("k.html", "<title>K&uuml;che</title><body>Die K&uuml;che &amp; mehr&nbsp;&auml;</body>");
  s.write("n.html", "<body>leer</body>Nachwort<p>");
  s.write("u.html",
          "<meta charset=\"utf-8\"><title>Gr\xC3\xB6\xC3\237e</title><body>Die "
          "Gr\xC3\xB6&szlig;e &mdash; \xC4\214apek</body>");
  const std::string a = s.site + "/a.html", b = s.site + "/b.html";
  const std::string aText =
      "Ein <b>Haus</b> und noch ein <b>Haus</b>. Im Hof steht kein <b>Haus</b>, nur ein Baum.";
  const std::string uRow = row(s.site + "/u.html", "Gr\xF6\337e",
                               "Die <b>Gr\xF6\337e</b> &#8212; &#268;apek", "   0.00");
  const struct {
    std::string search, encoded, rows;
  } cases[] = {
      // Both terms match every "Haus": ln 3 * ln 3 / 4.
      {"Haus Haus", "Haus Haus",
       row(a, "Alpha page", aText, "   0.30") + row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      {"K\374che", "K&uuml;che",
       row(s.site + "/k.html", "K\374che", "Die <b>K\374che</b> &amp; mehr&nbsp;&auml;",
           "   0.00")},
      {"Nachwort", "Nachwort", redRow("Nothing matched &#39;Nachwort&#39;")},
      {"Gr\xC3\xB6\xC3\237e", "Gr&ouml;&szlig;e", uRow},
      {"Gr\xF6\337e", "Gr&ouml;&szlig;e", uRow},
      {"apek", "apek",
       row(s.site + "/u.html", "Gr\xF6\337e", "Die Gr\xF6\337e &#8212; &#268;<b>apek</b>",
           "   0.00")},
      // A character beyond Latin-1 cannot be searched; the string is used as it is.
      {"\xC4\214apek", "&Auml;\214apek", redRow("Nothing matched &#39;&Auml;\214apek&#39;")},
  };
  for (const auto& c : cases) {
    const testutil::ProcessResult r = s.run({}, c.search);
    EXPECT_EQ(r.status, 0) << c.search << "\n" << r.err;
    EXPECT_EQ(r.out, page(c.encoded, c.rows)) << c.search;
  }
}

TEST(SearchPage, Failures) {
  Site s;
  std::string regexMessage;
  try {
    boost::regex bad("Ha[us");
  } catch (const boost::regex_error& e) {
    regexMessage = e.what();
  }
  auto encode = [](const std::string& text) {
    std::string out;
    for (const char c : text) {
      out += c == '\'' ? "&#39;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : std::string(1, c);
    }
    return out;
  };
  // Without -x standard error gets the report and standard output nothing; with -x the page
  // gets the message in an "aborted" row.
  const struct {
    std::vector<std::string> args;
    std::string search, message, report;
  } cases[] = {
      {{}, "Ha[us", "Invalid search term 'Ha[us': " + regexMessage, ""},
      {{"-H", "<b>"}, "Haus", "$$$ awaited in '<b>'", ""},
      {{"-P", "/web/"}, "Haus", "'=' awaited in '/web/'", ""},
      {{"-m", "-1"}, "Haus", "Numeric argument awaited in <num> '-1' (dec or hex '0x..') ", ""},
  };
  for (const auto& c : cases) {
    testutil::ProcessResult r = s.run(c.args, c.search);
    EXPECT_EQ(r.status, 1) << c.message;
    EXPECT_EQ(r.out, "") << c.message;
    const std::string report =
        c.report.empty() ? "\nError in Corvex: " + c.message + "\n" : c.report;
    EXPECT_NE(r.err.find(report), std::string::npos) << r.err;
    std::vector<std::string> args = c.args;
    args.push_back("-x");
    r = s.run(args, c.search);
    EXPECT_EQ(r.status, 0) << c.message;
    EXPECT_EQ(r.out, page(encode(c.search), abortRow(encode(c.message)))) << c.message;
  }

  // A page that cannot be written is a failure, not a result.
  testutil::ProcessResult r =
      testutil::runProcess({"/bin/sh", "-c", "exec \"$0\" \"$@\" >/dev/full", CORVEX_BINARY, "Haus",
                            s.index, s.site + "/../roots.txt"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("\nError in Corvex: No space left on device ('standard output')\n"),
            std::string::npos)
      << r.err;

  // The second candidate fails: the first one's result is dropped. Beyond -m it is not read.
  s.write("b.html", "");
  r = s.run({"-x"}, "Haus");
  EXPECT_EQ(r.out, page("Haus", abortRow("Error in " + s.site +
                                         "/b.html (#0): HTML-File without content")));
  EXPECT_EQ(s.run({"-m1"}, "Haus").status, 0);
}

// A term the expression engine gives up on: on a page, only that page is no result; on a word
// of the index, the search is the user's error, naming the term.
TEST(SearchPage, TermsTheExpressionEngineGivesUpOn) {
  Site s;
  s.write("w1.html", "<html><body>Wohnung Haus Haus</body></html>\n");
  s.write("w2.html", "<body>Wohnung</body>\n");
  const std::string tooComplex =
      "is too complex: The complexity of matching the regular expression exceeded predefined "
      "bounds.";
  testutil::ProcessResult r = s.run({"-v", "-u"}, "(.*)*ung");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out.find("w1.html"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("<a href=\"" + s.site + "/w2.html\">"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("\nSkipping " + s.site + "/w1.html: Search term '(.*)*ung' " + tooComplex),
            std::string::npos)
      << r.err;

  s.write("w3.html", "<body>" + std::string(60, 'a') + "c</body>\n");
  r = s.run({"-u"}, "(a*)*b");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("\nError in Corvex: Search term '(a*)*b' " + tooComplex), std::string::npos)
      << r.err;
}

TEST(SearchPage, StaleAndDamagedIndex) {
  const Site s;
  ASSERT_EQ(s.run({}, "Haus").status, 0);
  // Without -u the index is used as it is: a vanished candidate is skipped without a message,
  // a page that lost its body is listed with a fixed text.
  ASSERT_EQ(std::remove((s.site + "/b.html").c_str()), 0);
  s.write("a.html", "<head><title>Alpha page</title></head>\n");
  testutil::ProcessResult r = s.run({}, "Haus");
  EXPECT_EQ(r.out, page("Haus", row(s.site + "/a.html", "Alpha page", "has no body", "   0.00")));
  EXPECT_EQ(r.err.find("b.html"), std::string::npos) << r.err;

  const std::string globalIndex = s.index + "/global_index";
  const std::string bytes = testutil::readFile(globalIndex);
  testutil::writeFile(globalIndex, bytes.substr(0, bytes.size() / 2));
  r = s.run({}, "Haus");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("\nError in Corvex: End of file reached (" + globalIndex + ")\n"),
            std::string::npos)
      << r.err;
  r = s.run({"-x"}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page("Haus", abortRow("End of file reached (" + globalIndex + ")")));
  EXPECT_EQ(testutil::readFile(globalIndex), bytes.substr(0, bytes.size() / 2));
}

}  // namespace
