// zelsetup: dump, compare, normalise and create setup databases (setupdata.bin) of any model.
//
//   zelsetup dump --model M FILE        every field as one JSON object on standard output
//   zelsetup diff --model M A B         every differing field; exit 1 when any differs
//   zelsetup copy --model M IN OUT      load and save again (normalised)
//   zelsetup defaults --model M OUT     a factory-default database
//
// Exit status: 0 success (diff: equal), 1 diff found differences, 2 a usage error, an unknown
// model or a file that cannot be read or written.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <nlohmann/json.hpp>
#include <string>

#include "zel/catalogue.h"
#include "zel/platform/atomic_file.h"
#include "zel/platform/guarded_main.h"
#include "zel/setup_database.h"

namespace {

using Json = nlohmann::ordered_json;
constexpr int kExitDiffers = 1;
constexpr int kExitError = 2;

// Recorder texts are single bytes; each byte becomes the character of the same code (Latin-1),
// so every file dumps as valid JSON and no byte is lost.
std::string Latin1ToUtf8(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

Json FieldJson(const zel::SetupDatabase& db, const zel::LayoutField& f) {
  auto element = [&](int i) -> Json {
    switch (f.kind) {
      case zel::FieldKind::kText:
        return Latin1ToUtf8(db.Text(f.id, i));
      case zel::FieldKind::kNumber:
        return db.Number(f.id, i);
      case zel::FieldKind::kBytes: {
        Json bytes = Json::array();
        for (uint8_t b : db.Bytes(f.id, i)) bytes.push_back(b);
        return bytes;
      }
      case zel::FieldKind::kRecords: {
        Json record = Json::object();
        for (const auto& m : f.members) {
          if (m.reserved()) continue;
          if (m.count == 1) {
            record[m.key] = db.Number(f.id, i, m.id);
          } else {
            Json slots = Json::array();
            for (int s = 0; s < m.count; ++s) slots.push_back(db.Number(f.id, i, m.id, s));
            record[m.key] = slots;
          }
        }
        return record;
      }
      case zel::FieldKind::kReserved:
        break;
    }
    return nullptr;
  };
  if (f.count == 1) return element(0);
  Json all = Json::array();
  for (int i = 0; i < f.count; ++i) all.push_back(element(i));
  return all;
}

Json DumpJson(const zel::SetupDatabase& db) {
  Json out = Json::object();
  for (const auto& f : db.layout()->fields()) {
    if (f.reserved()) continue;
    out[f.key] = FieldJson(db, f);
  }
  return out;
}

bool Load(zel::SetupDatabase& db, const std::string& path) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec) || !db.LoadFile(path)) {
    std::cerr << "zelsetup: cannot read the setup file \"" << path
              << "\"; check the path and its permissions.\n";
    return false;
  }
  return true;
}

bool Save(const zel::SetupDatabase& db, const std::string& path) {
  const std::vector<uint8_t> bytes = db.valid() ? db.SaveBytes() : std::vector<uint8_t>{};
  const zel::platform::WriteResult r =
      db.valid()
          ? zel::platform::WriteFileAtomically(
                path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()))
          : zel::platform::WriteResult{false, "No setup layout for this model."};
  if (!r) {
    std::cerr << "zelsetup: cannot write the setup file \"" << path << "\": " << r.reason
              << " Check that its folder exists and is writable.\n";
    return false;
  }
  return true;
}

}  // namespace

int Run(int argc, char** argv) {
  CLI::App app{"Dump, compare, normalise and create setup databases (setupdata.bin)."};
  app.require_subcommand(1);
  std::string model;
  std::string fileA;
  std::string fileB;
  auto addModel = [&](CLI::App* sub) {
    sub->add_option("--model,-m", model,
                    "model: type number, display name (\"KRV-517XL/A\") or short name "
                    "(\"KRV-517XL\")")
        ->required();
  };
  auto* dump = app.add_subcommand("dump", "print every field as one JSON object");
  addModel(dump);
  dump->add_option("FILE", fileA, "setup file")->required();
  auto* diff = app.add_subcommand("diff", "list every differing field; exit 1 when any differs");
  addModel(diff);
  diff->add_option("A", fileA, "first setup file")->required();
  diff->add_option("B", fileB, "second setup file")->required();
  auto* copy = app.add_subcommand("copy", "load a setup file and save it again (normalised)");
  addModel(copy);
  copy->add_option("IN", fileA, "setup file to read")->required();
  copy->add_option("OUT", fileB, "setup file to write")->required();
  auto* defaults = app.add_subcommand("defaults", "write a factory-default setup file");
  addModel(defaults);
  defaults->add_option("OUT", fileB, "setup file to write")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitError;
  }

  const zel::RecorderType type = zel::ParseModel(model);
  zel::SetupDatabase db(type);
  if (!db.valid()) {
    std::cerr << "zelsetup: \"" << model
              << "\" is no model with a setup database; give a type number (0-16, 18), a "
                 "display name or a short model name.\n";
    return kExitError;
  }

  if (dump->parsed()) {
    if (!Load(db, fileA)) return kExitError;
    std::cout << DumpJson(db).dump(2) << "\n";
    return 0;
  }
  if (diff->parsed()) {
    zel::SetupDatabase other(type);
    if (!Load(db, fileA) || !Load(other, fileB)) return kExitError;
    const auto differences = db.Differences(other);
    for (const auto& d : differences) std::cout << d.Describe() << "\n";
    return differences.empty() ? 0 : kExitDiffers;
  }
  if (copy->parsed()) {
    if (!Load(db, fileA)) return kExitError;
    return Save(db, fileB) ? 0 : kExitError;
  }
  db.RestoreFactoryDefaults();
  return Save(db, fileB) ? 0 : kExitError;
}

int main(int argc, char** argv) { return zel::platform::GuardedMain("zelsetup", Run, argc, argv); }
