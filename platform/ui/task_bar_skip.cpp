#include "platform/ui/task_bar_skip.h"

#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace ui {

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

}  // namespace

void keepOutOfTaskBar(QWindow& window) {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
  if (!connection) return;
  const xcb_window_t id = xcb_window_t(window.winId());
  const xcb_atom_t state = atomNamed(connection, "_NET_WM_STATE");
  const std::array<xcb_atom_t, 2> skipped{atomNamed(connection, "_NET_WM_STATE_SKIP_TASKBAR"),
                                          atomNamed(connection, "_NET_WM_STATE_SKIP_PAGER")};
  if (state == XCB_ATOM_NONE || skipped[0] == XCB_ATOM_NONE || skipped[1] == XCB_ATOM_NONE) return;
  // The states already there stay (Qt adds its own to this list when it
  // maps the window).
  std::vector<xcb_atom_t> states;
  const ReplyHolder<xcb_get_property_reply_t> reply(
      xcb_get_property_reply(connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024),
                             nullptr),
      &std::free);
  if (reply && reply->type == XCB_ATOM_ATOM && reply->format == 32) {
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply.get()));
    states.assign(atoms, atoms + xcb_get_property_value_length(reply.get()) / 4);
  }
  for (const xcb_atom_t atom : skipped)
    if (std::find(states.begin(), states.end(), atom) == states.end()) states.push_back(atom);
  xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                      std::uint32_t(states.size()), states.data());
  xcb_flush(connection);
}

}  // namespace ui
