// A clipboard manager for tests, as the ICCCM describes one: it owns the
// CLIPBOARD_MANAGER selection; a client that ends asks it to convert that
// selection to SAVE_TARGETS, and the manager then reads the clipboard's
// TARGETS and the first picture or text target it knows, answers the client,
// takes the clipboard over and serves what it saved to whoever asks.
//
// It writes "ready" once it owns CLIPBOARD_MANAGER, then "saved TARGET BYTES"
// for each hand-over, to its standard output; it ends on SIGTERM.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <poll.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

volatile sig_atomic_t g_stop = 0;
void Stop(int) { g_stop = 1; }

Display* g_display = nullptr;
Window g_window = 0;

Atom A(const char* name) { return XInternAtom(g_display, name, False); }

// The next event that matches, other events handled by `other` meanwhile;
// false after the timeout.
template <class Match, class Other>
bool WaitEvent(XEvent* out, Match match, Other other, int timeoutMs = 10000) {
  int waited = 0;
  while (!g_stop) {
    while (XPending(g_display)) {
      XNextEvent(g_display, out);
      if (match(*out)) return true;
      other(*out);
    }
    if (waited >= timeoutMs) return false;
    pollfd p{ConnectionNumber(g_display), POLLIN, 0};
    poll(&p, 1, 50);
    waited += 50;
  }
  return false;
}

void Ignore(const XEvent&) {}

// The clipboard converted to target into our property; INCR read in pieces.
bool Fetch(Atom target, std::vector<unsigned char>* data, Atom* type) {
  Atom clipboard = A("CLIPBOARD"), property = A("BRIVANTA_MANAGER_DATA"), incr = A("INCR");
  XDeleteProperty(g_display, g_window, property);
  XConvertSelection(g_display, clipboard, target, property, g_window, CurrentTime);
  XEvent e;
  if (!WaitEvent(&e, [](const XEvent& e) { return e.type == SelectionNotify; }, Ignore)) return false;
  if (e.xselection.property == None) return false;
  auto read = [&](bool remove, std::vector<unsigned char>* into, Atom* t) {
    Atom actual;
    int format;
    unsigned long items, after;
    unsigned char* bytes = nullptr;
    if (XGetWindowProperty(g_display, g_window, property, 0, 0x7FFFFFFF, remove ? True : False, AnyPropertyType, &actual,
                           &format, &items, &after, &bytes) != Success)
      return false;
    size_t unit = format == 32 ? sizeof(long) : static_cast<size_t>(format / 8);
    if (bytes) into->insert(into->end(), bytes, bytes + items * unit);
    if (t) *t = actual;
    if (bytes) XFree(bytes);
    return true;
  };
  data->clear();
  if (!read(true, data, type)) return false;
  if (*type != incr) return true;
  // Pieces until an empty one.
  data->clear();
  for (;;) {
    XEvent n;
    if (!WaitEvent(&n, [&](const XEvent& e) {
          return e.type == PropertyNotify && e.xproperty.atom == property && e.xproperty.state == PropertyNewValue;
        }, Ignore))
      return false;
    size_t before = data->size();
    if (!read(true, data, type)) return false;
    if (data->size() == before) return true;
  }
}

std::vector<unsigned char> g_saved;
Atom g_savedTarget = None, g_savedType = None;

// Tells the requestor its request is answered in `property` (None: refused).
void Answer(const XSelectionRequestEvent& r, Atom property) {
  XSelectionEvent reply{};
  reply.type = SelectionNotify;
  reply.requestor = r.requestor;
  reply.selection = r.selection;
  reply.target = r.target;
  reply.time = r.time;
  reply.property = property;
  XSendEvent(g_display, r.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
}

void Serve(const XSelectionRequestEvent& r) {
  Atom answered = None;
  Atom property = r.property == None ? r.target : r.property;
  if (r.selection == A("CLIPBOARD") && g_savedTarget != None) {
    if (r.target == A("TARGETS")) {
      Atom targets[] = {A("TARGETS"), g_savedTarget};
      XChangeProperty(g_display, r.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(targets), 2);
      answered = property;
    } else if (r.target == g_savedTarget) {
      XChangeProperty(g_display, r.requestor, property, g_savedType, 8, PropModeReplace, g_saved.data(),
                      static_cast<int>(g_saved.size()));
      answered = property;
    }
  }
  Answer(r, answered);
  XFlush(g_display);
}

// A client's SAVE_TARGETS: the clipboard is saved, then the client answered.
void Save(const XSelectionRequestEvent& r) {
  std::vector<unsigned char> list;
  Atom type = None;
  bool ok = false;
  if (Fetch(A("TARGETS"), &list, &type) && type == XA_ATOM) {
    std::vector<Atom> offered(list.size() / sizeof(Atom));
    std::memcpy(offered.data(), list.data(), offered.size() * sizeof(Atom));
    for (const char* wanted : {"image/png", "image/bmp", "UTF8_STRING"}) {
      Atom w = A(wanted);
      bool there = false;
      for (Atom o : offered) there = there || o == w;
      if (!there) continue;
      std::vector<unsigned char> data;
      Atom t = None;
      if (Fetch(w, &data, &t) && !data.empty()) {
        g_saved = std::move(data);
        g_savedTarget = w;
        g_savedType = t;
        ok = true;
        std::printf("saved %s %zu\n", wanted, g_saved.size());
        std::fflush(stdout);
      }
      break;
    }
  }
  Answer(r, ok ? r.property : None);
  if (ok) XSetSelectionOwner(g_display, A("CLIPBOARD"), g_window, CurrentTime);
  XFlush(g_display);
}

}  // namespace

int main() {
  signal(SIGTERM, Stop);
  signal(SIGINT, Stop);
  g_display = XOpenDisplay(nullptr);
  if (!g_display) {
    std::fprintf(stderr, "clipboard manager: no X display\n");
    return 1;
  }
  g_window = XCreateSimpleWindow(g_display, DefaultRootWindow(g_display), 0, 0, 1, 1, 0, 0, 0);
  XSelectInput(g_display, g_window, PropertyChangeMask);
  Atom manager = A("CLIPBOARD_MANAGER");
  XSetSelectionOwner(g_display, manager, g_window, CurrentTime);
  if (XGetSelectionOwner(g_display, manager) != g_window) {
    std::fprintf(stderr, "clipboard manager: another manager runs\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  XEvent e;
  while (!g_stop) {
    if (!WaitEvent(&e, [](const XEvent& e) { return e.type == SelectionRequest; }, Ignore, 1000)) continue;
    const XSelectionRequestEvent& r = e.xselectionrequest;
    if (r.selection == manager && r.target == A("SAVE_TARGETS"))
      Save(r);
    else
      Serve(r);
  }
  XCloseDisplay(g_display);
  return 0;
}
