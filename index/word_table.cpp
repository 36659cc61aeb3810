#include "index/word_table.h"

#include <algorithm>

#include "index/word_hash.h"
#include "kel/err/kel_assert.h"
#include "kel/file/byte_codec.h"

WordTable::WordTable() : slots_(1024) {}

void WordTable::add(std::string_view word, unsigned file) {
  const std::uint64_t hash = hashWord(word);
  __builtin_prefetch(&slots_[hash & (slots_.size() - 1)]);
  if (queued_ == kQueue) {
    const Queued& first = queue_[front_];
    insert(first.word, first.file, first.hash);
    front_ = (front_ + 1) % kQueue;
    --queued_;
  }
  queue_[(front_ + queued_) % kQueue] = Queued{word, hash, file};
  ++queued_;
  if (queued_ > kQueue / 2) {
    // Half-way through the queue the slot has arrived; fetch the entry it names.
    const Queued& middle = queue_[(front_ + queued_ - 1 - kQueue / 2) % kQueue];
    const Slot slot = slots_[middle.hash & (slots_.size() - 1)];
    if (slot.entry != 0) __builtin_prefetch(&entries_[slot.entry - 1]);
  }
}

void WordTable::drain() {
  for (; queued_ > 0; --queued_) {
    const Queued& first = queue_[front_];
    insert(first.word, first.file, first.hash);
    front_ = (front_ + 1) % kQueue;
  }
}

void WordTable::finish() {
  drain();
  appendPending();
  finished_ = true;
}

std::vector<WordTable::View> WordTable::sorted() const {
  kel_assert(finished_ && queued_ == 0 && pending_.empty());
  std::vector<View> views;
  views.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    views.push_back(View{wordOf(entry), entry.count,
                         std::string_view(reinterpret_cast<const char*>(entry.numbers.data()),
                                          entry.numbers.size())});
  }
  std::sort(views.begin(), views.end(),
            [](const View& a, const View& b) { return a.word < b.word; });
  return views;
}

std::string_view WordTable::wordOf(const Entry& entry) const {
  if (entry.wordLength <= sizeof entry.text.inlineWord) {
    return {entry.text.inlineWord, entry.wordLength};
  }
  return std::string_view(words_).substr(entry.text.wordStart, entry.wordLength);
}

void WordTable::insert(std::string_view word, unsigned file, std::uint64_t hash) {
  const auto tag = static_cast<std::uint32_t>(hash);
  std::size_t i = hash & (slots_.size() - 1);
  for (;; i = (i + 1) & (slots_.size() - 1)) {
    const Slot slot = slots_[i];
    if (slot.entry == 0) break;
    if (slot.tag == tag && wordOf(entries_[slot.entry - 1]) == word) {
      post(slot.entry - 1, file);
      return;
    }
  }
  Entry entry;
  entry.wordLength = static_cast<std::uint32_t>(word.size());
  if (word.size() <= sizeof entry.text.inlineWord) {
    std::copy(word.begin(), word.end(), entry.text.inlineWord);
  } else {
    entry.text.wordStart = words_.size();
    words_.append(word.data(), word.size());
  }
  entries_.push_back(std::move(entry));
  slots_[i] = Slot{tag, static_cast<std::uint32_t>(entries_.size())};
  post(static_cast<std::uint32_t>(entries_.size() - 1), file);
  if (entries_.size() * 2 > slots_.size()) grow();
}

void WordTable::post(std::uint32_t entry, unsigned file) {
  pending_.push_back(Posting{entry, file});
  if (pending_.size() >= kBatch) appendPending();
}

void WordTable::appendPending() {
  if (pending_.empty()) return;
  // A stable radix sort by entry, so each entry's files keep their ascending order.
  scratch_.resize(pending_.size());
  for (unsigned shift = 0; (entries_.size() - 1) >> shift != 0; shift += 11) {
    std::size_t counts[2049] = {};
    for (const Posting& p : pending_) ++counts[((p.entry >> shift) & 0x7FF) + 1];
    for (int b = 0; b < 2048; ++b) counts[b + 1] += counts[b];
    for (const Posting& p : pending_) scratch_[counts[(p.entry >> shift) & 0x7FF]++] = p;
    pending_.swap(scratch_);
  }
  // The entries come in ascending order but far apart, and the ends of their numbers lie
  // anywhere on the heap: fetch the entries some postings ahead, the ends of their numbers
  // when they are half-way.
  constexpr std::size_t kAhead = 8;
  const std::size_t n = pending_.size();
  for (std::size_t k = 0; k < n; ++k) {
    if (k + 2 * kAhead < n) __builtin_prefetch(&entries_[pending_[k + 2 * kAhead].entry]);
    if (k + kAhead < n) {
      const std::vector<unsigned char>& ahead = entries_[pending_[k + kAhead].entry].numbers;
      __builtin_prefetch(ahead.data() + ahead.size());
    }
    append(entries_[pending_[k].entry], pending_[k].file);
  }
  pending_.clear();
}

void WordTable::append(Entry& entry, unsigned file) {
  // A word twice in one page lists the page once.
  if (entry.count != 0 && entry.last == file) return;
  entry.last = file;
  ++entry.count;
  std::vector<unsigned char>& out = entry.numbers;
  // The one- and two-byte forms, which nearly all numbers take, without a copy.
  if (file < 0x80) {
    out.push_back(static_cast<unsigned char>(file));
  } else if (file < 0x4000) {
    out.push_back(static_cast<unsigned char>(0x80 | (file >> 8)));
    out.push_back(static_cast<unsigned char>(file));
  } else {
    char bytes[5];
    const std::size_t length = kel::file::encodeUInt(file, bytes);
    out.insert(out.end(), bytes, bytes + length);
  }
}

void WordTable::grow() {
  std::vector<Slot> old(slots_.size() * 2);
  old.swap(slots_);
  for (const Slot& slot : old) {
    if (slot.entry == 0) continue;
    const std::uint64_t hash = hashWord(wordOf(entries_[slot.entry - 1]));
    std::size_t i = hash & (slots_.size() - 1);
    while (slots_[i].entry != 0) i = (i + 1) & (slots_.size() - 1);
    slots_[i] = slot;
  }
}
