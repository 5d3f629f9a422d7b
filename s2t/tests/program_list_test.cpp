// The converter programs the build makes (s2t/CMakeLists.txt) are the ones the catalogue names,
// each built for the model type whose setup layout it lists, with the editors' spellings beside.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "s2t_built_programs.h"
#include "zel/catalogue.h"
#include "zel/s2t/converter.h"

namespace zel::s2t {
namespace {

std::string WithoutExe(const std::string& file) {
  const std::string exe = ".exe";
  return file.ends_with(exe) ? file.substr(0, file.size() - exe.size()) : file;
}

// "name:value" entries of a list that ends with nullptr.
std::map<std::string, std::string> Pairs(const char* const* list) {
  std::map<std::string, std::string> pairs;
  for (; *list != nullptr; ++list) {
    const std::string entry = *list;
    const auto colon = entry.find(':');
    EXPECT_NE(colon, std::string::npos) << "entry without a colon: " << entry;
    if (colon == std::string::npos) continue;
    EXPECT_TRUE(pairs.emplace(entry.substr(0, colon), entry.substr(colon + 1)).second)
        << "listed twice: " << entry;
  }
  return pairs;
}

TEST(ConverterProgramList, BuildListAgreesWithTheCatalogue) {
  // What the catalogue asks for: program -> setup type, program -> the editors' spelling.
  std::map<std::string, std::string> programs, aliases;
  for (RecorderType t = 0; t < kModelTypeCount; ++t) {
    const ModelEntry& m = *FindModel(t);
    if (m.converter == nullptr) continue;
    const std::string program = WithoutExe(m.converter);
    const std::string setupType = std::to_string(SetupTypeOf(t));
    const auto [at, added] = programs.emplace(program, setupType);
    EXPECT_EQ(at->second, setupType) << program << " is named by models of two setup layouts";
    if (m.converterAlias != nullptr) aliases.emplace(program, WithoutExe(m.converterAlias));
  }
  ASSERT_FALSE(programs.empty());

  const auto built = Pairs(kBuiltPrograms);
  for (const auto& [program, type] : programs) {
    const auto it = built.find(program);
    if (it == built.end())
      ADD_FAILURE() << "the catalogue names the converter " << program << " (model type " << type
                    << "), but s2t/CMakeLists.txt does not build it";
    else
      EXPECT_EQ(it->second, type) << "s2t/CMakeLists.txt builds " << program << " for model type "
                                  << it->second << ", the catalogue gives it to type " << type;
  }
  for (const auto& [program, type] : built) {
    if (programs.count(program) == 0)
      ADD_FAILURE() << "s2t/CMakeLists.txt builds " << program << " (model type " << type
                    << "), which the catalogue does not name";
  }
  EXPECT_EQ(Pairs(kBuiltAliases), aliases)
      << "the aliases of s2t/CMakeLists.txt (program:alias) differ from the catalogue's "
         "converterAlias";

  // The listing code has a row for each of these programs, named from the catalogue.
  std::map<std::string, std::string> rows;
  for (const ConverterModel& m : ConverterModels()) {
    ASSERT_NE(m.program, nullptr) << "model type " << m.type;
    rows.emplace(m.program, std::to_string(m.type));
    EXPECT_EQ(m.alias == nullptr, aliases.count(m.program) == 0) << m.program;
  }
  EXPECT_EQ(rows, programs);
}

}  // namespace
}  // namespace zel::s2t
