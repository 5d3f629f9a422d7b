// API-STABLE
// The station manager's ordered recorder list (the order of the screen list and of zel.dat).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "zel/recorder.h"

namespace zel::core {

// Every member takes an internal lock, so the poll thread may update records (clock-set day,
// password after an upload) while the window reads them. Positions are 0-based rows.
class RecorderList {
 public:
  RecorderList() = default;
  explicit RecorderList(std::vector<RecorderRecord> records);
  RecorderList(const RecorderList& other);
  RecorderList& operator=(const RecorderList& other);

  void Append(RecorderRecord r);
  // Removes the record at `pos`; false when there is none.
  bool Remove(std::size_t pos);
  // Removes every position listed (any order, duplicates allowed); returns how many went.
  std::size_t RemovePositions(std::vector<std::size_t> positions);
  // Copy of the record at `pos`; nullopt when there is none.
  std::optional<RecorderRecord> Get(std::size_t pos) const;
  // Replaces the record at `pos` (its job link is kept); false when there is none.
  bool Set(std::size_t pos, const RecorderRecord& r);
  // Runs `fn` on the record at `pos` under the lock; false when there is none.
  bool Update(std::size_t pos, const std::function<void(RecorderRecord&)>& fn);
  std::size_t Count() const;
  void Clear();

  // Position of the recorder with exactly this ID (case-sensitive); nullopt when none.
  std::optional<std::size_t> FindById(const std::string& id) const;
  // Runs `fn` on the first recorder with exactly this ID; false when none.
  bool UpdateById(const std::string& id, const std::function<void(RecorderRecord&)>& fn);

  std::vector<RecorderRecord> Snapshot() const;
  // Replaces the whole list (job links are dropped).
  void Replace(std::vector<RecorderRecord> records);
  // New order given as old positions (a permutation of 0..Count()-1); records keep their job
  // links. False, and nothing changes, when `old_positions` is not such a permutation.
  bool Reorder(const std::vector<std::size_t>& old_positions);

  // Job links: a poll marks the records it copies and gets one token per record; writing back
  // through a token reaches the record only while no newer poll has marked it and it is still
  // in the list (the link from a record to its newest job).
  uint64_t MarkJob(std::size_t pos);  // 0 when there is no record at `pos`
  bool UpdateJob(uint64_t token, const std::function<void(RecorderRecord&)>& fn);
  void EndJob(uint64_t token);

 private:
  struct Entry {
    RecorderRecord record;
    uint64_t job = 0;
  };
  mutable std::mutex mu_;
  std::vector<Entry> entries_;
  uint64_t nextJob_ = 1;
};

}  // namespace zel::core
