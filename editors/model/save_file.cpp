#include "model/save_file.h"

#include "zel/platform/atomic_file.h"

namespace zel::editors {

FileWriteResult ReplaceFile(const std::filesystem::path& target, std::string_view bytes) {
  const platform::WriteResult r = platform::WriteFileAtomically(target, bytes);
  return {r.ok, r.reason};
}

}  // namespace zel::editors
