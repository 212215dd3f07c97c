// The processing sheet of a batch on a real X server has no close control:
// the window manager is offered no close function, and neither its close
// request nor Escape sent by another program takes the sheet off the
// screen; its cancel button still stops the batch.

#include <gtest/gtest.h>
#include <xcb/xcb.h>

#include <QGuiApplication>
#include <QProcess>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "converter/converter_view.h"
#include "converter/converter_window.h"
#include "converter/processing_sheet.h"
#include "platform/ui/custom_button.h"
#include "xdotool.h"

namespace velumar {
namespace {

// What a window manager sends when the user closes a window.
void sendDeleteWindow(WId window) {
  xcb_connection_t* connection = qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
  const auto atom = [connection](const char* name) {
    const std::unique_ptr<xcb_intern_atom_reply_t, decltype(&std::free)> reply(
        xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 0, std::uint16_t(std::strlen(name)), name), nullptr),
        &std::free);
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
  };
  xcb_client_message_event_t message{};
  message.response_type = XCB_CLIENT_MESSAGE;
  message.format = 32;
  message.window = xcb_window_t(window);
  message.type = atom("WM_PROTOCOLS");
  message.data.data32[0] = atom("WM_DELETE_WINDOW");
  message.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(connection, 0, message.window, XCB_EVENT_MASK_NO_EVENT,
                 reinterpret_cast<const char*>(&message));
  xcb_flush(connection);
}

std::string motifHints(WId window) {
  QProcess xprop;
  xprop.start(QStringLiteral("xprop"),
              {QStringLiteral("-id"), QString::number(window), QStringLiteral("_MOTIF_WM_HINTS")});
  return xprop.waitForFinished(10000) ? xprop.readAllStandardOutput().trimmed().toStdString() : std::string();
}

TEST(SheetClose, TheSheetOfABatchStaysUntilItsCancelButton) {
  ConverterWindow converter;
  converter.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&converter));
  ConverterView& view = *converter.converterView();
  view.removePresetsButtonFromViewMultipleFiles(true);  // a batch of several files
  ProcessingSheet& sheet = *view.processingSheet();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&sheet));
  // Flags 1 (functions only), functions move and resize: no close (0x20).
  EXPECT_EQ(motifHints(sheet.winId()), "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x1, 0x6, 0x0, 0x0, 0x0");

  sendDeleteWindow(sheet.winId());
  QTest::qWait(300);
  EXPECT_TRUE(sheet.isVisible()) << "after the close request";
  ASSERT_TRUE(xdotool({"key", "--window", QString::number(sheet.winId()), "Escape"}));
  QTest::qWait(300);
  EXPECT_TRUE(sheet.isVisible()) << "after Escape";

  ui::CustomButton* cancel = sheet.cancelButton();
  const QPoint at = cancel->mapToGlobal(cancel->rect().center());
  ASSERT_TRUE(
      xdotool({"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()), "click", "1"}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.state().progressBar.cancelProgress.load(); }, 5000));
  view.addPresetsButtonFromView();  // the batch ends
  EXPECT_FALSE(sheet.isVisible());
}

}  // namespace
}  // namespace velumar
