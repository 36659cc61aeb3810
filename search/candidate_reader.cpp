#include "search/candidate_reader.h"

#include <algorithm>
#include <optional>
#include <sstream>

namespace {

// How far the threads read ahead of the caller beyond the candidates it surely asks for: far
// enough to keep them busy, near enough that little is read in vain when the result limit ends
// the search.
constexpr std::size_t kAhead = 32;

// Fewer candidates than this are read by the caller alone: starting a thread costs more than
// reading a few pages (most searches for a rare word).
constexpr std::size_t kFewCandidates = 8;

}  // namespace

CandidateReader::CandidateReader(const Candidates& candidates, const std::list<SearchTerm>& terms,
                                 const ResultTextOptions& options, unsigned threads,
                                 std::size_t sure)
    : candidates_(candidates),
      terms_(terms),
      options_(options),
      outcomes_(candidates.size()),
      sure_(sure) {
  // With one thread, or few candidates, the caller reads each candidate itself when it asks.
  if (threads < 2 || candidates.size() < kFewCandidates) return;
  threads_.reserve(threads);
  for (unsigned t = 0; t < threads; ++t) threads_.emplace_back([this] { work(); });
}

CandidateReader::~CandidateReader() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  room_.notify_all();
  for (std::thread& thread : threads_) thread.join();
}

unsigned CandidateReader::defaultThreads() {
  return std::max(1u, std::thread::hardware_concurrency());
}

CandidateOutcome CandidateReader::read(std::size_t i) const {
  CandidateOutcome outcome;
  // Without a log nothing is written, so no stream of its own is made (it costs a locale).
  std::optional<std::ostringstream> log;
  ResultTextOptions options = options_;
  if (options.log) options.log = &log.emplace();
  try {
    outcome.path = candidates_.path(i);
    outcome.result = readResult(outcome.path, terms_, options);
  } catch (...) {
    outcome.failure = std::current_exception();
  }
  if (log) outcome.log = log->str();
  return outcome;
}

void CandidateReader::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    ++idle_;
    room_.wait(lock, [this] {
      return stopping_ || next_ >= outcomes_.size() || next_ < wanted_ + kAhead || next_ < sure_;
    });
    --idle_;
    if (stopping_ || next_ >= outcomes_.size()) return;
    const std::size_t i = next_++;
    lock.unlock();
    auto outcome = std::make_unique<CandidateOutcome>(read(i));
    lock.lock();
    outcomes_[i] = std::move(outcome);
    if (waiting_ && i == wanted_) ready_.notify_one();
  }
}

CandidateOutcome CandidateReader::take(std::size_t i) {
  if (threads_.empty()) return read(i);
  std::unique_lock<std::mutex> lock(mutex_);
  wanted_ = i;
  if (outcomes_[i] == nullptr && next_ <= i) {
    // No thread has taken it yet: the caller reads it itself rather than wait for one.
    next_ = i + 1;
    lock.unlock();
    CandidateOutcome outcome = read(i);
    lock.lock();
    wanted_ = i + 1;
    if (idle_ > 0) room_.notify_all();
    return outcome;
  }
  waiting_ = true;
  ready_.wait(lock, [this, i] { return outcomes_[i] != nullptr; });
  waiting_ = false;
  CandidateOutcome outcome = std::move(*outcomes_[i]);
  outcomes_[i].reset();
  wanted_ = i + 1;
  if (idle_ > 0) room_.notify_all();
  return outcome;
}
