// A translator of the texts a window shows: popup menus pass every item text
// through it, and a window controller lets it translate its window once when
// the window is prepared.
#pragma once

#include <string>

namespace korvex::framework {

class WindowPort;

class TextTranslator {
 public:
  virtual ~TextTranslator() = default;
  virtual std::string TranslateText(const std::string& text) = 0;
  // Translates the texts of the window's controls; the base leaves them.
  virtual void TranslateWindow(WindowPort& window) { (void)window; }
};

}  // namespace korvex::framework
