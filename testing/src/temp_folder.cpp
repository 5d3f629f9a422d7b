#include "zel/testing/temp_folder.h"

#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace zeltest {

TempFolder::TempFolder(std::string_view tag) {
  std::string tmpl =
      (std::filesystem::temp_directory_path() / ("zel_" + std::string(tag) + "_XXXXXX")).string();
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back('\0');
  if (::mkdtemp(buf.data()) == nullptr) {
    throw std::runtime_error("cannot make a temporary folder " + tmpl + ": " +
                             std::strerror(errno));
  }
  path_ = buf.data();
}

TempFolder::~TempFolder() {
  std::error_code ec;
  // A test may have taken the write permission away; give it back so the folder can go.
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

}  // namespace zeltest
