// Corvex: searches local trees of HTML files and prints the results as one HTML page on
// standard output, and nothing else there.
//
// A search string that is UTF-8 of Latin-1 characters only is searched as Latin-1.
//
// A failure while the index is prepared or the candidates are searched ends, with -x, in an
// "aborted" row of the page and exit status 0; any other failure (parsing the command line,
// printing the page, or the search without -x) in an error page on standard output with -x, or
// a report on standard error without it, and exit status 1.
#include <cstdlib>
#include <exception>
#include <iostream>
#include <list>
#include <map>
#include <string>

#include <sys/stat.h>

#include "app/options.h"
#include "app/results_page.h"
#include "index/global_index.h"
#include "index/lookup.h"
#include "kel/err/error.h"
#include "kel/err/format.h"
#include "kel/html_read/utf8.h"
#include "kel/html_write/html_element.h"
#include "kel/sys_dep/freed_memory.h"
#include "search/candidate_reader.h"
#include "search/file_collection.h"
#include "search/result_text.h"

namespace {

using kel::html_write::ElementHandle;
using kel::html_write::HTML_Elements;
using kel::html_write::HTML_Text;
using kel::html_write::makeHandle;

// Makes sure the index exists, looks the search string up and appends to rows the "More than"
// row when the result limit is reached and then the results, highest score first (among equal
// scores the later candidate first), or the "Nothing matched" row when there is neither a result
// nor a "More than" row. Rows are only appended once every candidate has been searched, so a
// failure leaves just the rows added before it.
void searchAndRank(HTML_Elements& rows) {
  // The file collection decides on -u: it rescans the roots when -u is given or no file list
  // exists yet, and then the index is brought up to date; so is a missing global index.
  const std::string fileList = filesListPath();
  struct stat info;
  if (buildFileList(fileList) || ::stat(globalIndexPath().c_str(), &info) != 0) {
    updateGlobalIndex(fileList);
  }

  unsigned patternFlags = boost::regex::normal;
  if (optIgnoreCase.isActive()) patternFlags |= boost::regex::icase;
  const LookupResult found = searchGlobalIndex(patternFlags);
  const std::list<SearchTerm>& terms = found.terms;
  const Candidates& candidates = found.candidates;

  const auto nothingMatched = [&rows] {
    rows.add(messageRow("Nothing matched '" + argSearch.value() + "'"));
  };
  if (candidates.empty()) {
    nothingMatched();
    return;
  }

  const ResultTextOptions options =
      commandLineTextOptions(optMaxLength.getInt(), optMaxSize.getInt());
  const int maxResults = optMaxResults.getInt();
  const std::string& templ = optTemplate.value();
  // Every candidate takes buffers of about its page's size on some thread and frees them again.
  kel::sys_dep::keepFreedMemory();
  // The candidates are read on all cores; their outcomes, and their lines on standard error,
  // come in candidate order, so only the candidates examined below count.
  // Until the limit is reached every candidate is taken, so those may be read ahead freely and
  // the threads need not wait for the caller's rows.
  const std::size_t sure =
      maxResults < 0 ? candidates.size() : static_cast<std::size_t>(maxResults);
  CandidateReader reader(candidates, terms, options, CandidateReader::defaultThreads(), sure);

  // Equal scores keep their insertion order here; the page lists them in reverse.
  std::multimap<double, ElementHandle> ranking;
  unsigned resultCounter = 1;
  bool limitReached = false;
  for (std::size_t i = 0; i < candidates.size(); ++i) {
    // A negative limit compares as a huge unsigned one and is never reached.
    if (resultCounter > static_cast<unsigned>(maxResults)) {
      rows.add(messageRow(kel::format(
          "More than %li results - %i results were skipped (and have not been scored)!",
          static_cast<long>(maxResults), static_cast<int>(candidates.size()) - maxResults)));
      limitReached = true;
      break;
    }
    CandidateOutcome outcome = reader.take(i);
    std::cerr << outcome.log;
    if (outcome.failure) std::rethrow_exception(outcome.failure);
    FileResult& r = outcome.result;
    if (!r.isResult) continue;
    const std::string url = makeResultUrl(outcome.path, r.anchor);
    if (r.title.empty()) r.title = optDefaultTitle.value();
    const std::string scoreText = kel::format("%7.2f", r.score);
    ranking.emplace(
        r.score, makeHandle<HTML_Text>(substituteTemplate(templ, url, r.text, r.title, scoreText)));
    ++resultCounter;
  }
  // Candidates of which none held a window of hits: the page says so rather than end bare.
  if (ranking.empty() && !limitReached) nothingMatched();
  for (auto it = ranking.rbegin(); it != ranking.rend(); ++it) rows.add(it->second);
}

// Appends the row that reports a failure of the search and clears -x, so that a later failure
// goes to standard error instead of making a second page.
void addAbortRow(HTML_Elements& rows, const std::string& reason) {
  rows.add(abortRow("Corvex aborted (Reason: " + reason + ")"));
  optNoThrow.reset();
}

}  // namespace

int main(int argc, char** argv) {
  try {
    programInfo.init(argc, argv);
    // A search typed on a UTF-8 terminal or sent by a UTF-8 form: the index and the page are
    // Latin-1.
    if (const auto latin1 = kel::html_read::utf8AsLatin1(argSearch.value())) {
      argSearch.setValue(*latin1, false);
    }

    const ElementHandle heading = makeHeading(argSearch.value());
    const auto rows = makeHandle<HTML_Elements>();
    rows->add(headingRow(heading));
    try {
      searchAndRank(*rows);
    } catch (const std::exception& e) {
      if (!optNoThrow.isActive()) kel::err::rethrowAsError(e);
      addAbortRow(*rows, e.what());
    } catch (...) {
      if (!optNoThrow.isActive()) throw kel::err::Error("unknown exception");
      addAbortRow(*rows, "unknown exception");
    }

    makePage(heading, rows)->print(std::cout);
    std::cout.flush();
    // A page that did not reach its reader (full disk, closed output) is no success.
    if (!std::cout) throw kel::err::IOError("standard output");
    return EXIT_SUCCESS;
  } catch (const kel::err::Error& e) {
    if (optNoThrow.isActive()) {
      makeErrorPage(e.message())->print(std::cout);
      std::cout.flush();
    } else {
      e.print(std::cerr);
    }
  } catch (...) {
    kel::err::Error("Unknown exception").print(std::cerr);
  }
  return EXIT_FAILURE;
}
