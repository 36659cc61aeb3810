// Reads the candidates of a search on all cores, and hands their outcomes over in candidate
// order, so that the page and the messages are those of reading them one after the other.
#ifndef CORVEX_SEARCH_CANDIDATE_READER_H
#define CORVEX_SEARCH_CANDIDATE_READER_H

#include <condition_variable>
#include <cstddef>
#include <exception>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "index/lookup.h"
#include "search/result_text.h"

// What reading one candidate gave: its path and FileResult, or the failure it raised; and the
// lines the reading wrote to its log.
struct CandidateOutcome {
  std::string path;
  FileResult result;
  std::exception_ptr failure;
  std::string log;
};

// Reads candidates with readResult (options.log, when given, stands for a log of each candidate
// of its own) on threads threads, a bounded number of candidates ahead of the caller, or any of
// the first sure candidates, which the caller will ask for unless a failure ends it first; a few
// candidates are read by the caller alone, when it asks for them.
// A candidate that the caller never asks for may have been read, but its outcome and its log are
// dropped. Destruction stops the threads after the pages they are reading.
class CandidateReader {
 public:
  CandidateReader(const Candidates& candidates, const std::list<SearchTerm>& terms,
                  const ResultTextOptions& options, unsigned threads, std::size_t sure = 0);
  ~CandidateReader();
  CandidateReader(const CandidateReader&) = delete;
  CandidateReader& operator=(const CandidateReader&) = delete;

  // The outcome of candidate i, once read; the outcomes of earlier candidates are released.
  // REQUIRES: i < the number of candidates; i ascends from call to call.
  CandidateOutcome take(std::size_t i);

  // The number of threads a search uses on this machine.
  static unsigned defaultThreads();

 private:
  CandidateOutcome read(std::size_t i) const;
  void work();

  const Candidates& candidates_;
  const std::list<SearchTerm>& terms_;
  const ResultTextOptions options_;
  std::vector<std::unique_ptr<CandidateOutcome>> outcomes_;
  std::mutex mutex_;
  // Each side is woken only when the other changed what it waits for, not on every outcome:
  // the caller when the candidate it waits for is ready, a thread when there is room ahead.
  std::condition_variable ready_;
  std::condition_variable room_;
  const std::size_t sure_;  // candidates below this are read ahead however far
  std::size_t next_ = 0;    // the next candidate no thread has taken yet
  std::size_t wanted_ = 0;  // the caller waits for this one, or will ask for it next
  bool waiting_ = false;    // the caller waits for candidate wanted_
  unsigned idle_ = 0;       // threads waiting for room
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

#endif
