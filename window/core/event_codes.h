// Event codes of the window system and the private window messages that carry them.
//
// An event is a 16-bit code. Codes below 0x100 concern one control (field events),
// 0x101 is the selection event, 0x200 and above concern the whole window. Inside the
// engine an event travels as the window message code + kEventMessageBase.
#pragma once

#include <cstdint>

namespace korvex {

using EventCode = uint16_t;

// Field events.
constexpr EventCode kEventAccepted = 1;
constexpr EventCode kEventNewSelection = 2;
constexpr EventCode kEventScrollUp = 3;
constexpr EventCode kEventScrollDown = 4;
constexpr EventCode kEventPageUp = 5;
constexpr EventCode kEventPageDown = 6;
constexpr EventCode kEventScrollTop = 7;
constexpr EventCode kEventScrollBottom = 8;
constexpr EventCode kEventLocate = 9;
constexpr EventCode kEventMouseUp = 10;
constexpr EventCode kEventMouseIn = 11;
constexpr EventCode kEventMouseOut = 12;
constexpr EventCode kEventMouseMove = 13;
constexpr EventCode kEventVBXevent = 14;
constexpr EventCode kEventAlertKey = 15;
constexpr EventCode kEventPreAlert = 16;
constexpr EventCode kEventDragging = 17;
constexpr EventCode kEventDrag = 18;
constexpr EventCode kEventDrop = 19;
constexpr EventCode kEventScrollDrag = 20;
constexpr EventCode kEventTabChanging = 21;
constexpr EventCode kEventExpanding = 22;
constexpr EventCode kEventContracting = 23;
constexpr EventCode kEventExpanded = 24;
constexpr EventCode kEventContracted = 25;
constexpr EventCode kEventRejected = 26;
constexpr EventCode kEventDroppingDown = 27;
constexpr EventCode kEventDroppedDown = 28;
constexpr EventCode kEventScrollTrack = 29;
constexpr EventCode kEventColumnResize = 30;

// The selection event (a control took the focus).
constexpr EventCode kEventSelected = 0x101;

// Window events.
constexpr EventCode kEventCloseWindow = 0x201;
constexpr EventCode kEventCloseDown = 0x202;
constexpr EventCode kEventOpenWindow = 0x203;
constexpr EventCode kEventOpenFailed = 0x204;
constexpr EventCode kEventLoseFocus = 0x205;
constexpr EventCode kEventGainFocus = 0x206;
constexpr EventCode kEventSuspend = 0x208;
constexpr EventCode kEventResume = 0x209;
constexpr EventCode kEventNotify = 0x20a;
constexpr EventCode kEventTimer = 0x20b;
constexpr EventCode kEventDDErequest = 0x20c;
constexpr EventCode kEventDDEadvise = 0x20d;
constexpr EventCode kEventDDEdata = 0x20e;
constexpr EventCode kEventDDEexecute = 0x20f;
constexpr EventCode kEventDDEpoke = 0x210;
constexpr EventCode kEventDDEclosed = 0x211;
constexpr EventCode kEventMove = 0x220;       // before a move (sent, may be refused)
constexpr EventCode kEventSize = 0x221;       // before a size change (sent)
constexpr EventCode kEventRestore = 0x222;    // before a restore (sent)
constexpr EventCode kEventMaximize = 0x223;   // before maximizing (sent)
constexpr EventCode kEventIconize = 0x224;    // before minimizing (sent)
constexpr EventCode kEventCompleted = 0x225;
constexpr EventCode kEventMoved = 0x230;
constexpr EventCode kEventSized = 0x231;
constexpr EventCode kEventRestored = 0x232;
constexpr EventCode kEventMaximized = 0x233;
constexpr EventCode kEventIconized = 0x234;
constexpr EventCode kEventDocked = 0x235;
constexpr EventCode kEventUnDocked = 0x236;
constexpr EventCode kEventBuildFile = 0x240;
constexpr EventCode kEventBuildKey = 0x241;
constexpr EventCode kEventBuildDone = 0x242;

// Window message number of an event: code + this offset.
constexpr uint32_t kEventMessageBase = 0x1400;

constexpr uint32_t EventMessage(EventCode code) { return kEventMessageBase + code; }
constexpr bool IsEventMessage(uint32_t message) {
  return message > kEventMessageBase && message <= kEventMessageBase + 0xFFFF;
}
// Code of an event message, 0 for any other message.
constexpr EventCode EventOfMessage(uint32_t message) {
  return IsEventMessage(message) ? static_cast<EventCode>(message - kEventMessageBase) : 0;
}
constexpr bool IsFieldEvent(EventCode code) { return code != 0 && code < 0x100; }
constexpr bool IsWindowEvent(EventCode code) { return code >= 0x200; }

// Private messages between the engine and its windows, threads and controls.
constexpr uint32_t kQuerySetUse = 0x2401;
constexpr uint32_t kQuerySelected = 0x2402;
constexpr uint32_t kQueryCommand = 0x2403;
constexpr uint32_t kQueryHotChange = 0x2404;
constexpr uint32_t kQueryHelp = 0x2405;
constexpr uint32_t kQueryQuit = 0x2406;
constexpr uint32_t kQueryReply = 0x2407;
constexpr uint32_t kQueryLoseFocus = 0x2408;
constexpr uint32_t kQueryPScreen = 0x2409;
constexpr uint32_t kQueryPField = 0x240a;
constexpr uint32_t kQueryColor = 0x240c;
constexpr uint32_t kQueryHScroll = 0x240e;
constexpr uint32_t kQueryNotify = 0x2410;
constexpr uint32_t kQueryLocate = 0x2412;
constexpr uint32_t kMsgThreadStarted = 0x2414;   // to a new thread: wParam = its slot number
constexpr uint32_t kMsgBringToTop = 0x2415;      // bring the thread's current window to the top
constexpr uint32_t kMsgPostTimer = 0x2416;       // post EVENT:Timer to the thread's window
constexpr uint32_t kMsgPostedEvent = 0x241B;     // a posted event record travels in lParam
constexpr uint32_t kQueryContinueThread = 0x241c;
constexpr uint32_t kQueryEditDone = 0x241d;

// Results of a registered handler.
constexpr int kHandlerConsumed = 5;  // the program's loop does not see the event
constexpr int kHandlerEndLoop = 3;   // the ACCEPT loop ends

// Outcomes of a sent event.
constexpr int kSendNotHandled = 0;
constexpr int kSendRefused = 1;      // a handler consumed it or the program reported 1
constexpr int kSendLoopEnded = -1;

}  // namespace korvex
