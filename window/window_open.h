// Opening a procedure's window from its window record, and closing it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "window/core/resource_image.h"
#include "window/window_object.h"

namespace korvex {

// Opens window from the record labelled label in the resource of module_name.
// owner: the window that owns it, nullptr for the application frame (when one
// was set) or none. Without an owner, a window opened on another thread than
// the open application frame's is made an MDI child of the frame (unless it
// is modal); the frame itself gets its MDI client. Answers 0, or the runtime error that stops the open with
// *detail saying why: 535 when window is open already, 529 when the resource
// or label is missing, the image is damaged or Win32 refuses the window.
int OpenWindow(WindowObject& window, const std::string& module_name, const std::string& label,
               WindowObject* owner, std::string* detail);
// The same from an image at hand (validated; taken over by the window).
int OpenWindowFromImage(WindowObject& window, std::unique_ptr<rsc::ResourceImage> image, uint32_t record,
                        WindowObject* owner, std::string* detail);
// OpenWindow that raises the runtime error instead of answering it.
void OpenWindowOrRaise(WindowObject& window, const std::string& module_name, const std::string& label,
                       WindowObject* owner);

// Closes the window: its controls, Win32 window, timer, fonts and class go,
// and the resource buffer is released. Nothing happens when it is not open.
void CloseWindow(WindowObject& window);

// The owner of windows opened without one (the application frame).
void SetApplicationFrameWindow(HWND frame);
// The icon of windows that name none; nullptr: the program's icon 32523.
void SetDefaultWindowIcon(HICON icon);

}  // namespace korvex
