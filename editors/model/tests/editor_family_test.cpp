// Every one of the 17 editors over its model's factory defaults: each list page shows the
// model's rows, and one edit on each page, saved, changes exactly the bytes of that field.
#include "model/editor_family.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>

#include "model/editor_session.h"
#include "model/pages.h"
#include "model/settings_forms.h"
#include "zel/identifiers.h"
#include "zel/testing/temp_folder.h"
#include "zel/value_format.h"

namespace zel::editors {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder per test, removed with it.
using Folder = zeltest::TempFolder;

// The byte range of one element (or one member of one record) of a field.
struct Span {
  std::size_t begin;
  std::size_t end;
};
Span ElementSpan(const SetupDatabase& db, SetupField id, int index,
                 SetupMember member = SetupMember::kNone) {
  const LayoutField* f = db.layout()->Find(id);
  EXPECT_NE(f, nullptr);
  if (f == nullptr) return {0, 0};
  std::size_t begin = f->offset + static_cast<std::size_t>(f->width) * index;
  std::size_t size = static_cast<std::size_t>(f->width);
  if (member != SetupMember::kNone) {
    const LayoutMember* m = f->Member(member);
    EXPECT_NE(m, nullptr);
    begin += static_cast<std::size_t>(m->offset);
    size = static_cast<std::size_t>(m->size());
  }
  return {begin, begin + size};
}

// Saves the session and checks that exactly bytes inside `span` changed against `before`.
void ExpectOnlyChanged(EditorSession& s, const std::vector<uint8_t>& before, Span span,
                       const std::string& what) {
  ASSERT_TRUE(s.Save().ok) << what;
  const std::vector<uint8_t> after = ReadAll(s.path());
  ASSERT_EQ(after.size(), before.size()) << what;
  int changed = 0;
  for (std::size_t k = 0; k < after.size(); ++k) {
    if (after[k] == before[k]) continue;
    ++changed;
    EXPECT_TRUE(k >= span.begin && k < span.end)
        << what << ": byte " << k << " outside " << span.begin << "-" << span.end;
  }
  EXPECT_GT(changed, 0) << what;
}

struct PageEdit {
  int row;
  std::string key;
  std::string text;
  int check;
  SetupField field;
  SetupMember member;
};

TEST(EditorFamily, EveryEditorShowsItsRowsAndWritesOneFieldPerPage) {
  for (const EditorFamilyRow& editor : EditorFamily()) {
    SCOPED_TRACE(editor.program);
    Folder folder;
    const fs::path file = folder.path() / "setupdata.bin";
    SetupDatabase defaults(editor.type);
    defaults.RestoreFactoryDefaults();
    {
      std::ofstream out(file, std::ios::binary);
      const auto bytes = defaults.SaveBytes();
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
    }
    EditorSession s(editor);
    ASSERT_EQ(s.Open(file.string()), OpenResult::kOpened);
    EXPECT_FALSE(s.HasUnsavedEdits());
    EXPECT_EQ(s.WindowTitle(), std::string(editor.title) + " " + file.string());
    const SetupLayout& l = *s.db().layout();
    const RecorderType t = editor.type;

    for (const MainButton& button : editor.buttons) {
      SCOPED_TRACE(button.caption);
      const std::vector<uint8_t> before = ReadAll(file);
      if (auto page = MakeListPage(button.page, editor, s.db())) {
        // Rows, first and last cells.
        int rows = 0;
        std::string first, last;
        PageEdit edit{};
        switch (button.page) {
          case Page::kEventNames:
            rows = l.eventPairCount;
            first = "01";
            last = l.timerCount > 0 ? "Violate" : "On";
            EXPECT_EQ(page->Cell(rows - 1, 1), last);
            last = std::to_string(rows);
            edit = {0, "on", "Up", 0, SetupField::kOnEventNames, SetupMember::kNone};
            break;
          case Page::kInputNames:
            rows = l.NameCount();
            first = SetupIdentifier(t, 0);
            last = SetupIdentifier(t, rows - 1);
            EXPECT_EQ(page->Cell(0, 1), s.db().Name(0));
            edit = {rows - 1,          "name", "Crossing gate", 0, SetupField::kInputNames,
                    SetupMember::kNone};
            break;
          case Page::kDetectTimes:
            rows = l.digitalCount;
            first = SetupIdentifier(t, 0);
            last = SetupIdentifier(t, rows - 1);
            EXPECT_EQ(page->Cell(0, 1), ShowDetectTime(t, 0, s.db().DetectTime(0)));
            edit = {rows - 1, "time", "1.5", 0, SetupField::kDetectTimes, SetupMember::kNone};
            break;
          case Page::kAnalog:
            rows = l.analogCount;
            first = SetupIdentifier(t, l.FirstAnalog());
            last = SetupIdentifier(t, l.FirstAnalog() + rows - 1);
            edit = {0, "high", "1", 0, SetupField::kAnalogHighThresholds, SetupMember::kNone};
            break;
          case Page::kVirtual:
            rows = l.virtualCount;
            first = SetupIdentifier(t, l.FirstVirtual());
            last = SetupIdentifier(t, l.FirstVirtual() + rows - 1);
            edit = {
                rows - 1, "dial", "", kChecked, SetupField::kVirtualInputs, SetupMember::kDialOut};
            break;
          case Page::kMeasureSpeed:
            rows = l.speedMonitorCount;
            first = " 1";
            last = (rows < 10 ? " " : "") + std::to_string(rows);
            edit = {0, "threshold", "55", 0, SetupField::kSpeedMonitors, SetupMember::kThreshold};
            break;
          case Page::kTimers:
            rows = l.timerCount;
            first = SetupIdentifier(t, l.FirstTimer());
            last = SetupIdentifier(t, l.FirstTimer() + rows - 1);
            edit = {rows - 1, "low", "2.5", 0, SetupField::kTimerLowLimit, SetupMember::kNone};
            break;
          default:
            FAIL() << "no list page expected";
        }
        ASSERT_GT(rows, 0);
        EXPECT_EQ(page->RowCount(), rows);
        EXPECT_EQ(page->Cell(0, 0), first);
        if (button.page != Page::kEventNames && button.page != Page::kMeasureSpeed) {
          EXPECT_EQ(page->Cell(rows - 1, 0), last);
        } else {
          EXPECT_EQ(page->Cell(rows - 1, 0), last.size() == 1 ? "0" + last : last);
        }
        EditForm form = page->MakeForm({edit.row});
        FormField* field = form.Find(edit.key);
        ASSERT_NE(field, nullptr) << edit.key;
        if (field->kind == FormKind::kCheck) {
          field->check = edit.check;
        } else {
          field->text = edit.text;
        }
        page->Apply({edit.row}, form);
        EXPECT_TRUE(s.HasUnsavedEdits());
        ExpectOnlyChanged(s, before, ElementSpan(s.db(), edit.field, edit.row, edit.member),
                          button.caption);
        EXPECT_FALSE(s.HasUnsavedEdits());
      } else if (button.page != Page::kRestoreDefaults) {
        EditForm form = MakeSettingsForm(button.page, editor, s.db());
        ASSERT_FALSE(ValidateForm(form).has_value()) << *ValidateForm(form);
        Span span{};
        if (button.page == Page::kSystem) {
          form.Find("rings")->text = "5";
          span = ElementSpan(s.db(), SetupField::kRingCount, 0);
        } else if (button.page == Page::kNetwork) {
          form.Find("port")->text = "2001";
          span = ElementSpan(s.db(), SetupField::kTcpPort, 0);
        } else {
          form.Find("bits1")->text = "64";
          span = ElementSpan(s.db(), SetupField::kPeerProtocolLinks, 1,
                             SetupMember::kBooleanInputBits);
        }
        ApplySettingsForm(button.page, editor, s.db(), form);
        ExpectOnlyChanged(s, before, span, button.caption);
      }
    }
  }
}

TEST(EditorFamily, ConverterCommandLineIsTheModelsOwn) {
  for (const EditorFamilyRow& editor : EditorFamily()) {
    EditorSession s(editor);
    s.Open("/data/North St/setupdata.bin");
    EXPECT_EQ(s.TextPath(), "/data/North St/setupdata.txt");
    EXPECT_EQ(s.ConverterCommandLine("/opt/zel/"),
              std::string("\"/opt/zel/") + editor.converter +
                  "\" \"/data/North St/setupdata.bin\" \"/data/North St/setupdata.txt\"");
  }
}

TEST(EditorFamily, FailedSaveKeepsTheEditsAndTheOldFile) {
  Folder folder;
  const fs::path sub = folder.path() / "full";
  fs::create_directories(sub);
  const fs::path file = sub / "setupdata.bin";
  SetupDatabase defaults(model::kKrv517);
  defaults.RestoreFactoryDefaults();
  {
    std::ofstream out(file, std::ios::binary);
    const auto bytes = defaults.SaveBytes();
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<long>(bytes.size()));
  }
  const std::vector<uint8_t> before = ReadAll(file);
  EditorSession s(*FindEditor(model::kKrv517));
  ASSERT_EQ(s.Open(file.string()), OpenResult::kOpened);
  s.db().SetUnitName("Main St crossing");
  // A location that fills up: the process may write no file beyond 4096 bytes.
  rlimit old{};
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  const SaveResult r = s.Save();
  ::setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.rfind("Cannot write file " + file.string() + ": ", 0), 0u) << r.message;
  EXPECT_GT(r.message.size(), ("Cannot write file " + file.string() + ": ").size());
  EXPECT_EQ(ReadAll(file), before);
  EXPECT_EQ(s.db().UnitName(), "Main St crossing");
  EXPECT_TRUE(s.HasUnsavedEdits());
  // No temporary file is left beside it.
  int files = 0;
  for ([[maybe_unused]] const auto& e : fs::directory_iterator(sub)) ++files;
  EXPECT_EQ(files, 1);
}

TEST(EditorFamily, SaveIntoAMissingFolderFailsWithAReason) {
  EditorSession s(*FindEditor(model::kKrv517));
  s.Open("/nonexistent-zel-folder/setupdata.bin");
  s.CreateNew();
  const SaveResult r = s.Save();
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.message.rfind("Cannot write file /nonexistent-zel-folder/setupdata.bin: ", 0), 0u)
      << r.message;
  EXPECT_EQ(s.db().UnitName(), "***** NOT SET *****");
}

}  // namespace
}  // namespace zel::editors

namespace zel::editors {
namespace {

// The window finds each field's widget by its key: no form may use a key twice.
TEST(EditorFamily, FormKeysAreUnique) {
  for (const EditorFamilyRow& editor : EditorFamily()) {
    SetupDatabase db(editor.type);
    db.RestoreFactoryDefaults();
    for (const MainButton& b : editor.buttons) {
      std::vector<EditForm> forms;
      if (auto page = MakeListPage(b.page, editor, db)) {
        forms.push_back(page->MakeForm({0}));
        if (page->RowCount() > 1) forms.push_back(page->MakeForm({0, 1}));
      } else if (b.page != Page::kRestoreDefaults) {
        forms.push_back(MakeSettingsForm(b.page, editor, db));
      }
      for (const EditForm& form : forms) {
        std::set<std::string> keys;
        for (const FormField& f : form.fields) {
          EXPECT_TRUE(keys.insert(f.key).second)
              << editor.program << " " << b.caption << ": " << f.key;
        }
      }
    }
  }
}

}  // namespace
}  // namespace zel::editors
