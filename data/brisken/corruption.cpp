#include "data/brisken/corruption.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace korvex::brisken {
namespace {

void DefaultHandler(int /*check*/, const std::string& message, const char* title) {
  std::fprintf(stderr, "%s: %s\n", title, message.c_str());
  std::fflush(stderr);
  std::exit(EXIT_FAILURE);
}

std::atomic<CorruptionHandler> g_handler{&DefaultHandler};

}  // namespace

std::string CorruptionMessage(int check) {
  char text[80];
  std::snprintf(text, sizeof text, "Possible data corruption in file (%d)", check);
  return text;
}

void CorruptionHalt(int check) {
  g_handler.load()(check, CorruptionMessage(check), kCorruptionTitle);
}

CorruptionHandler SetCorruptionHandler(CorruptionHandler handler) {
  return g_handler.exchange(handler ? handler : &DefaultHandler);
}

}  // namespace korvex::brisken
