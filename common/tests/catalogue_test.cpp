#include "zel/catalogue.h"

#include <gtest/gtest.h>

#include "zel/event_file.h"
#include "zel/setup_layout.h"

namespace zel {

TEST(Catalogue, NameLookupsAreExactAndCaseSensitive) {
  EXPECT_EQ(TypeOfName(""), -1);
  EXPECT_EQ(TypeOfName("krv-517"), -1);
  EXPECT_EQ(TypeOfName("KRV-517"), 3);
  EXPECT_EQ(TypeOfName("SLG-A S7"), 15);
  EXPECT_EQ(TypeName(19), "???");
  EXPECT_EQ(TypeName(-1), "???");
  EXPECT_EQ(TypeName(9), "KRV-85E");
  EXPECT_EQ(TypeName(17), "KPD-29A");
}

TEST(Catalogue, TypeListHasSeventeenEntriesInDialogOrder) {
  const std::vector<std::string> expected{
      "KRV-19XL", "KRV-19XT",     "KRV-37E/A",  "KRV-43/61",  "KRV-61E/A", "KRV-517",
      "KRV-517E", "KRV-517XL/A",  "KRV-517XC",  "KRV-517AX",  "KRV-583",   "KRV-583E",
      "KRV-583A", "SLG Microlok", "SLG S7-246", "SLG S7-808", "SLG-A S7"};
  EXPECT_EQ(TypeListNames(), expected);
}

TEST(Catalogue, ToolsOfSharedAndMissingModels) {
  EXPECT_EQ(ConverterOf(15), ConverterOf(14));
  EXPECT_EQ(EditorOf(15), EditorOf(14));
  EXPECT_EQ(LiveCodeOf(15), "SLG808");
  EXPECT_FALSE(ConverterOf(17).has_value());
  EXPECT_FALSE(EditorOf(17).has_value());
  EXPECT_FALSE(HasReport(17));
  EXPECT_FALSE(ConverterOf(19).has_value());
  EXPECT_FALSE(EditorOf(-1).has_value());
  EXPECT_EQ(ConverterOf(7), "krv583s2tOXM.exe");
  EXPECT_FALSE(InProtocolSet(17));
  EXPECT_TRUE(InProtocolSet(18));
}

TEST(Catalogue, ParseModelAcceptsNumberDisplayAndShortNames) {
  EXPECT_EQ(ParseModel("5"), 5);
  EXPECT_EQ(ParseModel("KRV-517XL/A"), 5);
  EXPECT_EQ(ParseModel("KRV-517XL"), 5);
  EXPECT_EQ(ParseModel("krv517xl"), 5);
  EXPECT_EQ(ParseModel("SLG808"), 14);
  EXPECT_EQ(ParseModel("19"), -1);
  EXPECT_EQ(ParseModel("5x"), -1);
  EXPECT_EQ(ParseModel(""), -1);
  EXPECT_EQ(ParseModel("nonsense"), -1);
}

// The facts a catalogue row carries must agree with the tables they summarise: a row edited
// alone would otherwise send a model to the wrong layout, tick rate or family rules.
TEST(Catalogue, RowFactsAgreeWithTheLayoutTables) {
  for (RecorderType t = 0; t < kModelTypeCount; ++t) {
    SCOPED_TRACE(TypeName(t));
    const ModelEntry& m = *FindModel(t);
    const SetupLayout* layout = LayoutOf(t);
    EXPECT_EQ(layout != nullptr, m.setupType >= 0);
    if (layout != nullptr) {
      EXPECT_EQ(layout, LayoutOf(m.setupType));
      EXPECT_STREQ(layout->modelName, m.shortName);
      EXPECT_EQ(m.family == ModelFamily::kModular,
                layout->Find(SetupField::kSecondaryIpAddresses) != nullptr);
    }
    const EventLayout* events = FindEventLayout(EventFileTypeOfModel(t));
    EXPECT_EQ(events != nullptr, m.eventTag != nullptr);
    if (events == nullptr) {
      EXPECT_EQ(m.ticksPerSecond, 0);
      continue;
    }
    EXPECT_EQ(std::string(events->headerLine), std::string(m.eventTag) + " binary\n");
    EXPECT_EQ(events->ticksPerSecond, m.ticksPerSecond);
    EXPECT_EQ(m.family == ModelFamily::kKrv583, events->stateBytes);
    EXPECT_EQ(m.family == ModelFamily::kSlg, std::string(m.eventTag).starts_with("SLG"));
  }
  EXPECT_EQ(SetupTypeOf(model::kSlgAS7), model::kSlgS7_808);
  EXPECT_EQ(SetupTypeOf(model::kKpd29a), -1);
  EXPECT_EQ(SetupTypeOf(kModelTypeCount), -1);
  EXPECT_EQ(SetupTypeOf(-1), -1);
}

}  // namespace zel
