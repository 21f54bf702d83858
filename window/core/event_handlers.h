// The registered event handlers of one window, in registration order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "window/core/event_codes.h"

namespace korvex {

// A handler sees an event before the program does. It answers kHandlerConsumed,
// kHandlerEndLoop or anything else (pass the event on).
using EventHandlerProc = int (*)(void* object);

struct RegisteredHandler {
  uint32_t message = 0;              // event code + kEventMessageBase
  EventHandlerProc handler = nullptr;
  void* object = nullptr;            // passed to the handler
  uint32_t extra = 0;                // a value the registration carries
};

class HandlerList {
 public:
  // Appends the handler, or puts it first with to_front.
  void Add(const RegisteredHandler& entry, bool to_front);

  // Removes, scanning from the last entry to the first, every entry that
  // matches. A given 0 for message, handler or extra matches anything; a null
  // object matches any object only when loose is set. Answers how many went.
  int Remove(uint32_t message, EventHandlerProc handler, void* object, bool loose, uint32_t extra);

  // The handlers for message, in list order (a copy: handlers may change the list).
  std::vector<RegisteredHandler> For(uint32_t message) const;

  // Whether entry (same message, handler, object and extra) is still registered.
  bool Contains(const RegisteredHandler& entry) const;

  bool Handles(uint32_t message) const;
  size_t size() const { return entries_.size(); }
  void Clear() { entries_.clear(); }

 private:
  std::vector<RegisteredHandler> entries_;
};

}  // namespace korvex
