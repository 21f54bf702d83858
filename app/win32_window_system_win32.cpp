#include "app/win32_window_system.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

#include "framework/browse_controller.h"
#include "window/core/event_codes.h"
#include "window/drag_drop.h"
#include "window/event_engine.h"
#include "window/event_source_adapter.h"
#include "window/queue_list_rows.h"
#include "window/resize_surface_adapter.h"
#include "window/runtime_error.h"
#include "window/runtime_lock.h"
#include "window/thread_start.h"
#include "window/toolbar_port_adapter.h"
#include "window/vel_list.h"
#include "window/vel_sheet.h"
#include "window/window_object.h"
#include "window/window_open.h"
#include "window/window_port_adapter.h"

namespace korvex::app {

namespace {

constexpr int32_t kTypeSheet = 37;

int ToNumber(const std::string& text) { return static_cast<int>(std::strtol(text.c_str(), nullptr, 10)); }

// Measurements for the benchmarks, written only when KORVEX_TIMING names a file.
double MillisecondsSince(LARGE_INTEGER start) {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

LARGE_INTEGER g_program_start = Now();

void LogTiming(const char* format, double a, double b = 0) {
  const char* path = std::getenv("KORVEX_TIMING");
  if (path == nullptr || *path == 0) return;
  if (FILE* file = std::fopen(path, "a")) {
    std::fprintf(file, format, a, b);
    std::fputc('\n', file);
    std::fclose(file);
  }
}

// Milliseconds since the process was created (the loader and Wine's start-up included).
double MillisecondsSinceProcessStart() {
  FILETIME created, exited, kernel, user, now;
  if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
  GetSystemTimeAsFileTime(&now);
  auto ticks = [](const FILETIME& t) {
    return (static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
  };
  return static_cast<double>(ticks(now) - ticks(created)) / 10000.0;
}

// The window port of an opened window: the app's list, sheet and visibility properties go to
// the real controls, everything else to the general port. Before the window opens it does
// nothing, so controllers may hold it from the start.
class AppWindowPort : public framework::WindowPort {
 public:
  void Attach(HWND hwnd, WindowObject* object) { port_ = std::make_unique<ControlWindowPort>(hwnd, object); }
  void Detach() { port_.reset(); }
  void BindQueue(int32_t list, const Queue* queue) {
    list_ = list;
    queue_ = queue;
    rows_ = std::make_unique<QueueListRows>(queue);
  }
  // Shows the queue's rows again when they changed since the list last showed them.
  void SyncRows() {
    VelList* list = List(list_);
    if (list == nullptr || queue_ == nullptr) return;
    if (!rows_bound_) {
      list->setRows(rows_.get());
      rows_bound_ = true;
      shown_version_ = queue_->version() + 1;
    }
    if (shown_version_ != queue_->version()) {
      list->refresh();
      shown_version_ = queue_->version();
      if (!first_page_logged_ && queue_->Records() > 0) {
        first_page_logged_ = true;
        UpdateWindow(list->hwnd());
        LogTiming("first page painted: %.1f ms after the process started, %.1f ms after the program's start-up",
                  MillisecondsSinceProcessStart(), MillisecondsSince(g_program_start));
      }
    }
  }
  // Paints the list now (for measurements).
  void PaintNow() {
    if (VelList* list = List(list_)) UpdateWindow(list->hwnd());
  }

  void PostEvent(EventCode event, int32_t control) override {
    if (port_) port_->PostEvent(event, control);
  }
  void PostEventToThread(EventCode event, int32_t control, int thread) override {
    if (port_) port_->PostEventToThread(event, control, thread);
  }
  void Select(int32_t control) override {
    if (port_) port_->Select(control);
  }
  void SelectAll() override {
    if (port_) port_->SelectAll();
  }
  void Display(int32_t control) override {
    SyncRows();
    if (port_) port_->Display(control);
  }
  int32_t ControlType(int32_t control) override { return port_ ? port_->ControlType(control) : 0; }
  std::string Property(int32_t control, uint32_t property) override {
    if (!port_) return {};
    if (VelList* list = List(control)) {
      switch (property) {
        case framework::kPropListItems: return std::to_string(list->pageRows());
        case framework::kPropListSelected: return std::to_string(list->selected() + 1);
        case framework::kPropListThumb:
        case framework::kPropListOwnThumb:
        case framework::kPropMouseDownRow:
        case framework::kPropMouseUpRow: return std::to_string(list->property(static_cast<int>(property)));
        default: break;
      }
    }
    if (property == kPropSelectedTab) {
      if (VelSheet* sheet = Sheet(control)) return std::to_string(sheet->choice());
    }
    return port_->Property(control, property);
  }
  void SetProperty(int32_t control, uint32_t property, const std::string& value) override {
    if (!port_) return;
    HWND hwnd = port_->FindControl(control);
    if (VelList* list = List(control)) {
      switch (property) {
        case framework::kPropListSelected:
          SyncRows();
          list->select(ToNumber(value) - 1);
          return;
        case framework::kPropListThumb:
          list->setThumb(ToNumber(value));
          return;
        case framework::kPropListOwnThumb:
          list->setProperty(static_cast<int>(property), ToNumber(value));
          return;
        case kPropDragId:
          AssignDragIds(hwnd, value);
          return;
        case kPropDropId:
          AssignDropIds(hwnd, value);
          return;
        default: break;
      }
    }
    if (property == framework::kPropHidden && hwnd != nullptr) {
      SetControlVisible(hwnd, value.empty());  // a control on a tab shows only with its tab
      return;
    }
    if (property == framework::kPropDisabled && hwnd != nullptr) {
      EnableWindow(hwnd, value.empty());
      return;
    }
    if (property == kPropSelectedTab) {
      if (VelSheet* sheet = Sheet(control)) sheet->select(ToNumber(value));
      return;
    }
    port_->SetProperty(control, property, value);
  }
  void Beep() override {
    if (port_) port_->Beep();
  }
  void BeginWaitCursor() override {
    if (port_) port_->BeginWaitCursor();
  }
  void EndWaitCursor() override {
    if (port_) port_->EndWaitCursor();
  }

 private:
  VelList* List(int32_t control) {
    HWND hwnd = port_ ? port_->FindControl(control) : nullptr;
    return hwnd != nullptr ? VelList::FromHandle(hwnd) : nullptr;
  }
  VelSheet* Sheet(int32_t control) {
    HWND hwnd = port_ ? port_->FindControl(control) : nullptr;
    return hwnd != nullptr ? VelSheet::FromHandle(hwnd) : nullptr;
  }

  std::unique_ptr<ControlWindowPort> port_;
  int32_t list_ = 0;
  const Queue* queue_ = nullptr;
  std::unique_ptr<QueueListRows> rows_;
  bool rows_bound_ = false;
  uint64_t shown_version_ = 0;
  bool first_page_logged_ = false;
};

// The loop of the window: before waiting for the next event the list shows what the browse
// put into its queue.
class AppEventSource : public EngineEventSource {
 public:
  explicit AppEventSource(AppWindowPort* port) : port_(port) {}
  bool AcceptNext() override {
    port_->SyncRows();
    if (drop_started_.QuadPart != 0) {
      // The drop has been handled: the page is shown again once the list has painted.
      port_->PaintNow();
      LogTiming("drop handled and list redrawn: %.1f ms", MillisecondsSince(drop_started_));
      drop_started_.QuadPart = 0;
    }
    bool end = EngineEventSource::AcceptNext();
    if (!end && CurrentEvent() == kEventDrop) drop_started_ = Now();
    return end;
  }

 private:
  AppWindowPort* port_;
  LARGE_INTEGER drop_started_{};
};

class Win32ProcedureWindow : public ProcedureWindow {
 public:
  ~Win32ProcedureWindow() override {
    port_.Detach();
    resize_.reset();
    CloseWindow(object_);
  }
  bool Build(std::string_view module, std::string_view label) override {
    module_ = std::string(module);
    label_ = std::string(label);
    return true;
  }
  void BindQueue(int32_t list, const Queue* queue) override { port_.BindQueue(list, queue); }
  framework::Outcome Open() override {
    OpenWindowOrRaise(object_, module_, label_, nullptr);
    if (!object_.IsOpen()) return framework::kOutcomeNotUsable;
    if ((object_.record().flags & rsc::kWinFlagApplication) != 0) SetApplicationFrameWindow(object_.hwnd());
    port_.Attach(object_.hwnd(), &object_);
    toolbar_ = std::make_unique<ControlToolbarPort>(nullptr, object_.hwnd());
    resize_ = std::make_unique<ControlResizeSurface>(object_.hwnd(), object_.units());
    for (const auto& control : object_.controls()) {
      Control* parent = control->parent();
      resize_->AddControl(static_cast<int32_t>(control->field()), control->type(), control->hwnd(),
                          parent != nullptr ? static_cast<int32_t>(parent->field()) : 0);
    }
    port_.SyncRows();
    return framework::kOutcomeDone;
  }
  framework::EventSource* events() override { return &events_; }
  framework::WindowPort* port() override { return &port_; }
  framework::ToolbarPort* toolbar_port() override { return toolbar_.get(); }
  framework::ResizeSurface* resize_surface() override { return resize_.get(); }

 private:
  WindowObject object_;
  std::string module_, label_;
  AppWindowPort port_;
  AppEventSource events_{&port_};
  std::unique_ptr<ControlToolbarPort> toolbar_;
  std::unique_ptr<ControlResizeSurface> resize_;
};

// Procedures wait here between StartThread and their thread picking them up.
std::mutex g_pending_mutex;
std::map<int, std::function<void()>> g_pending;
int g_next_pending = 0;

void RunPending(const std::string& id, const std::string&, const std::string&) {
  std::function<void()> procedure;
  {
    std::lock_guard<std::mutex> lock(g_pending_mutex);
    auto it = g_pending.find(ToNumber(id));
    if (it == g_pending.end()) return;
    procedure = std::move(it->second);
    g_pending.erase(it);
  }
  procedure();
}

}  // namespace

std::unique_ptr<ProcedureWindow> Win32WindowSystem::NewWindow() { return std::make_unique<Win32ProcedureWindow>(); }

bool Win32WindowSystem::StartThread(std::function<void()> procedure, size_t stack_size) {
  int id;
  {
    std::lock_guard<std::mutex> lock(g_pending_mutex);
    id = ++g_next_pending;
    g_pending[id] = std::move(procedure);
  }
  int thread = korvex::StartThread(RunPending, stack_size, std::to_string(id));
  if (thread == 0) {
    std::lock_guard<std::mutex> lock(g_pending_mutex);
    g_pending.erase(id);
    return false;
  }
  threads_.push_back(thread);
  return true;
}

void Win32WindowSystem::CloseProcedures(unsigned timeout_ms) {
  for (int thread : threads_) PostEvent(kEventCloseDown, 0, thread);
  threads_.clear();
  DWORD start = GetTickCount();
  while (RunningThreads() > 0 && GetTickCount() - start < timeout_ms) {
    RuntimeLockRelease release;  // they need the lock to finish
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
  }
}

}  // namespace korvex::app
