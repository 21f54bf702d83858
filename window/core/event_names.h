// Names of window messages and events, as the message tracer prints them.
#pragma once

#include <cstdint>
#include <string>

#include "window/core/event_codes.h"

namespace korvex {

// The message tracer's trace file.
inline constexpr char kMessageTraceFile[] = "V5LOG.TXT";

// Name of a window message (Win32 messages, event messages, the engine's
// control queries); nullptr when it has none.
const char* MessageName(uint32_t message);

// A message as the tracer prints it: its name, or "%d (0%XH)" without one.
std::string DescribeMessage(uint32_t message);

// An event as the tracer prints it: "%s (%d (0%XH))" with its name and code;
// an unnamed code prints as "%d (0%XH)".
std::string DescribeEvent(EventCode code);

}  // namespace korvex
