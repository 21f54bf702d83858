// How a popup menu controller reaches the window system: show a popup menu from
// its definition text, read the controls its items mimic, post the chosen
// item's event, and run a toolbox window on a thread of its own. The window
// system implements it over its popup display and event engine; tests use
// FakePopupPresenter (framework/fake_popup_presenter.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace korvex::framework {

// An open window of the window system, as the presenter knows it (0 = none).
using WindowRef = uintptr_t;

// What an item that mimics a control takes from it.
struct ControlLook {
  bool exists = false;    // the window has the control
  std::string text;       // its text ("" when it has none)
  std::string icon;       // its icon name ("" when none)
  bool disabled = false;  // it is disabled
};

// One toolbox window, used only on the toolbox's own thread (RequestClose
// excepted).
class ToolboxWindow {
 public:
  virtual ~ToolboxWindow() = default;

  virtual void SetTitle(const std::string& title) = 0;
  // Adds button `number` (1, 2, ...): with an icon the icon shows and text is
  // its tip; without, the text shows.
  virtual void AddButton(int number, const std::string& icon, const std::string& text) = 0;
  // Places the buttons one after another and sizes the window to hold them.
  virtual void Layout() = 0;
  virtual void UpdateButton(int number, const std::string& icon, const std::string& text,
                            bool enabled) = 0;
  // Runs the window's event loop until a button is pressed (answers its
  // number) or the window is closed (answers 0). on_tick runs at each timer
  // event, to bring the buttons up to date.
  virtual int WaitForButton(const std::function<void()>& on_tick) = 0;
  // Closes the window; WaitForButton then answers 0. Safe from any thread.
  virtual void RequestClose() = 0;
};

class PopupPresenter {
 public:
  virtual ~PopupPresenter() = default;

  // Shows the popup described by definition (window/core/popup_definition.h)
  // at (x, y) in screen coordinates; 0 leaves a coordinate to the default (the
  // mouse position). Answers the chosen item's number, 0 when dismissed.
  virtual int ShowPopup(const std::string& definition, int x, int y) = 0;

  // The calling thread's number and its current window.
  virtual int CurrentThread() = 0;
  virtual WindowRef CurrentWindow() = 0;
  virtual ControlLook ReadControl(WindowRef window, int control) = 0;

  // Posts event to control (0 for a window event) on the current window of
  // thread `thread`.
  virtual void PostEvent(uint16_t event, int control, int thread) = 0;
  // Clears the calling thread's current key code.
  virtual void ClearKeyCode() = 0;

  // Starts body on a new thread; false when no thread could be started.
  virtual bool StartToolboxThread(std::function<void()> body) = 0;
  // Waits until the thread of StartToolboxThread has ended (without holding
  // anything the toolbox thread needs). Returns at once when none runs.
  virtual void JoinToolboxThread() = 0;
  // Opens the toolbox window on the calling (toolbox) thread; null on failure.
  virtual std::unique_ptr<ToolboxWindow> OpenToolbox() = 0;
};

}  // namespace korvex::framework
