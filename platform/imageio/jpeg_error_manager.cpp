#include "platform/imageio/jpeg_error_manager.h"

namespace imageio {

namespace {

void onError(j_common_ptr cinfo) {
  auto* manager = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  (*cinfo->err->format_message)(cinfo, manager->message);
  std::longjmp(manager->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
  if (level < 0 && cinfo->err->msg_code == JWRN_JPEG_EOF)
    reinterpret_cast<JpegErrorManager*>(cinfo->err)->truncated = true;
}

}  // namespace

void installJpegErrorManager(JpegErrorManager& manager) {
  jpeg_std_error(&manager.pub);
  manager.pub.error_exit = onError;
  manager.pub.emit_message = onMessage;
}

}  // namespace imageio
