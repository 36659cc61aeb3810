// Whole runs of the program on small trees: the page on standard output, byte for byte, and the
// exit status.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include <boost/regex.hpp>

#include "test_util.h"

namespace {

using testutil::ProcessResult;

// Replaces every '@' of s by the site's path.
std::string at(const std::string& s, const std::string& site) {
  std::string out;
  for (const char c : s) {
    if (c == '@')
      out += site;
    else
      out += c;
  }
  return out;
}

// The page around its rows, with the heading text (already encoded) as title and first row.
std::string page(const std::string& heading, const std::string& rows) {
  return "\n<html>\n <head>\n  <title>\n   " + heading +
         "\n  </title>\n </head>\n <body>\n  <center>\n   <table Width=\"90%\">"
         "\n    <tr>\n     <td colspan=\"2\">\n      <b>\n       <u>\n        <center>\n         " +
         heading +
         "\n        </center>\n       </u>\n      </b>\n     </td>\n    </tr>" + rows +
         "\n   </table>\n  </center>\n </body>\n</html>";
}

std::string heading(const std::string& encodedSearch) {
  return "Results of search for &#39;" + encodedSearch + "&#39;";
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

std::string errorPage(const std::string& text) {
  return "\n<html>\n <head>\n  <title>\n   Error calling Corvex\n  </title>\n </head>\n"
         " <body>\n  <center>\n   " + text + "\n  </center>\n </body>\n</html>";
}

// A tree of pages under <temp>/site, its root directory list and an index folder.
class Site {
 public:
  Site() {
    testutil::writeFile(dir_ / "roots.txt", site() + "\n");
    testutil::writeFile(dir_ / "index/.keep", "");
  }
  std::string site() const { return dir_ / "site"; }
  std::string index() const { return dir_ / "index"; }
  void write(const std::string& name, const std::string& html) const {
    testutil::writeFile(site() + "/" + name, html);
  }
  ProcessResult run(const std::vector<std::string>& options, const std::string& search) const {
    std::vector<std::string> argv{CORVEX_BINARY};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(search);
    argv.push_back(index());
    argv.push_back(dir_ / "roots.txt");
    return testutil::runProcess(argv);
  }

 private:
  testutil::TempDir dir_;
};

// Body text of a.html: " Ein Haus und noch ein Haus. Im Hof steht kein Haus, nur ein Baum."
// with "Haus" at 5, 23 and 47, "ein" at 19, 43 and 57, the anchor "hof" at 28 and "Baum" at 61.
void writeSite(const Site& s) {
  s.write("a.html",
          "<html><head><title>Alpha page</title></head><body>\n"
          "<p>Ein Haus und noch ein Haus.</p><a name=\"hof\"></a>\n"
          "<p>Im Hof steht kein Haus, nur ein Baum.</p></body></html>\n");
  s.write("b.html", "<title>Das Haus</title><body>Das Haus</body>\n");
  s.write("c.html", "<body>Kein Treffer hier</body>\n");
  s.write("sub/e.html", "<title></title><body>haus klein, HAUS gross</body>\n");
  s.write("sub/f g.html", "<body>Zimmer frei</body>\n");
}

const char* const aAll =
    "Ein <b>Haus</b> und noch ein <b>Haus</b>. Im Hof steht kein <b>Haus</b>, nur ein Baum.";

TEST(SearchPage, ResultsAndOptions) {
  Site s;
  writeSite(s);
  struct Case {
    std::vector<std::string> options;
    std::string search;
    std::string headingSearch;  // encoded
    std::string rows;           // '@' stands for the site's path
  };
  const std::string a = "@/a.html";
  const std::string b = "@/b.html";
  const std::string e = "@/sub/e.html";
  const Case cases[] = {
      // ln 3 / 4 for three hits of "Haus"; a single hit scores 0.
      {{}, "Haus", "Haus",
       row(a, "Alpha page", aAll, "   0.27") + row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      {{"-L", "10"}, "Haus", "Haus",
       row(a, "Alpha page", "Ein <b>Haus</b> und", "   0.27") +
           row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      // The excerpt "ein Baum." starts behind the anchor.
      {{"-L10"}, "Baum", "Baum", row(a + "#hof", "Alpha page", "ein <b>Baum</b>.", "   0.00")},
      // Window "ein Haus" (span 8); counts Haus 3, ein 3: ln 3 * ln 3 / 8.
      {{}, "Haus ein", "Haus ein",
       row(a, "Alpha page",
           "Ein <b>Haus</b> und noch <b>ein</b> <b>Haus</b>. Im Hof steht k<b>ein</b> "
           "<b>Haus</b>, nur <b>ein</b> Baum.",
           "   0.15")},
      {{"-L", "10"}, "ein  Haus ", "ein  Haus ",
       row(a, "Alpha page", "<b>ein</b> <b>Haus</b>.", "   0.15")},
      {{"-H", "<em class=\"hit\">$$$</em>"}, "Baum", "Baum",
       row(a, "Alpha page", "Ein Haus und noch ein Haus. Im Hof steht kein Haus, nur ein "
                            "<em class=\"hit\">Baum</em>.", "   0.00")},
      {{"-T", "-H", "[$$$]", "-L", "4"}, "Haus", "Haus",
       row(a, "Alpha page", "[Haus]", "   0.27") + row(b, "Das [Haus]", "[Haus]", "   0.00")},
      // With -i the term is folded and matched without regard to case, in the index and the
      // text; an empty title becomes the -d value.
      {{"-i", "-d", "(ohne Titel)"}, "HAUS", "HAUS",
       row(a, "Alpha page", aAll, "   0.27") +
           row(e, "(ohne Titel)", "<b>haus</b> klein, <b>HAUS</b> gross", "   0.17") +
           row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      {{"-i"}, "haus", "haus",
       row(a, "Alpha page", aAll, "   0.27") +
           row(e, "Untitled", "<b>haus</b> klein, <b>HAUS</b> gross", "   0.17") +
           row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      {{"-n", "SUB"}, "Haus", "Haus", redRow("Nothing matched &#39;Haus&#39;")},
      {{"-i", "-n", "sub;B.HTML"}, "haus", "haus",
       row(e, "Untitled", "<b>haus</b> klein, <b>HAUS</b> gross", "   0.17") +
           row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      {{"-t", "<li>$title$|$url$|$score$|$text$</li>"}, "Haus", "Haus",
       "\n    <li>Alpha page|" + a + "|   0.27|" + aAll + "</li>" + "\n    <li>Das Haus|" + b +
           "|   0.00|Das <b>Haus</b></li>"},
      {{"-t", "<hr>"}, "Haus", "Haus", "\n    <hr>\n    <hr>"},
      // -m: the "More than" row stands above the results; exactly -m results need none.
      {{"-m", "1"}, "Haus", "Haus",
       redRow("More than 1 results - 1 results were skipped (and have not been scored)!") +
           row(a, "Alpha page", aAll, "   0.27")},
      {{"-m", "0"}, "Haus", "Haus",
       redRow("More than 0 results - 2 results were skipped (and have not been scored)!")},
      {{"-m", "2"}, "Haus", "Haus",
       row(a, "Alpha page", aAll, "   0.27") + row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      // 0xffffffff reads as -1, which compares as the largest unsigned limit.
      {{"-m", "0xffffffff"}, "Haus", "Haus",
       row(a, "Alpha page", aAll, "   0.27") + row(b, "Das Haus", "Das <b>Haus</b>", "   0.00")},
      // Too big to search: score 0, and of equal scores the later candidate comes first.
      {{"-S", "0"}, "Haus", "Haus",
       row(b, "Das Haus", "text-search skipped (file too big)", "   0.00") +
           row(a, "Alpha page", "text-search skipped (file too big)", "   0.00")},
      {{}, "Zebra", "Zebra", redRow("Nothing matched &#39;Zebra&#39;")},
      {{}, "a<b's", "a&lt;b&#39;s", redRow("Nothing matched &#39;a&lt;b&#39;s&#39;")},
      {{}, "   ", "   ", redRow("Nothing matched &#39;   &#39;")},
      // URLs: blanks escaped, -P exchanges a leading prefix, -p is put in front, -D leaves
      // names without a drive letter alone.
      {{}, "Zimmer", "Zimmer", row("@/sub/f%20g.html", "Not set", "<b>Zimmer</b> frei", "   0.00")},
      {{"-D", "-P", "@/=/web dir/", "-p", "http://host"}, "Zimmer", "Zimmer",
       row("http://host/web%20dir/sub/f%20g.html", "Not set", "<b>Zimmer</b> frei", "   0.00")},
      {{"-P", "/elsewhere/=/x/", "-p", "file://"}, "Baum", "Baum",
       row("file://@/a.html", "Alpha page",
           "Ein Haus und noch ein Haus. Im Hof steht kein Haus, nur ein <b>Baum</b>.", "   0.00")},
  };
  for (const Case& c : cases) {
    std::vector<std::string> options;
    for (const std::string& o : c.options) options.push_back(at(o, s.site()));
    const ProcessResult r = s.run(options, c.search);
    EXPECT_EQ(r.status, 0) << c.search << "\n" << r.err;
    EXPECT_EQ(r.out, page(heading(c.headingSearch), at(c.rows, s.site()))) << c.search;
  }
}

TEST(SearchPage, FailuresWithAndWithoutX) {
  Site s;
  writeSite(s);
  std::string regexMessage;
  try {
    boost::regex bad("Ha[us");
  } catch (const boost::regex_error& e) {
    regexMessage = e.what();
  }
  ASSERT_FALSE(regexMessage.empty());
  auto encode = [](const std::string& text) {
    std::string out;
    for (const char c : text) {
      if (c == '\'')
        out += "&#39;";
      else if (c == '<')
        out += "&lt;";
      else if (c == '>')
        out += "&gt;";
      else if (c == '&')
        out += "&amp;";
      else
        out += c;
    }
    return out;
  };

  struct Case {
    std::vector<std::string> options;
    std::string search;
    std::string reason;  // the text of the error, as written to standard error without -x
    bool internal;       // reported as an internal error without -x
  };
  const Case cases[] = {
      {{}, "Ha[us", "[runtime_error: " + regexMessage + "]", true},
      {{"-H", "<b>"}, "Haus", "$$$ awaited in '<b>'", false},
      {{"-P", "/web/"}, "Haus", "'=' awaited in '/web/'", false},
  };
  for (const Case& c : cases) {
    ProcessResult r = s.run(c.options, c.search);
    EXPECT_EQ(r.status, 1) << c.reason;
    EXPECT_EQ(r.out, "") << c.reason;
    const std::string expected =
        c.internal ? "\nInternalError in Corvex: " + c.reason +
                         "\n[please report to Corvex.BugReport@example.org]\n"
                   : "\nError in Corvex: " + c.reason + "\n";
    EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;

    std::vector<std::string> withX = c.options;
    withX.push_back("-x");
    r = s.run(withX, c.search);
    EXPECT_EQ(r.status, 0) << c.reason;
    const std::string reason = c.internal ? regexMessage : c.reason;
    EXPECT_EQ(r.out, page(heading(encode(c.search)), abortRow(encode(reason)))) << c.reason;
  }

  // The second candidate fails: the result of the first is dropped. Beyond the limit it is not
  // read at all.
  s.write("b.html", "");
  ProcessResult r = s.run({"-x"}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page(heading("Haus"), abortRow("Error in " + s.site() +
                                                  "/b.html (#0): HTML-File without content")));
  r = s.run({"-m", "1"}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page(heading("Haus"),
                        redRow("More than 1 results - 1 results were skipped (and have not been "
                               "scored)!") +
                            at(row("@/a.html", "Alpha page", aAll, "   0.27"), s.site())));
  // A bad number is found once there are candidates.
  r = s.run({"-x", "-m", "-1"}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page(heading("Haus"), abortRow("Numeric argument awaited in &lt;num&gt; "
                                                  "&#39;-1&#39; (dec or hex &#39;0x..&#39;) ")));
  r = s.run({"-m", "-1"}, "Zebra");
  EXPECT_EQ(r.out, page(heading("Zebra"), redRow("Nothing matched &#39;Zebra&#39;")));

  // A command-line error: the error page with -x, standard error without; status 1 both.
  r = testutil::runProcess({CORVEX_BINARY, "-x", "Haus", s.index()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, errorPage("Error in Corvex: Missing arguments: &lt;rootDirList&gt;"));
  r = testutil::runProcess({CORVEX_BINARY, "Haus", s.index()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("\nError in Corvex: Missing arguments: <rootDirList>\n"), std::string::npos);
}

TEST(SearchPage, TruncatedGlobalIndex) {
  Site s;
  writeSite(s);
  ASSERT_EQ(s.run({}, "Haus").status, 0);
  const std::string globalIndex = s.index() + "/global_index";
  const std::string bytes = testutil::readFile(globalIndex);
  testutil::writeFile(globalIndex, bytes.substr(0, bytes.size() / 2));
  const std::string message = "End of file reached (" + globalIndex + ")";

  ProcessResult r = s.run({}, "Haus");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("\nError in Corvex: " + message + "\n"), std::string::npos) << r.err;
  EXPECT_EQ(testutil::readFile(globalIndex), bytes.substr(0, bytes.size() / 2));

  r = s.run({"-x"}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page(heading("Haus"), abortRow(message)));

  // -u builds the index anew.
  r = s.run({"-u"}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page(heading("Haus"), at(row("@/a.html", "Alpha page", aAll, "   0.27") +
                                                 row("@/b.html", "Das Haus", "Das <b>Haus</b>",
                                                     "   0.00"),
                                             s.site())));
}

TEST(SearchPage, FilesChangedSinceIndexing) {
  Site s;
  writeSite(s);
  ASSERT_EQ(s.run({}, "Haus").status, 0);
  // Without -u the index stays as it is: a vanished candidate is skipped without a message, a
  // page that lost its body is listed with a fixed text.
  testutil::writeFile(s.site() + "/b.html.gone", "");
  ASSERT_EQ(std::remove((s.site() + "/b.html").c_str()), 0);
  s.write("a.html", "<head><title>Alpha page</title></head>\n");
  const ProcessResult r = s.run({}, "Haus");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, page(heading("Haus"), at(row("@/a.html", "Alpha page", "has no body",
                                                "   0.00"), s.site())));
  EXPECT_EQ(r.err.find("b.html"), std::string::npos) << r.err;
}

}  // namespace
