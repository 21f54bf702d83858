// korvex_probe: finds the program's windows and controls from outside the process and prints
// what end-to-end tests need (screen rectangles, visibility, the list's row positions, the
// sheet's current tab, unexpected message boxes), one "key=value" line per item, so that
// tests never guess pixels.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Found {
  HWND hwnd = nullptr;
};

std::string WindowText(HWND hwnd) {
  char text[512] = {};
  // WM_GETTEXT is marshalled across processes, unlike most control messages.
  SendMessageTimeoutA(hwnd, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                      SMTO_ABORTIFHUNG, 2000, nullptr);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = {};
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

// Top-level windows (and MDI children, which are not top-level) whose caption is `title`.
HWND FindByTitle(const std::string& title) {
  struct Search {
    const std::string* title;
    HWND found;
  } search{&title, nullptr};
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        if (WindowText(hwnd) == *s->title) {
          s->found = hwnd;
          return FALSE;
        }
        EnumChildWindows(
            hwnd,
            [](HWND child, LPARAM p) -> BOOL {
              auto* inner = reinterpret_cast<Search*>(p);
              if (WindowText(child) == *inner->title) {
                inner->found = child;
                return FALSE;
              }
              return TRUE;
            },
            param);
        return s->found == nullptr;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// Every descendant of `top`, depth first.
std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> all;
  EnumChildWindows(
      top,
      [](HWND child, LPARAM param) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&all));
  return all;
}

// The program's windows: the descendants of `top`, then those of every other top-level
// window of the same process (procedure windows that are owned rather than children).
std::vector<HWND> ProgramWindows(HWND top) {
  std::vector<HWND> all = Descendants(top);
  struct Search {
    DWORD pid;
    HWND top;
    std::vector<HWND>* all;
  } search{0, top, &all};
  GetWindowThreadProcessId(top, &search.pid);
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto* s = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        if (hwnd == s->top || pid != s->pid || !IsWindowVisible(hwnd)) return TRUE;
        for (HWND child : Descendants(hwnd)) s->all->push_back(child);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return all;
}

// A control of a procedure window: id `id`, not the MDI client and not an MDI child itself.
HWND FindControl(HWND top, int id) {
  for (HWND hwnd : ProgramWindows(top)) {
    if (GetDlgCtrlID(hwnd) != id) continue;
    if (ClassOf(hwnd) == "MDICLIENT") continue;
    HWND parent = GetParent(hwnd);
    if (parent != nullptr && ClassOf(parent) == "MDICLIENT") continue;
    return hwnd;
  }
  return nullptr;
}

void PrintRect(HWND hwnd) {
  RECT r;
  GetWindowRect(hwnd, &r);
  std::printf(" x=%ld y=%ld w=%ld h=%ld", r.left, r.top, r.right - r.left, r.bottom - r.top);
}

HWND WaitForTitle(const std::string& title, int timeout_ms) {
  DWORD start = GetTickCount();
  for (;;) {
    if (HWND hwnd = FindByTitle(title)) return hwnd;
    if (static_cast<int>(GetTickCount() - start) >= timeout_ms) return nullptr;
    Sleep(100);
  }
}

// Dialog boxes (message boxes) that are visible: any of them during a test is a failure.
int Boxes() {
  int count = 0;
  EnumWindows(
      [](HWND hwnd, LPARAM param) -> BOOL {
        if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32770") return TRUE;
        ++*reinterpret_cast<int*>(param);
        std::printf("box title=\"%s\"", WindowText(hwnd).c_str());
        for (HWND child : Descendants(hwnd)) {
          std::string text = WindowText(child);
          if (!text.empty()) std::printf(" text=\"%s\"", text.c_str());
        }
        std::printf("\n");
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count;
}

int Controls(HWND top) {
  for (HWND hwnd : ProgramWindows(top)) {
    std::printf("id=%d class=%s visible=%d", GetDlgCtrlID(hwnd), ClassOf(hwnd).c_str(),
                IsWindowVisible(hwnd) ? 1 : 0);
    PrintRect(hwnd);
    std::printf(" text=\"%s\"\n", WindowText(hwnd).c_str());
  }
  return 0;
}

// The list's state and, for every row shown, the screen point at the middle of that row,
// found by asking the list which row lies under each line of its client area.
int Rows(HWND list) {
  auto ask = [&](UINT msg, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    SendMessageTimeoutA(list, msg, w, l, SMTO_ABORTIFHUNG, 2000, &result);
    return static_cast<LRESULT>(result);
  };
  std::printf("count=%ld cursel=%ld top=%ld itemheight=%ld\n", static_cast<long>(ask(LB_GETCOUNT, 0, 0)),
              static_cast<long>(ask(LB_GETCURSEL, 0, 0)), static_cast<long>(ask(LB_GETTOPINDEX, 0, 0)),
              static_cast<long>(ask(LB_GETITEMHEIGHT, 0, 0)));
  RECT client;
  GetClientRect(list, &client);
  int x = client.right / 4;
  long current = -1;
  int first_y = 0;
  auto flush = [&](int end_y) {
    if (current < 0) return;
    POINT p{x, (first_y + end_y) / 2};
    ClientToScreen(list, &p);
    std::printf("row=%ld sx=%ld sy=%ld\n", current + 1, p.x, p.y);
  };
  for (int y = 0; y < client.bottom; ++y) {
    LRESULT hit = ask(LB_ITEMFROMPOINT, 0, MAKELPARAM(x, y));
    long index = HIWORD(hit) == 0 ? static_cast<long>(LOWORD(hit)) : -1;
    if (index != current) {
      flush(y - 1);
      current = index;
      first_y = y;
    }
  }
  flush(client.bottom - 1);
  // A point on the header and one below the last row, for drops there.
  POINT header{x, 2};
  ClientToScreen(list, &header);
  POINT bottom{x, client.bottom - 3};
  ClientToScreen(list, &bottom);
  std::printf("header sx=%ld sy=%ld\nbottom sx=%ld sy=%ld\n", header.x, header.y, bottom.x, bottom.y);
  return 0;
}

// The sheet's current tab and the screen rectangle of each tab; the rectangles live in the
// other process, so they are read through memory allocated there.
int Tabs(HWND sheet) {
  HWND tabs = sheet;
  if (ClassOf(sheet) != WC_TABCONTROLA) {
    for (HWND child : Descendants(sheet)) {
      if (ClassOf(child) == WC_TABCONTROLA) {
        tabs = child;
        break;
      }
    }
  }
  DWORD_PTR count = 0;
  DWORD_PTR current = 0;
  SendMessageTimeoutA(tabs, TCM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 2000, &count);
  SendMessageTimeoutA(tabs, TCM_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 2000, &current);
  std::printf("tabs=%lu current=%ld\n", static_cast<unsigned long>(count), static_cast<long>(current) + 1);
  DWORD pid = 0;
  GetWindowThreadProcessId(tabs, &pid);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
  if (process == nullptr) return 0;
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT, PAGE_READWRITE);
  for (DWORD_PTR i = 0; remote != nullptr && i < count; ++i) {
    DWORD_PTR ok = 0;
    SendMessageTimeoutA(tabs, TCM_GETITEMRECT, i, reinterpret_cast<LPARAM>(remote), SMTO_ABORTIFHUNG, 2000,
                        &ok);
    RECT r{};
    SIZE_T read = 0;
    if (ok && ReadProcessMemory(process, remote, &r, sizeof r, &read) && read == sizeof r) {
      POINT middle{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
      ClientToScreen(tabs, &middle);
      std::printf("tab=%lu sx=%ld sy=%ld\n", static_cast<unsigned long>(i + 1), middle.x, middle.y);
    }
  }
  if (remote != nullptr) VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  CloseHandle(process);
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: korvex_probe COMMAND ...\n"
               "  wait TITLE [MS]          wait for a window with that caption; print it\n"
               "  gone TITLE [MS]          wait until no window has that caption\n"
               "  controls TITLE           every control of the window: id, class, visibility, rectangle, text\n"
               "  rows TITLE ID            the list's state and the screen point of each row shown\n"
               "  tabs TITLE ID            the sheet's current tab and the screen point of each tab\n"
               "  boxes                    visible message boxes (exit status 1 when there is one)\n"
               "  close TITLE              what the window's close box does (WM_SYSCOMMAND SC_CLOSE)\n"
               "  close-window-of TITLE ID close the procedure window that holds control ID, as its close box does\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  std::string command = argv[1];
  if (command == "boxes") return Boxes() > 0 ? 1 : 0;
  if (argc < 3) return Usage();
  std::string title = argv[2];
  int timeout = argc > 3 ? std::atoi(argv[3]) : 10000;
  if (command == "wait") {
    HWND hwnd = WaitForTitle(title, timeout);
    if (hwnd == nullptr) {
      std::fprintf(stderr, "korvex_probe: no window \"%s\" within %d ms\n", title.c_str(), timeout);
      return 1;
    }
    std::printf("class=%s visible=%d", ClassOf(hwnd).c_str(), IsWindowVisible(hwnd) ? 1 : 0);
    PrintRect(hwnd);
    std::printf("\n");
    return 0;
  }
  if (command == "gone") {
    DWORD start = GetTickCount();
    while (FindByTitle(title) != nullptr) {
      if (static_cast<int>(GetTickCount() - start) >= timeout) return 1;
      Sleep(100);
    }
    return 0;
  }
  HWND top = FindByTitle(title);
  if (top == nullptr) {
    std::fprintf(stderr, "korvex_probe: no window \"%s\"\n", title.c_str());
    return 1;
  }
  if (command == "controls") return Controls(top);
  if (command == "close") return PostMessageA(top, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  if (argc < 4) return Usage();
  HWND control = FindControl(top, std::atoi(argv[3]));
  if (control == nullptr) {
    std::fprintf(stderr, "korvex_probe: no control %s in \"%s\"\n", argv[3], title.c_str());
    return 1;
  }
  if (command == "rows") return Rows(control);
  if (command == "tabs") return Tabs(control);
  if (command == "close-window-of") {
    HWND window = GetAncestor(control, GA_PARENT);
    while (window != nullptr && (GetWindowLongA(window, GWL_STYLE) & WS_CHILD) != 0 &&
           (GetWindowLongA(window, GWL_EXSTYLE) & WS_EX_MDICHILD) == 0) {
      window = GetAncestor(window, GA_PARENT);
    }
    return window != nullptr && PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0) ? 0 : 1;
  }
  return Usage();
}
