#include "app/task_bar_entry.h"

#include <xcb/xcb.h>

#include <QEvent>
#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "shortcut/x11_key_grabs.h"

namespace velumar {

namespace {

template <typename Reply>
using ReplyHolder = std::unique_ptr<Reply, decltype(&std::free)>;

xcb_atom_t atomNamed(xcb_connection_t* connection, const char* name) {
  const ReplyHolder<xcb_intern_atom_reply_t> reply(
      xcb_intern_atom_reply(connection,
                            xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name), nullptr),
      &std::free);
  return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Adds the skip states to the window's _NET_WM_STATE, keeping the states
// already there (Qt adds its own to this list when it maps the window).
void markSkipped(xcb_connection_t* connection, xcb_window_t window) {
  const xcb_atom_t state = atomNamed(connection, "_NET_WM_STATE");
  const std::array<xcb_atom_t, 2> skipped{atomNamed(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                          atomNamed(connection, "_NET_WM_STATE_SKIP_PAGER")};
  if (state == XCB_ATOM_NONE || skipped[0] == XCB_ATOM_NONE || skipped[1] == XCB_ATOM_NONE) return;
  std::vector<xcb_atom_t> states;
  const ReplyHolder<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection,
                             xcb_get_property(connection, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr),
      &std::free);
  if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    states.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
  }
  for (const xcb_atom_t atom : skipped)
    if (std::find(states.begin(), states.end(), atom) == states.end()) states.push_back(atom);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                      std::uint32_t(states.size()), states.data());
  xcb_flush(connection);
}

}  // namespace

bool canHideFromTaskBar() {
  // "wayland", "wayland-egl" and the other Wayland platform plugins.
  return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

QString taskBarHidingUnavailableReason() {
  return canHideFromTaskBar() ? QString()
                              : QStringLiteral("Wayland offers applications no way to leave the task bar.");
}

TaskBarHiding::TaskBarHiding(QObject* parent) : QObject(parent) {
  if (shortcut::x11::connection()) qApp->installEventFilter(this);
}

bool TaskBarHiding::eventFilter(QObject* watched, QEvent* event) {
  // A window's show event comes before the window is mapped; the window
  // manager drops the state when a window is hidden, so each showing marks
  // it again. Menus and tool tips never reach the task bar.
  if (event->type() != QEvent::Show || !watched->isWindowType()) return false;
  auto* window = static_cast<QWindow*>(watched);
  if (window->parent() || window->type() == Qt::Popup || window->type() == Qt::ToolTip) return false;
  if (xcb_connection_t* connection = shortcut::x11::connection())
    markSkipped(connection, xcb_window_t(window->winId()));
  return false;
}

}  // namespace velumar
