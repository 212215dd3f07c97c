#pragma once
// Decodes a progressive JPEG's independent scan groups at once on the
// shared pool. The decoder that produces the pixels reads the first group;
// one more decoder per other group reads that group's stream at the same
// time. All of them keep their coefficients in one store, each writing
// only the coefficients of its own scans, so once every stream is read the
// first decoder's output pass sees exactly the coefficients a decode of
// the whole file would have.
//
// A damaged file can make a scan write outside its own coefficients; scans
// whose stream does not own every coefficient of their component decode
// into private rows (JpegBandGuard), and a write that would reach another
// stream's coefficient fails the split: the file is then decoded as one
// stream, which applies such writes in file order.
//
// Use, with cinfo just created and its error manager installed:
//   split.attach(cinfo); jpeg_read_header(...); (output settings)
//   split.prepare(cinfo); jpeg_start_decompress(&cinfo);
//   if (!split.absorb(cinfo)) fail; jpeg_start_output(&cinfo, cinfo.input_scan_number);
//   (read the rows) jpeg_finish_output(&cinfo); jpeg_finish_decompress(&cinfo);
// The object must outlive cinfo's last use.

// clang-format off
#include <cstdio>
#include <jpeglib.h>
// clang-format on

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "platform/imageio/jpeg_scan_split.h"

namespace imageio {

struct JpegSplitOptions {
  // Files with fewer pixels decode as one stream (the split costs a
  // decoder per group).
  std::int64_t minimumPixels = 1'000'000;
};

// Read at each decode (tests change it).
JpegSplitOptions& jpegSplitOptions();

// How many decodes read their scan groups at once, and how many of those
// then decoded the file as one stream after all.
struct JpegSplitCounts {
  std::atomic<std::int64_t> split{0}, fellBack{0};
};
JpegSplitCounts& jpegSplitCounts();

class JpegSplitDecode {
 public:
  // bytes: the whole file, kept by the caller; streams from
  // independentScanStreams (at least two).
  JpegSplitDecode(const std::uint8_t* bytes, std::vector<JpegScanStream> streams);
  ~JpegSplitDecode();
  JpegSplitDecode(const JpegSplitDecode&) = delete;
  JpegSplitDecode& operator=(const JpegSplitDecode&) = delete;

  // Makes cinfo read the first stream and keep its coefficients in the
  // shared store.
  void attach(jpeg_decompress_struct& cinfo);
  // After the header and output settings: a buffered decode without block
  // smoothing (the progression is complete, so smoothing would not change
  // a pixel, and the output pass must not depend on the coefficient bits
  // cinfo saw itself).
  void prepare(jpeg_decompress_struct& cinfo);
  // After jpeg_start_decompress: reads every stream to its end, the
  // others on the pool while cinfo reads its own. False when any decoder
  // failed or ran out of data; cinfo is then only fit for destruction.
  bool absorb(jpeg_decompress_struct& cinfo);

  struct Hooks;

 private:
  struct Component {
    JDIMENSION blocksPerRow = 0, rows = 0;
    std::unique_ptr<JBLOCK[], decltype(&std::free)> blocks{nullptr, &std::free};
    std::vector<JBLOCKROW> rowPointers;
  };
  struct Reader;

  bool readOtherStream(std::size_t stream);

  const std::uint8_t* bytes_;
  std::vector<JpegScanStream> streams_;
  std::vector<Component> components_;
  std::vector<std::unique_ptr<Reader>> readers_;  // one per stream
};

}  // namespace imageio
