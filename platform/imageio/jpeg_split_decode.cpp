#include "platform/imageio/jpeg_split_decode.h"

// clang-format off
#include <jpegint.h>
// clang-format on

#include <algorithm>
#include <new>
#include <thread>

#include "platform/foundation/parallel.h"
#include "platform/imageio/jpeg_band_guard.h"
#include "platform/imageio/jpeg_error_manager.h"

namespace imageio {

// What one decoder reads and where its coefficients go. libjpeg sees the
// source as this (source first) and finds the rest through client_data.
struct JpegSplitDecode::Reader {
  jpeg_source_mgr source{};
  JpegSplitDecode* split = nullptr;
  const JpegScanStream* stream = nullptr;
  std::size_t next = 0;
  bool ownsStore = false;                // the decoder of the first stream sizes the store
  std::vector<jvirt_barray_ptr> arrays;  // in component order, as requested
  jvirt_barray_ptr (*request)(j_common_ptr, int, boolean, JDIMENSION, JDIMENSION, JDIMENSION) = nullptr;
  // The entropy decoder's own start of each scan, which the guard wraps.
  void (*startPass)(j_decompress_ptr) = nullptr;
  JpegBandGuard guard;
  std::size_t guarded = 0;  // the component whose rows the guard stands for
};

// libjpeg's callbacks: the source reads the stream's ranges one after the
// other; the memory hooks hand out rows of the shared store in place of
// each decoder's own coefficient arrays.
struct JpegSplitDecode::Hooks {
  static Reader& of(j_decompress_ptr cinfo) { return *reinterpret_cast<Reader*>(cinfo->src); }
  static Reader& of(j_common_ptr cinfo) { return *static_cast<Reader*>(cinfo->client_data); }

  static boolean fill(j_decompress_ptr cinfo) {
    static const JOCTET kEnd[2] = {0xFF, JPEG_EOI};
    Reader& reader = of(cinfo);
    if (reader.next < reader.stream->ranges.size()) {
      const ByteRange range = reader.stream->ranges[reader.next++];
      reader.source.next_input_byte = reader.split->bytes_ + range.begin;
      reader.source.bytes_in_buffer = range.end - range.begin;
    } else {
      WARNMS(cinfo, JWRN_JPEG_EOF);
      reader.source.next_input_byte = kEnd;
      reader.source.bytes_in_buffer = sizeof kEnd;
    }
    return TRUE;
  }

  static void skip(j_decompress_ptr cinfo, long count) {
    jpeg_source_mgr& source = of(cinfo).source;
    while (count > 0) {
      if (std::size_t(count) <= source.bytes_in_buffer) {
        source.next_input_byte += count;
        source.bytes_in_buffer -= std::size_t(count);
        return;
      }
      count -= long(source.bytes_in_buffer);
      source.bytes_in_buffer = 0;
      fill(cinfo);
    }
  }

  // No exception may cross libjpeg's frames: false when memory ran out.
  static bool addComponent(std::vector<Component>& store, JDIMENSION blocksPerRow, JDIMENSION rows) {
    try {
      Component& component = store.emplace_back();
      component.blocksPerRow = blocksPerRow;
      component.rows = rows;
      // Zeroed pages come from the system untouched: no pass over the store.
      component.blocks.reset(static_cast<JBLOCK*>(
          std::calloc(std::max<std::size_t>(1, std::size_t(blocksPerRow) * rows), sizeof(JBLOCK))));
      if (!component.blocks) return false;
      component.rowPointers.resize(rows);
      for (JDIMENSION row = 0; row < rows; ++row)
        component.rowPointers[row] = component.blocks.get() + std::size_t(row) * blocksPerRow;
      return true;
    } catch (const std::bad_alloc&) {
      return false;
    }
  }

  static void failScan(j_decompress_ptr cinfo) {
    ERREXIT4(cinfo, JERR_BAD_PROGRESSION, cinfo->Ss, cinfo->Se, cinfo->Ah, cinfo->Al);
  }

  // A DC scan writes only the DC coefficients, all of them the first
  // stream's. An AC scan has one component, and is guarded unless its
  // stream owns every AC coefficient of the component.
  static void startPass(j_decompress_ptr cinfo) {
    Reader& reader = of(cinfo);
    if (!reader.guard.stop()) failScan(cinfo);
    reader.startPass(cinfo);
    if (cinfo->Ss == 0) return;
    if (cinfo->comps_in_scan != 1) failScan(cinfo);
    reader.guarded = std::size_t(cinfo->cur_comp_info[0]->component_index);
    if (reader.guarded >= reader.stream->coefficients.size()) failScan(cinfo);
    reader.guard.start(reader.stream->coefficients[reader.guarded], cinfo->Ss, cinfo->Se, cinfo->Ah,
                       cinfo->Al);
  }

  static jvirt_barray_ptr request(j_common_ptr cinfo, int pool, boolean preZero, JDIMENSION blocksPerRow,
                                  JDIMENSION rows, JDIMENSION maxAccess) {
    Reader& reader = of(cinfo);
    std::vector<Component>& store = reader.split->components_;
    const std::size_t index = reader.arrays.size();
    if (index >= kMostArrays) ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    if (index == 0) {
      // The entropy decoder exists by now (the coefficient controller that
      // asks for the arrays comes after it): wrap its per-scan start.
      const auto decompress = reinterpret_cast<j_decompress_ptr>(cinfo);
      if (!cinfo->is_decompressor || !decompress->entropy) ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
      reader.startPass = decompress->entropy->start_pass;
      decompress->entropy->start_pass = startPass;
    }
    if (reader.ownsStore) {
      if (store.size() != index) ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
      if (!addComponent(store, blocksPerRow, rows)) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
    } else if (index >= store.size() || store[index].blocksPerRow != blocksPerRow ||
               store[index].rows != rows) {
      ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    }
    // The decoder's own array stays as small as its access window: only
    // the store holds the coefficients.
    const jvirt_barray_ptr array = reader.request(
        cinfo, pool, preZero, blocksPerRow, std::max<JDIMENSION>(1, std::min(rows, maxAccess)), maxAccess);
    reader.arrays.push_back(array);
    return array;
  }

  static JBLOCKARRAY access(j_common_ptr cinfo, jvirt_barray_ptr array, JDIMENSION first, JDIMENSION count,
                            boolean /*writable*/) {
    Reader& reader = of(cinfo);
    const std::vector<Component>& store = reader.split->components_;
    for (std::size_t index = 0; index < reader.arrays.size(); ++index) {
      if (reader.arrays[index] != array) continue;
      const Component& component = store[index];
      if (count > component.rows || first > component.rows - count) break;
      const auto rows = const_cast<JBLOCKARRAY>(component.rowPointers.data()) + first;
      if (!reader.guard.active() || index != reader.guarded) return rows;
      if (!reader.guard.merge()) failScan(reinterpret_cast<j_decompress_ptr>(cinfo));
      const JBLOCKARRAY guarded = reader.guard.rows(rows, count, component.blocksPerRow);
      if (!guarded) ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
      return guarded;
    }
    ERREXIT(cinfo, JERR_BAD_VIRTUAL_ACCESS);
    return nullptr;
  }

  // The first decoder reads its own stream on whichever thread runs this;
  // its errors jump here, not to its caller's frame.
  static bool readOwnStream(jpeg_decompress_struct& cinfo) {
    JpegErrorManager manager;
    installJpegErrorManager(manager);
    jpeg_error_mgr* const callers = cinfo.err;
    cinfo.err = &manager.pub;
    if (setjmp(manager.jump)) {
      cinfo.err = callers;
      return false;
    }
    int status = JPEG_SUSPENDED;
    do {
      status = jpeg_consume_input(&cinfo);
    } while (status != JPEG_REACHED_EOI && status != JPEG_SUSPENDED);
    if (!of(&cinfo).guard.stop()) failScan(&cinfo);
    cinfo.err = callers;
    return status == JPEG_REACHED_EOI && !manager.truncated;
  }

  static void install(jpeg_decompress_struct& cinfo, Reader& reader) {
    reader.source.next_input_byte = nullptr;
    reader.source.bytes_in_buffer = 0;
    reader.source.init_source = [](j_decompress_ptr) {};
    reader.source.fill_input_buffer = fill;
    reader.source.skip_input_data = skip;
    reader.source.resync_to_restart = jpeg_resync_to_restart;
    reader.source.term_source = [](j_decompress_ptr) {};
    reader.next = 0;
    reader.guard = JpegBandGuard();
    reader.arrays.clear();
    reader.arrays.reserve(kMostArrays);
    cinfo.src = &reader.source;
    cinfo.client_data = &reader;
    reader.request = cinfo.mem->request_virt_barray;
    cinfo.mem->request_virt_barray = request;
    cinfo.mem->access_virt_barray = access;
  }

  // A decompressor asks for one coefficient array per component.
  static constexpr std::size_t kMostArrays = MAX_COMPONENTS;
};

JpegSplitOptions& jpegSplitOptions() {
  static JpegSplitOptions options;
  return options;
}

JpegSplitCounts& jpegSplitCounts() {
  static JpegSplitCounts counts;
  return counts;
}

JpegSplitDecode::JpegSplitDecode(const std::uint8_t* bytes, std::vector<JpegScanStream> streams)
    : bytes_(bytes), streams_(std::move(streams)) {
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    auto reader = std::make_unique<Reader>();
    reader->split = this;
    reader->stream = &streams_[i];
    reader->ownsStore = i == 0;
    readers_.push_back(std::move(reader));
  }
}

JpegSplitDecode::~JpegSplitDecode() = default;

void JpegSplitDecode::attach(jpeg_decompress_struct& cinfo) {
  components_.clear();
  Hooks::install(cinfo, *readers_.front());
}

void JpegSplitDecode::prepare(jpeg_decompress_struct& cinfo) {
  cinfo.buffered_image = TRUE;
  cinfo.do_block_smoothing = FALSE;
}

bool JpegSplitDecode::readOtherStream(std::size_t stream) {
  jpeg_decompress_struct cinfo;
  JpegErrorManager manager;
  cinfo.err = &manager.pub;
  installJpegErrorManager(manager);
  if (setjmp(manager.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  Hooks::install(cinfo, *readers_[stream]);
  jpeg_read_header(&cinfo, TRUE);
  jpeg_read_coefficients(&cinfo);
  if (!readers_[stream]->guard.stop()) Hooks::failScan(&cinfo);
  const bool complete = !manager.truncated;
  jpeg_destroy_decompress(&cinfo);
  return complete;
}

bool JpegSplitDecode::absorb(jpeg_decompress_struct& cinfo) {
  if (components_.empty()) return false;
  std::vector<char> read(streams_.size(), 0);
#ifdef __SANITIZE_THREAD__
  // The thread sanitizer does not see the pool's synchronisation, so under
  // it the pool runs loops on the calling thread: the streams get threads
  // of their own here, so that it sees them read at once.
  std::vector<std::thread> others;
  for (std::size_t stream = 1; stream < streams_.size(); ++stream)
    others.emplace_back([&, stream] { read[stream] = readOtherStream(stream); });
  read[0] = Hooks::readOwnStream(cinfo);
  for (std::thread& other : others) other.join();
#else
  foundation::parallelFor(0, std::int64_t(streams_.size()), [&](std::int64_t stream) {
    read[std::size_t(stream)] =
        stream == 0 ? Hooks::readOwnStream(cinfo) : readOtherStream(std::size_t(stream));
  });
#endif
  return std::all_of(read.begin(), read.end(), [](char ok) { return ok != 0; });
}

}  // namespace imageio
