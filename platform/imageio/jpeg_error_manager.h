#pragma once
// libjpeg's error handling for our decoders and encoders: a fatal error
// jumps back to the setjmp of the function that started the work (libjpeg
// requires error_exit not to return), warnings are dropped except running
// out of data.

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include <csetjmp>

namespace imageio {

struct JpegErrorManager {
  jpeg_error_mgr pub;  // first: libjpeg sees the manager as this
  std::jmp_buf jump;
  // The data ended early: the decoder then fills the rest of the image
  // with gray, which we refuse.
  bool truncated = false;
  char message[JMSG_LENGTH_MAX] = {};
};

// Makes manager the error handler it is installed in (cinfo.err = &manager.pub).
void installJpegErrorManager(JpegErrorManager& manager);

}  // namespace imageio
