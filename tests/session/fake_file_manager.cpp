#include "fake_file_manager.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include "support/test_support.h"

namespace velumar::sessiontest {

namespace {

constexpr const char* kIntrospection =
    "<node><interface name='org.freedesktop.FileManager1'>"
    "<method name='ShowItems'><arg type='as' name='uris' direction='in'/>"
    "<arg type='s' name='startupId' direction='in'/></method>"
    "</interface></node>";

}  // namespace

struct FakeFileManager::State {
  mutable std::mutex lock;
  std::condition_variable changed;
  bool ready = false, owned = false;
  std::vector<std::vector<std::string>> calls;
  GMainContext* context = nullptr;
  GMainLoop* loop = nullptr;
  std::thread thread;

  static void onCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                     GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
    auto* state = static_cast<State*>(data);
    if (g_strcmp0(method, "ShowItems") == 0) {
      GVariantIter* iter = nullptr;
      const gchar* startup = nullptr;
      g_variant_get(parameters, "(as&s)", &iter, &startup);
      std::vector<std::string> uris;
      const gchar* uri = nullptr;
      while (g_variant_iter_loop(iter, "&s", &uri)) uris.push_back(uri);
      g_variant_iter_free(iter);
      std::lock_guard guard(state->lock);
      state->calls.push_back(std::move(uris));
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
  }

  void serve() {
    g_main_context_push_thread_default(context);
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kIntrospection, nullptr);
    static const GDBusInterfaceVTable vtable = {onCall, nullptr, nullptr, {}};
    guint registration = 0;
    bool nameOwned = false;
    if (bus && node) {
      registration = g_dbus_connection_register_object(bus, "/org/freedesktop/FileManager1",
                                                       node->interfaces[0], &vtable, this, nullptr, nullptr);
      GVariant* reply = g_dbus_connection_call_sync(
          bus, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "RequestName",
          g_variant_new("(su)", "org.freedesktop.FileManager1", 4u), G_VARIANT_TYPE("(u)"),
          G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
      if (reply) {
        guint32 result = 0;
        g_variant_get(reply, "(u)", &result);
        nameOwned = registration != 0 && result == 1;
        g_variant_unref(reply);
      }
    }
    {
      std::lock_guard guard(lock);
      ready = true;
      owned = nameOwned;
    }
    changed.notify_all();
    g_main_loop_run(loop);
    if (registration) g_dbus_connection_unregister_object(bus, registration);
    if (node) g_dbus_node_info_unref(node);
    if (bus) g_object_unref(bus);
    g_main_context_pop_thread_default(context);
  }
};

FakeFileManager::FakeFileManager() : state_(std::make_unique<State>()) {
  state_->context = g_main_context_new();
  state_->loop = g_main_loop_new(state_->context, FALSE);
  state_->thread = std::thread([state = state_.get()] { state->serve(); });
  std::unique_lock guard(state_->lock);
  state_->changed.wait(guard, [&] { return state_->ready; });
}

FakeFileManager::~FakeFileManager() {
  g_main_loop_quit(state_->loop);
  state_->thread.join();
  g_main_loop_unref(state_->loop);
  g_main_context_unref(state_->context);
}

bool FakeFileManager::serving() const {
  std::lock_guard guard(state_->lock);
  return state_->owned;
}

std::vector<std::vector<std::string>> FakeFileManager::calls() const {
  std::lock_guard guard(state_->lock);
  return state_->calls;
}

}  // namespace velumar::sessiontest
