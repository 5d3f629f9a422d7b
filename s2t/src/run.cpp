// The converter program: load one setup file of the model, write its listing.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <ostream>

#include "text_out.h"
#include "zel/platform/atomic_file.h"
#include "zel/s2t/converter.h"

namespace zel::s2t {

int RunConverter(RecorderType type, int argc, const char* const* argv, std::ostream& err) {
  if (argc < 3) return 1;
  const ConverterModel* model = FindConverterModel(type);
  const std::string program =
      model != nullptr ? model->program : std::string(argc > 0 ? argv[0] : "converter");
  const char* setupPath = argv[1];
  const char* textPath = argv[2];

  std::ifstream setup(setupPath, std::ios::binary);
  if (!setup) {
    // The callers rely on status 0 here; they find no listing and say so themselves.
    err << program << ": cannot open the setup file " << setupPath << " (" << std::strerror(errno)
        << "); no listing written.\n";
    return 0;
  }
  SetupDatabase db(SetupTypeOf(type));
  if (model == nullptr || !db.valid()) {
    err << program << ": model type " << type << " has no setup layout; no listing written.\n";
    return 0;
  }
  // Cleared first, so fields a short file does not reach list as zero.
  db.Clear();
  db.Load(setup);
  if (setup.bad()) {
    err << program << ": reading the setup file " << setupPath << " failed; no listing written.\n";
    return 0;
  }
  if (platform::SameFile(setupPath, textPath)) {
    err << program << ": the listing file " << textPath
        << " is the setup file itself; give another name for the listing. No listing written.\n";
    return 0;
  }
  const std::string listing = ListSetup(db, *model);
  std::string error;
  if (!WriteFileAtomically(textPath, listing, &error)) {
    err << program << ": " << error << " No listing written.\n";
  }
  return 0;
}

}  // namespace zel::s2t
