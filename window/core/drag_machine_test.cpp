#include "window/core/drag_machine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace korvex {
namespace {

TEST(DragIds, InterningListsAndAssignment) {
  EXPECT_EQ(InternDragId("dragDrop"), InternDragId(std::string("drag") + "Drop"));
  EXPECT_NE(InternDragId("dragDrop"), InternDragId("DragDrop"));
  EXPECT_EQ(InternDragId(""), nullptr);
  EXPECT_EQ(*FileDropId(), "~FILE");

  DragIdList list;
  list.insert("b", 0);
  list.insert("a", 0);
  list.insert("c", 99);  // past the end: appended
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(*list[0], "a");
  EXPECT_EQ(*list[2], "c");
  list.remove(1);
  list.remove(7);
  EXPECT_EQ(*list[1], "c");
  EXPECT_FALSE(list.acceptsFiles());
  list.append("~FILE");
  EXPECT_TRUE(list.acceptsFiles());

  // A fixed-length program string loses its trailing blanks; empty text empties.
  list.assign("TplDragDrop         ");
  ASSERT_EQ(list.size(), 1u);
  EXPECT_EQ(list[0], InternDragId("TplDragDrop"));
  list.assign("    ");
  EXPECT_TRUE(list.empty());
}

TEST(DragIds, MatchingOwnAndForeignDrags) {
  DragIdList drop;
  drop.append("other");
  drop.append("dragDrop");
  EXPECT_EQ(MatchDropId(drop, "dragDrop", false), 1);
  EXPECT_EQ(MatchDropId(drop, "DragDrop", false), -1);   // exact, case included
  EXPECT_EQ(MatchDropId(drop, "~dragDrop", false), -1);  // "~" counts within this program
  EXPECT_EQ(MatchDropId(drop, "~dragDrop", true), 1);    // and is ignored across programs
  EXPECT_EQ(MatchDropId(DragIdList{}, "dragDrop", false), -1);

  DragIdList drag;
  drag.append("dragDrop");
  drag.append("~shared");
  EXPECT_EQ(IdsToOffer(drag, true).size(), 2u);
  std::vector<DragId> foreign = IdsToOffer(drag, false);
  ASSERT_EQ(foreign.size(), 1u);
  EXPECT_EQ(*foreign[0], "~shared");

  DropMatch match;
  EXPECT_TRUE(AcceptOffer(drop, "dragDrop", false, 42, DragPoint{5, 6}, &match));
  EXPECT_EQ(match.matched, drop[1]);
  EXPECT_EQ(match.source, 42u);
  EXPECT_EQ(match.point.y, 6);
  EXPECT_FALSE(AcceptOffer(drop, "none", false, 42, DragPoint{}, &match));
}

// Windows: 10 = the source list (accepts), 20 = a button (does not), 0 = nothing.
class FakePort : public DragPort {
 public:
  WindowRef under = 10;
  std::vector<std::string> log;

  WindowRef windowUnder(DragPoint) override { return under; }
  WindowRef findTarget(WindowRef window, const DragIdList& ids, DragId* matched) override {
    log.push_back("find " + std::to_string(window));
    if (window != 10 || ids.empty()) return 0;
    *matched = ids[0];
    return window;
  }
  void leave(WindowRef target) override { log.push_back("leave " + std::to_string(target)); }
  void sendDragging() override { log.push_back("Dragging"); }
  void showCursor(bool can_drop) override { log.push_back(can_drop ? "cursor yes" : "cursor no"); }
  void over(WindowRef target, DragPoint) override { overs.push_back(target); }
  void postDrag(WindowRef target) override { log.push_back("Drag " + std::to_string(target)); }
  void dropAfterDrag(WindowRef target) override { log.push_back("Drop " + std::to_string(target)); }
  std::vector<WindowRef> overs;
};

DragIdList Ids(const char* id) {
  DragIdList ids;
  ids.append(id);
  return ids;
}

TEST(DragMachine, DragWithinOneListGivesDraggingDragThenDrop) {
  DragMachine m;
  FakePort port;
  ASSERT_TRUE(m.press({100, 100}, true, Ids("dragDrop")));
  m.move({102, 101}, 4, 4, port);  // inside the threshold: still a click
  EXPECT_TRUE(port.log.empty());
  EXPECT_EQ(m.phase(), DragMachine::Phase::kArmed);
  m.move({100, 130}, 4, 4, port);
  m.move({100, 140}, 4, 4, port);  // same window: no new Dragging
  EXPECT_EQ(port.overs.size(), 2u);
  EXPECT_EQ(*m.matchedId(), "dragDrop");
  EXPECT_TRUE(m.release(port));
  EXPECT_EQ(port.log, (std::vector<std::string>{"find 10", "Dragging", "cursor yes", "Drag 10",
                                                "Drop 10"}));
  EXPECT_EQ(m.phase(), DragMachine::Phase::kIdle);
  EXPECT_EQ(m.target(), 0u);
  EXPECT_EQ(*m.matchedId(), "dragDrop");  // still readable while EVENT:Drag is handled
}

TEST(DragMachine, LeavingTheTargetAndReleasingOutsideGiveDragOnly) {
  DragMachine m;
  FakePort port;
  m.press({0, 0}, true, Ids("dragDrop"));
  m.move({0, 50}, 4, 4, port);
  port.under = 20;
  m.move({0, 90}, 4, 4, port);
  EXPECT_TRUE(m.release(port));
  EXPECT_EQ(port.log, (std::vector<std::string>{"find 10", "Dragging", "cursor yes", "leave 10",
                                                "find 20", "Dragging", "cursor no", "Drag 0"}));
  EXPECT_EQ(m.matchedId(), nullptr);
}

TEST(DragMachine, NoDragWithoutIdsOffARowForAClickOrAfterCancel) {
  DragMachine m;
  FakePort port;
  EXPECT_FALSE(m.press({0, 0}, true, DragIdList{}));   // empty ids: nothing can be dragged
  m.move({0, 90}, 4, 4, port);
  EXPECT_FALSE(m.release(port));
  EXPECT_FALSE(m.press({0, 0}, false, Ids("x")));      // header or below the last row
  m.move({0, 90}, 4, 4, port);
  EXPECT_FALSE(m.release(port));
  EXPECT_TRUE(m.press({0, 0}, true, Ids("x")));
  m.move({3, 3}, 4, 4, port);                          // a click, not a drag
  EXPECT_FALSE(m.release(port));
  EXPECT_TRUE(port.log.empty());

  m.press({0, 0}, true, Ids("dragDrop"));
  m.move({0, 50}, 4, 4, port);
  EXPECT_TRUE(m.cancel(port));  // lost capture or Esc
  EXPECT_EQ(port.log, (std::vector<std::string>{"find 10", "Dragging", "cursor yes", "leave 10",
                                                "Drag 0"}));
  EXPECT_FALSE(m.release(port));  // the cancelled drag does not end twice
}

}  // namespace
}  // namespace korvex
