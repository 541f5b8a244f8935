// The journal of what the document sends to an emulated axis in this process: the values before
// and after, the results, and that each entry is on file before its request goes out.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "common/TempDir.h"
#include "journal/Journal.h"
#include "journal/Recorder.h"
#include "link/DocSession.h"
#include "model/ParamDictionary.h"
#include "sim/ParamStore.h"

namespace {

using doctest::DocSession;
using doctest::ServerSpec;
using journal::Entry;

// The document of a DocSession with a recorder writing into a directory of its own.
struct JournaledDoc {
  journaltest::TempDir dir;
  journal::Writer writer{dir.Path()};
  journal::Recorder recorder{writer, {"anna", "bench7"}};
  DocSession s;

  explicit JournaledDoc(const ServerSpec& spec = {}) : s(spec) {
    recorder.SetRoute("Press 2");
    s.doc.AddObserver(&recorder);
  }
  ~JournaledDoc() { s.doc.RemoveObserver(&recorder); }

  std::vector<Entry> Entries() {
    writer.Flush();
    const journal::ReadResult r = journal::ReadJournal(dir.Path());
    EXPECT_TRUE(r.warnings.empty());
    return r.entries;
  }
};

constexpr uint32_t kParamNo1 = 0x800F0001;

TEST(JournalDocTest, EntriesCarryTheValueBeforeTheValueSentAndTheResult) {
  struct Case {
    const char* name;
    std::function<int32_t(CAxtuneDoc&)> run;
    const char* op;
    std::vector<journal::Change> changes;
    std::vector<std::pair<std::string, double>> args;
    int32_t result;
    int32_t commandResult = oxa::kOk;  // what the emulated command group answers
  };
  const std::vector<Case> cases{
      {"numbered write",
       [](CAxtuneDoc& d) { return d.WriteParamNoReal(60.0, 1900); },
       "WriteParamNoReal",
       {{1900, "JogFast", 10.0, 60.0}},
       {},
       0},
      // A download takes the typed value over into the record before it writes it.
      {"after the take-over",
       [](CAxtuneDoc& d) {
         d.params.JogSlow = 4.5;
         return d.WriteParamNoReal(4.5, 1901);
       },
       "WriteParamNoReal",
       {{1901, "JogSlow", 2.0, 4.5}},
       {},
       0},
      // The characteristic's settings go by number too.
      {"characteristic setting",
       [](CAxtuneDoc& d) { return d.WriteParamNoByte(1, 3004); },
       "WriteParamNoByte",
       {{3004, "LinEnableTable", 0.0, 1.0}},
       {},
       0},
      {"menu setting",
       [](CAxtuneDoc& d) { return d.SetLogLevel(3); },
       "WriteParamNoReal",
       {{1005, "LogLevel", std::nullopt, 3.0}},
       {},
       0},
      {"failed write",
       [](CAxtuneDoc& d) { return d.WriteParamNoReal(-1.0, 1400); },
       "WriteParamNoReal",
       {{1400, "StartRamp", 0.25, -1.0}},
       {},
       oxa::kErrInvalidData},
      {"command", [](CAxtuneDoc& d) { return d.HomeAxis(); }, "HomeAxis", {}, {}, 0},
      {"move",
       [](CAxtuneDoc& d) { return d.Move(1, 250.0, 100.0); },
       "Move",
       {},
       {{"mode", 1}, {"position", 250.0}, {"velocity", 100.0}},
       0},
      {"refused start",
       [](CAxtuneDoc& d) { return d.Move(1, 250.0, 100.0); },
       "Move",
       {},
       {{"mode", 1}, {"position", 250.0}, {"velocity", 100.0}},
       0x4356,
       0x4356},
  };
  for (const Case& c : cases) {
    JournaledDoc j;
    sim::ParamStore* store = sim::ParamsOf(j.s.Axis(851, 1));
    store->Record().JogFast = 10.0;
    store->Record().JogSlow = 2.0;
    store->Record().StartRamp = 0.25;
    j.s.Fault(kParamNo1, 1400, oxa::kErrInvalidData);
    j.s.commandResult = c.commandResult;
    ASSERT_TRUE(j.s.Select()) << c.name;
    EXPECT_EQ(c.run(j.s.doc), c.result) << c.name;

    const std::vector<Entry> entries = j.Entries();
    ASSERT_EQ(entries.size(), 1u) << c.name;
    const Entry& e = entries[0];
    EXPECT_EQ(e.op, c.op) << c.name;
    EXPECT_EQ(e.changes, c.changes) << c.name;
    EXPECT_EQ(e.args, c.args) << c.name;
    EXPECT_EQ(e.result, c.result) << c.name;
    EXPECT_EQ(e.user, "anna");
    EXPECT_EQ(e.host, "bench7");
    EXPECT_EQ(e.netId, doctest::kNetId);
    EXPECT_EQ(e.route, "Press 2");
    EXPECT_EQ(e.port, 851);
    EXPECT_EQ(e.axis, 1);
    EXPECT_EQ(e.axisName, "Clamp left");
  }
}

TEST(JournalDocTest, ASecondWriteStartsFromTheFirstOnesValueAndAFailedOneChangesNothing) {
  JournaledDoc j;
  sim::ParamsOf(j.s.Axis(851, 1))->Record().PositionMask = -1;
  j.s.Fault(kParamNo1, 1901, oxa::kErrInvalidData);
  ASSERT_TRUE(j.s.Select());
  const double jogFast = j.s.doc.params.JogFast;
  const double jogSlow = j.s.doc.params.JogSlow;
  j.s.doc.WriteParamNoReal(jogFast + 1, 1900);
  j.s.doc.WriteParamNoReal(jogFast + 2, 1900);
  j.s.doc.WriteParamNoReal(jogSlow + 1, 1901);  // refused
  j.s.doc.WriteParamNoReal(jogSlow + 2, 1901);  // refused
  // A hex word goes as an unsigned 32-bit number and is compared as one: FFFFFFFF unchanged,
  // and a word above 7FFFFFFF is what the next write starts from.
  j.s.doc.WriteParamNoUInt(0xFFFFFFFFu, 1119);
  j.s.doc.WriteParamNoUInt(0x80000001u, 1119);
  j.s.doc.WriteParamNoUInt(0x80000002u, 1119);
  const auto entries = j.Entries();
  ASSERT_EQ(entries.size(), 7u);
  EXPECT_EQ(entries[1].changes[0].before, jogFast + 1);
  EXPECT_EQ(entries[3].changes[0].before, jogSlow);
  const std::vector<journal::Change> word{{1119, "PositionMask", 4294967295.0, 4294967295.0}};
  EXPECT_EQ(entries[4].changes, word);
  EXPECT_EQ(entries[6].changes[0].before, 2147483649.0);
  EXPECT_EQ(j.s.doc.paramsRead.PositionMask, static_cast<int32_t>(0x80000002u));
}

TEST(JournalDocTest, WholeRecordWriteListsTheFieldsItChanges) {
  ServerSpec spec;
  spec.port = 802;
  spec.lib = {2, 1, 6};
  spec.table = {
      2, 4, 7, 1, std::nullopt, 4, 1, 1, 4, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  JournaledDoc j(spec);
  ASSERT_TRUE(j.s.Select(spec));
  const double creep = j.s.doc.params.CreepDistance;
  j.s.doc.params.CreepDistance = creep + 4.25;
  j.s.doc.params.AuxData[2] = 7.0;
  EXPECT_EQ(j.s.doc.WriteParamRecordToAxis(), 0);
  j.s.doc.linkVersions.table[2] = 99;  // a layout this program cannot encode: nothing goes out
  EXPECT_EQ(j.s.doc.WriteParamRecordToAxis(), -1);

  const auto entries = j.Entries();
  ASSERT_EQ(entries.size(), 2u);
  const std::vector<journal::Change> changes{{1601, "CreepDistance", creep, creep + 4.25},
                                             {2003, "AuxData[2]", 0.0, 7.0}};
  EXPECT_EQ(entries[0].op, "WriteParamRecord");
  EXPECT_EQ(entries[0].changes, changes);
  EXPECT_EQ(entries[0].result, 0);
  EXPECT_TRUE(entries[1].changes.empty());  // the first write made them the controller's
  EXPECT_EQ(entries[1].result, -1);
}

// In every StParam layout a whole-record write journals exactly the fields its block carries,
// and the document takes only those for the controller's: checked against what the emulated
// server decoded from the block it received. Every number gets a value of its own, none 0 or 1,
// and booleans flip; the server's booleans are those the document read, so only a value the block
// carried can match what was typed.
TEST(JournalDocTest, WholeRecordWriteJournalsWhatItsLayoutCarriesAndNothingElse) {
  std::vector<uint16_t> numbers;
  const model::ParamRecord blank;
  const model::LinRecord blankLin;
  for (const model::ParamField& f : model::ParamFields()) {
    if (model::Get({&blank, &blankLin}, f.no)) numbers.push_back(f.no);
  }
  for (uint16_t i = 0; i < 20; ++i) numbers.push_back(static_cast<uint16_t>(2001 + i));
  const model::LinRecord lin;
  const auto value = [&lin](const model::ParamRecord& r, uint16_t no) {
    return model::Get({&r, &lin}, no);
  };
  for (const int layout : {0, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13}) {
    ServerSpec spec;
    spec.port = 802;
    spec.lib = {2, 1, 6};
    spec.table = {2,
                  4,
                  static_cast<int16_t>(layout),
                  1,
                  std::nullopt,
                  4,
                  1,
                  1,
                  4,
                  std::nullopt,
                  std::nullopt,
                  std::nullopt,
                  std::nullopt};
    JournaledDoc j(spec);
    ASSERT_TRUE(j.s.Select(spec)) << layout;
    CAxtuneDoc& doc = j.s.doc;
    model::ParamRecord& server = sim::ParamsOf(j.s.Axis(802, 1))->Record();
    const model::ParamRecord before = doc.paramsRead;
    model::LinRecord unused;
    for (size_t k = 0; k < numbers.size(); ++k) {
      const uint16_t no = numbers[k];
      const model::ParamField* f = model::FindParamField(no);
      double v = 100.0 + static_cast<double>(k);
      if (f && f->type == model::ParamType::Bool) {
        f->Ref<bool>(server) = f->Ref<bool>(before);
        v = f->Ref<bool>(before) ? 0.0 : 1.0;
      } else if (f && f->type == model::ParamType::Real) {
        v += 0.5;
      }
      ASSERT_TRUE(model::Set({&doc.params, &unused}, no, v, model::Narrowing::Exact)) << no;
    }
    ASSERT_EQ(doc.WriteParamRecordToAxis(), 0) << layout;

    const std::vector<Entry> entries = j.Entries();
    ASSERT_EQ(entries.size(), 1u) << layout;
    const std::vector<journal::Change>& changes = entries[0].changes;
    for (const uint16_t no : numbers) {
      const auto sent = value(doc.params, no);
      const bool carried = value(server, no) == sent && sent != value(before, no);
      const auto c = std::find_if(changes.begin(), changes.end(),
                                  [no](const journal::Change& x) { return x.no == no; });
      EXPECT_EQ(c != changes.end(), carried) << "layout " << layout << ", " << no;
      if (c != changes.end()) {
        EXPECT_EQ(c->before, value(before, no)) << no;
        EXPECT_EQ(c->value, sent) << no;
      }
      EXPECT_EQ(value(doc.paramsRead, no), carried ? sent : value(before, no))
          << "layout " << layout << ", " << no;
    }
    EXPECT_GT(changes.size(), 40u) << layout;
  }
}

// Looks at the journal when the request is about to leave: observers hear of it in the order
// they were added, all before it is sent.
class FileWatcher final : public axlink::IDocObserver {
 public:
  explicit FileWatcher(const std::string& dir) : dir_(dir) {}
  void BeforeSend(const CAxtuneDoc&, const axlink::SendEvent&) override {
    const auto r = journal::ReadJournal(dir_);
    seen = r.entries.size() == 1 && !r.entries[0].result && r.warnings.empty();
  }
  void AfterSend(const CAxtuneDoc&, const axlink::SendEvent&, int32_t) override {}
  bool seen = false;

 private:
  std::string dir_;
};

TEST(JournalDocTest, EntryIsOnFileBeforeItsRequestGoesOut) {
  JournaledDoc j;
  FileWatcher watcher(j.dir.Path());
  j.s.doc.AddObserver(&watcher);
  ASSERT_TRUE(j.s.Select());
  j.s.Reset();
  j.s.doc.SaveParams();
  EXPECT_TRUE(watcher.seen);
  EXPECT_EQ(j.s.commands.size(), 1u);
  j.s.doc.RemoveObserver(&watcher);
}

}  // namespace
