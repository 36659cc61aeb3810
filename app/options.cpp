#include "app/options.h"

// Constructed in this order during static initialisation; each item registers itself, and the
// order of registration is the order of the help text and of positional arguments.

using namespace kel::cmdline;

ProgramInfo programInfo("Corvex", 0, 9,
                        "Search local HTML-trees and dump results as HTML to stdout",
                        "Dec  6 2002");

CmdLineArgument argSearch("search", "string to search for", nullptr, true);
CmdLineArgument argIndexDir("index-dir", "directory for search indices", nullptr, true);
CmdLineArgument argRootDirList(
    "rootDirList",
    "Textfile containing directories (one per line) where search should start. Prefixing a "
    "directory with - disables recursive search into this directory",
    nullptr, true);

CmdLineArgumentOption optExtensions('e', "extensions", "List of extensions treated as HTML files",
                                    ".htm;.html;.sht;.shtm;.shtml;.html.en;.html.de");
CmdLineOption optVerbose('v', "be verboose.");
CmdLineOption optIgnoreCase('i', "ignore case.");
CmdLineOption optNoThrow('x', "never throw exception (write error to HTML code instead)");
CmdLineArgumentOption optMaxLength('L', "len", "Maximum length of text per result", "300");
CmdLineArgumentOption optHighlight('H', "fontdef",
                                   "attribute for results ($$$ will be replaced by searchstring)",
                                   "<b>$$$</b>");
CmdLineOption optTitleHighlight('T', "highlight results in page titles?");
CmdLineArgumentOption optMaxSize('S', "size", "max. size of searched files (kb)", "150");
CmdLineArgumentOption optMaxResults('m', "num", "max. number of results in output", "500");
RepeatedCmdLineArgumentOption optIds('n', "id", ';',
                                     "search only files which have <id> in their full filename",
                                     nullptr);
CmdLineOption optDosDrives(
    'D',
    "Exchanges DOS-drive letters by small drive letters as top-dir (done "
    "before -P). Example: 'C:/Test/Example.html' -> '/c/Test/Example.html'.");
CmdLineArgumentOption optExchange('P', "exchange",
                                  "Prefix to exchange at beginning of each result URL (done before "
                                  "-p). Format of exchange: \"old = new\".",
                                  nullptr);
CmdLineArgumentOption optUrlPrefix('p', "prefix",
                                   "Prefix to add to each result URL (you may i.e. use -p "
                                   "\"file://\")",
                                   nullptr);
CmdLineArgumentOption optTemplate(
    't', "template", "How to display results ($xxx$ expressions get replaced)",
    "<tr><td colspan=2><a href=\"$url$\">$title$</a> <font size=\"-1\">[$url$]</font></td></tr>"
    "<tr><td width=20%>&nbsp;</td><td>$text$<br>Score: $score$</td></tr>");
CmdLineArgumentOption optDefaultTitle('d', "title",
                                      "What to display, if no title exists in linked HTML file",
                                      "Untitled");
CmdLineAnnotation annCgi(
    "If you want to use Corvex as cgi-tool you should experiment with -P and -p to create correct "
    "URLs",
    true);
CmdLineOption optUpdate('u', "force index update.");
CmdLineArgumentOption optMaxIndexSize('b', "kb",
                                      "do not add files bigger than <kb> kilobytes to index.",
                                      nullptr);
CmdLineArgumentOption optIndexPrefix(
    'I', "prefix",
    "Prefix to add to global index files. Use this to create multiple indices in same "
    "index-directory. The <rootDir>s used for different indices may overlap. In this case word "
    "extraction is only done once.",
    nullptr);
CmdLineAnnotation annIndexing(
    "Indexing mechanism:\n"
    "1. Create list of all HTML files.\n"
    "2. Create wordlist for each file (if not existing or HTML newer)\n"
    "3. Create global index file (describes occurances of words)",
    false);
