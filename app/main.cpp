// Corvex: searches local trees of HTML files and prints the results as one HTML page on
// standard output. Every failure ends either in an error page on standard output (-x) or in a
// report on standard error, with exit status 1.
#include <cstdlib>
#include <iostream>
#include <list>
#include <string>

#include <sys/stat.h>

#include "app/options.h"
#include "index/global_index.h"
#include "index/lookup.h"
#include "search/file_collection.h"
#include "kel/err/error.h"
#include "kel/html_read/entities.h"
#include "kel/html_write/html_element.h"

namespace {

using kel::html_write::ElementHandle;
using kel::html_write::HTML_Elements;
using kel::html_write::HTML_Tag;
using kel::html_write::HTML_Text;
using kel::html_write::makeHandle;

// The page that stands in for the results when the run fails with -x.
void printErrorPage(std::ostream& os, const kel::err::Error& e) {
  const auto tag = [](const char* name, const ElementHandle& content) -> ElementHandle {
    return makeHandle<HTML_Tag>(name, content);
  };
  const auto text = [](const std::string& s) -> ElementHandle {
    return makeHandle<HTML_Text>(kel::html_read::encodeEntities(s));
  };
  const ElementHandle page =
      tag("html", makeHandle<HTML_Elements>(std::list<ElementHandle>{
                      tag("head", tag("title", text("Error calling Corvex"))),
                      tag("body", tag("center", text(e.message())))}));
  page->print(os);
  os.flush();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    programInfo.init(argc, argv);

    // Make sure the index exists, then look the search string up in it.
    static std::string filesListPath;
    if (filesListPath.empty()) filesListPath = indexFilePath("files");
    struct stat info;
    if (buildFileList(filesListPath) || ::stat(globalIndexPath().c_str(), &info) != 0) {
      updateGlobalIndex(filesListPath);
    }
    unsigned patternFlags = boost::regex::normal;
    if (optIgnoreCase.isActive()) patternFlags |= boost::regex::icase;
    std::list<SearchTerm> terms;
    std::list<std::string> candidates;
    searchGlobalIndex(terms, patternFlags, candidates);

    // The result page follows here.

    return EXIT_SUCCESS;
  } catch (const kel::err::Error& e) {
    if (optNoThrow.isActive())
      printErrorPage(std::cout, e);
    else
      e.print(std::cerr);
  } catch (...) {
    kel::err::Error("Unknown exception").print(std::cerr);
  }
  return EXIT_FAILURE;
}
