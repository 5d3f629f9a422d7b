#include "zel/core/recorder_list.h"

#include <algorithm>

namespace zel::core {

RecorderList::RecorderList(std::vector<RecorderRecord> records) { Replace(std::move(records)); }

RecorderList::RecorderList(const RecorderList& other) {
  std::lock_guard lock(other.mu_);
  entries_ = other.entries_;
  nextJob_ = other.nextJob_;
}

RecorderList& RecorderList::operator=(const RecorderList& other) {
  if (this == &other) return *this;
  std::scoped_lock lock(mu_, other.mu_);
  entries_ = other.entries_;
  nextJob_ = other.nextJob_;
  return *this;
}

void RecorderList::Append(RecorderRecord r) {
  std::lock_guard lock(mu_);
  entries_.push_back({std::move(r), 0});
}

bool RecorderList::Remove(std::size_t pos) {
  std::lock_guard lock(mu_);
  if (pos >= entries_.size()) return false;
  entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(pos));
  return true;
}

std::size_t RecorderList::RemovePositions(std::vector<std::size_t> positions) {
  std::sort(positions.begin(), positions.end());
  positions.erase(std::unique(positions.begin(), positions.end()), positions.end());
  std::lock_guard lock(mu_);
  std::size_t removed = 0;
  // From the back, so earlier positions stay valid.
  for (auto it = positions.rbegin(); it != positions.rend(); ++it) {
    if (*it >= entries_.size()) continue;
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(*it));
    ++removed;
  }
  return removed;
}

std::optional<RecorderRecord> RecorderList::Get(std::size_t pos) const {
  std::lock_guard lock(mu_);
  if (pos >= entries_.size()) return std::nullopt;
  return entries_[pos].record;
}

bool RecorderList::Set(std::size_t pos, const RecorderRecord& r) {
  std::lock_guard lock(mu_);
  if (pos >= entries_.size()) return false;
  entries_[pos].record = r;
  return true;
}

bool RecorderList::Update(std::size_t pos, const std::function<void(RecorderRecord&)>& fn) {
  std::lock_guard lock(mu_);
  if (pos >= entries_.size()) return false;
  fn(entries_[pos].record);
  return true;
}

std::size_t RecorderList::Count() const {
  std::lock_guard lock(mu_);
  return entries_.size();
}

void RecorderList::Clear() {
  std::lock_guard lock(mu_);
  entries_.clear();
}

std::optional<std::size_t> RecorderList::FindById(const std::string& id) const {
  std::lock_guard lock(mu_);
  for (std::size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].record.id == id) return i;
  return std::nullopt;
}

bool RecorderList::UpdateById(const std::string& id,
                              const std::function<void(RecorderRecord&)>& fn) {
  std::lock_guard lock(mu_);
  for (auto& e : entries_) {
    if (e.record.id == id) {
      fn(e.record);
      return true;
    }
  }
  return false;
}

std::vector<RecorderRecord> RecorderList::Snapshot() const {
  std::lock_guard lock(mu_);
  std::vector<RecorderRecord> out;
  out.reserve(entries_.size());
  for (const auto& e : entries_) out.push_back(e.record);
  return out;
}

void RecorderList::Replace(std::vector<RecorderRecord> records) {
  std::lock_guard lock(mu_);
  entries_.clear();
  entries_.reserve(records.size());
  for (auto& r : records) entries_.push_back({std::move(r), 0});
}

bool RecorderList::Reorder(const std::vector<std::size_t>& old_positions) {
  std::lock_guard lock(mu_);
  if (old_positions.size() != entries_.size()) return false;
  std::vector<bool> seen(entries_.size(), false);
  for (std::size_t p : old_positions) {
    if (p >= entries_.size() || seen[p]) return false;
    seen[p] = true;
  }
  std::vector<Entry> reordered;
  reordered.reserve(entries_.size());
  for (std::size_t p : old_positions) reordered.push_back(std::move(entries_[p]));
  entries_ = std::move(reordered);
  return true;
}

uint64_t RecorderList::MarkJob(std::size_t pos) {
  std::lock_guard lock(mu_);
  if (pos >= entries_.size()) return 0;
  entries_[pos].job = nextJob_++;
  return entries_[pos].job;
}

bool RecorderList::UpdateJob(uint64_t token, const std::function<void(RecorderRecord&)>& fn) {
  if (token == 0) return false;
  std::lock_guard lock(mu_);
  for (auto& e : entries_) {
    if (e.job == token) {
      fn(e.record);
      return true;
    }
  }
  return false;
}

void RecorderList::EndJob(uint64_t token) {
  if (token == 0) return;
  std::lock_guard lock(mu_);
  for (auto& e : entries_)
    if (e.job == token) e.job = 0;
}

}  // namespace zel::core
