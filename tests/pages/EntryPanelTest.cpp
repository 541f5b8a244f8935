// The command panel and the function keys against the emulated controller: which commands reach
// the wire, with which values, on which page.
#include <gtest/gtest.h>

#include <cstdlib>

#include "EntryRig.h"
#include "oxa/Bytes.h"

namespace {

using axlink::kCmdMove;
using axlink::kCmdStop;

// A command as the emulator received it: its offset, a move's mode and values, a set-position's
// position.
struct Sent {
  uint32_t offset;
  int32_t mode = 0;
  double position = 0;
  double velocity = 0;
  friend bool operator==(const Sent&, const Sent&) = default;
};

struct Rig {
  doctest::DocSession s;
  entrytest::PanelBoxes boxes{"-12,5", "100"};
  entry::CCommandPanel panel{s.doc};
  Rig() {
    panel.SetInputs(&boxes);
    EXPECT_TRUE(s.Select());
    s.doc.params.JogSlow = 7;
    s.doc.params.JogFast = 70;
    s.Reset();
  }
  std::vector<Sent> Received() const {
    using oxa::bytes::At;
    std::vector<Sent> out;
    for (const doctest::SentCommand& c : s.commands) {
      const bool move = c.data.size() == axlink::MoveBlock::kSize;
      out.push_back({c.offset, move ? At<int32_t>(c.data, 0) : 0,
                     c.data.empty() ? 0 : At<double>(c.data, 4),
                     move ? At<double>(c.data, 12) : 0});
    }
    return out;
  }
};

TEST(EntryPanelTest, FunctionKeysByPage) {
  struct Case {
    int page;
    std::vector<int> keys;  // n: key-down of Fn, -n: its key-up
    std::vector<Sent> sent;
    int jogState = 0;
  };
  const Case cases[] = {
      {model::kPageEncoder, {1, 2, 3, 4, 5, 6, 8}, {{kCmdStop}, {axlink::kCmdReset}}},
      // ">" pressed and released: the mouse release lets the key go, then its key-up arrives.
      {model::kPageGlobal, {3, -3, -3}, {{kCmdMove, 3, 0, 7}, {kCmdStop}}},
      {model::kPageValve, {1, 2, -2}, {{kCmdMove, 4, 0, 70}, {kCmdMove, 4, 0, 7}, {kCmdStop}}},
      {model::kPageGlobal, {4, 5}, {{kCmdMove, 3, 0, 70}}, 2},
      {model::kPageGlobal, {5, -5}, {{kCmdMove, 1, -12.5, 100}}},
      {model::kPageLinTab, {5}, {{axlink::kCmdCharacteristicRun}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Rig r;
    for (int k : c.keys) r.panel.KeyCommand(c.page, k > 0, std::abs(k));
    EXPECT_EQ(r.Received(), c.sent);
    EXPECT_EQ(r.s.doc.nJogState, c.jogState);
  }
}

TEST(EntryPanelTest, StartTakesTheCleanedBoxesOrComplains) {
  struct Case {
    entrytest::PanelBoxes typed;
    entrytest::PanelBoxes shown;
    std::vector<Sent> sent;
  };
  const Case cases[] = {
      {{"-12,5", "100"}, {"-12.5", "100"}, {{kCmdMove, 1, -12.5, 100}}},
      {{"250", "-3"}, {"250", "3"}, {}},
      {{"", "100"}, {"", "100"}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(&c - cases);
    Rig r;
    r.boxes = c.typed;
    EXPECT_TRUE(r.panel.OnButton(entry::kButtonStart, model::kPageGlobal));
    EXPECT_EQ(r.Received(), c.sent);
    EXPECT_EQ(r.boxes.destination, c.shown.destination);
    EXPECT_EQ(r.boxes.velocity, c.shown.velocity);
    const std::vector<std::string> complaint{"Input is not ok, please review!"};
    EXPECT_EQ(r.s.ui.boxes, c.sent.empty() ? complaint : std::vector<std::string>{});
  }
}

TEST(EntryPanelTest, SetPosActsOnTheEncoderPageOnlyAndComplainsInGerman) {
  Rig r;
  r.panel.OnButton(entry::kButtonSetPos, model::kPageGlobal);
  EXPECT_TRUE(r.s.commands.empty());
  r.panel.OnButton(entry::kButtonSetPos, model::kPageEncoder);
  EXPECT_EQ(r.Received(), (std::vector<Sent>{{axlink::kCmdSetPosition, 0, -12.5}}));
  EXPECT_GE(r.s.ui.redisplays, 1);

  r.s.Reset();
  r.boxes.destination = "";
  r.panel.OnButton(entry::kButtonSetPos, model::kPageEncoder);
  EXPECT_TRUE(r.s.commands.empty());
  EXPECT_EQ(r.s.ui.boxes, std::vector<std::string>{"Eingabe war nicht korrekt, bitte überprüfen!"});
}

TEST(EntryPanelTest, NothingIsSentWhileTheCommunicationIsStopped) {
  Rig r;
  r.s.doc.ResetDocument();  // as after a logout and in the offline file mode
  for (int id = entry::kButtonSave; id <= entry::kButtonSetPos; ++id) {
    r.panel.OnButton(id, model::kPageGlobal);
  }
  r.panel.OnStart(model::kPageLinTab);
  r.panel.KeyCommand(model::kPageGlobal, true, 4);
  EXPECT_EQ(r.s.doc.nJogState, 2);
  r.panel.KeyCommand(model::kPageGlobal, false, 4);
  EXPECT_EQ(r.s.Count(), 0u);
  EXPECT_TRUE(r.s.ui.boxes.empty());
}

}  // namespace
