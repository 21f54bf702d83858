// The event list rules and the handler list of one window.
#include <gtest/gtest.h>

#include "window/core/event_window_state.h"

namespace korvex {
namespace {

DeliveredEvent Ev(EventCode code, int32_t field = 0) {
  DeliveredEvent e;
  e.message = EventMessage(code);
  e.field = field;
  return e;
}

TEST(EventList, PostingOrderFrontInsertionAndDropRules) {
  WindowEventState w;
  w.selectedField = 3;
  w.Queue(Ev(kEventAccepted, 1), false);
  w.Queue(Ev(kEventAccepted, 2), false);
  w.Queue(Ev(kEventSelected, 4), false);  // stale: the focus is on 3
  w.Queue(Ev(kEventSelected, 3), false);
  w.Queue(Ev(kEventOpenWindow), true);
  EXPECT_EQ(w.TakeNext()->code(), kEventOpenWindow);
  auto a = w.TakeNext();
  EXPECT_EQ(a->field, 1);
  EXPECT_EQ(a->window, &w);
  EXPECT_EQ(w.TakeNext()->field, 2);
  auto s = w.TakeNext();
  EXPECT_EQ(s->code(), kEventSelected);
  EXPECT_EQ(s->field, 3);
  EXPECT_FALSE(w.TakeNext());
}

TEST(EventList, TimerOnlyWithATimerAndNeverPilesUp) {
  WindowEventState w;
  w.timerPeriod = 100;
  EXPECT_TRUE(w.Queue(Ev(kEventTimer), false));
  EXPECT_FALSE(w.Queue(Ev(kEventTimer), false));
  EXPECT_TRUE(w.timerPending);
  EXPECT_EQ(w.queued(), 1u);
  EXPECT_EQ(w.TakeNext()->code(), kEventTimer);
  EXPECT_FALSE(w.timerPending);
  EXPECT_TRUE(w.Queue(Ev(kEventTimer), false));

  w.timerPeriod = 0;  // the timer was switched off after the tick was queued
  w.Queue(Ev(kEventAccepted, 1), false);
  auto next = w.TakeNext();
  EXPECT_EQ(next->code(), kEventAccepted);
  EXPECT_FALSE(w.timerPending);
  w.Queue(Ev(kEventTimer), false);
  w.DropQueued();
  EXPECT_EQ(w.queued(), 0u);
  EXPECT_FALSE(w.timerPending);
}

TEST(EventList, MdiChildrenLeaveTheirParentWhenDestroyed) {
  WindowEventState frame;
  {
    WindowEventState a, b;
    frame.AdoptChild(&a);
    frame.AdoptChild(&b);
    EXPECT_EQ(frame.mdiChildren().size(), 2u);
    EXPECT_EQ(a.mdiParent(), &frame);
  }
  EXPECT_TRUE(frame.mdiChildren().empty());
  WindowEventState orphan;
  {
    WindowEventState parent;
    parent.AdoptChild(&orphan);
  }
  EXPECT_EQ(orphan.mdiParent(), nullptr);
}

int Answer5(void*) { return kHandlerConsumed; }
int Answer0(void*) { return 0; }

TEST(HandlerList, AddFrontAndRemoveWithWildcards) {
  int o1 = 0, o2 = 0;
  uint32_t acc = EventMessage(kEventAccepted);
  uint32_t sel = EventMessage(kEventSelected);
  HandlerList list;
  list.Add({acc, Answer0, &o1, 0}, false);
  list.Add({acc, Answer5, &o2, 7}, false);
  list.Add({sel, Answer0, &o1, 0}, true);
  list.Add({acc, Answer5, &o1, 0}, true);
  auto for_acc = list.For(acc);
  ASSERT_EQ(for_acc.size(), 3u);
  EXPECT_EQ(for_acc[0].handler, Answer5);
  EXPECT_EQ(for_acc[0].object, &o1);
  EXPECT_EQ(for_acc[2].extra, 7u);

  // A null object without loose matches only entries without an object.
  EXPECT_EQ(list.Remove(acc, nullptr, nullptr, false, 0), 0);
  // Extra given: only that entry.
  EXPECT_EQ(list.Remove(acc, nullptr, &o2, false, 8), 0);
  EXPECT_EQ(list.Remove(acc, nullptr, &o2, false, 7), 1);
  // Handler given.
  EXPECT_EQ(list.Remove(0, Answer5, &o1, false, 0), 1);
  EXPECT_EQ(list.size(), 2u);
  // Message 0 and loose with no object: everything of that handler.
  EXPECT_EQ(list.Remove(0, Answer0, nullptr, true, 0), 2);
  EXPECT_EQ(list.size(), 0u);
  EXPECT_FALSE(list.Handles(acc));
}

}  // namespace
}  // namespace korvex
