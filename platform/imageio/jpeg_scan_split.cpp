#include "platform/imageio/jpeg_scan_split.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <numeric>

namespace imageio {

namespace {

constexpr int kMostComponents = 4;
constexpr int kCoefficients = 64;
// Real encoders write about ten scans; a file with hundreds is decoded as
// one stream.
constexpr std::size_t kMostScans = 128;
// More groups than this share decoders (each decoder reads every table
// and metadata segment again).
constexpr std::size_t kMostStreams = 8;

struct Segment {
  ByteRange bytes;
  int scan = -1;  // index of the scan, or -1 for a segment every decoder reads
};

struct Scan {
  std::array<int, kMostComponents> components{};
  int componentCount = 0;
  int first = 0, last = 0;  // spectral band, zig-zag indexes
};

int bigEndian16(const std::uint8_t* bytes) {
  return (int(bytes[0]) << 8) | int(bytes[1]);
}

bool isRestartMarker(std::uint8_t marker) {
  return marker >= 0xD0 && marker <= 0xD7;
}

// Huffman or quantization tables, a restart interval, an application
// segment or a comment.
bool isTableOrMetadata(std::uint8_t marker) {
  return marker == 0xC4 || marker == 0xDB || marker == 0xDD || (marker >= 0xE0 && marker <= 0xEF) ||
         marker == 0xFE;
}

// The end of the entropy-coded data starting at from: the first marker
// that is neither a stuffed zero nor a restart marker. 0 when the data
// runs to the end of the file.
std::size_t entropyDataEnd(const std::uint8_t* bytes, std::size_t size, std::size_t from) {
  while (from < size) {
    const void* found = std::memchr(bytes + from, 0xFF, size - from);
    if (!found) return 0;
    const std::size_t at = std::size_t(static_cast<const std::uint8_t*>(found) - bytes);
    if (at + 1 >= size) return 0;
    const std::uint8_t next = bytes[at + 1];
    if (next != 0x00 && !isRestartMarker(next)) return at;
    from = at + 2;
  }
  return 0;
}

class UnionFind {
 public:
  explicit UnionFind(std::size_t count) : parent_(count) { std::iota(parent_.begin(), parent_.end(), 0); }
  std::size_t root(std::size_t item) {
    while (parent_[item] != item) item = parent_[item] = parent_[parent_[item]];
    return item;
  }
  void join(std::size_t a, std::size_t b) {
    a = root(a), b = root(b);
    if (a != b) parent_[std::max(a, b)] = std::min(a, b);
  }

 private:
  std::vector<std::size_t> parent_;
};

}  // namespace

std::optional<std::vector<JpegScanStream>> independentScanStreams(const std::uint8_t* bytes,
                                                                  std::size_t size) {
  if (!bytes || size < 4 || bytes[0] != 0xFF || bytes[1] != 0xD8) return std::nullopt;
  std::vector<Segment> segments;
  std::vector<Scan> scans;
  std::vector<std::size_t> scanBytes;
  std::array<int, 256> componentOfId;
  componentOfId.fill(-1);
  int components = 0;
  // Per component and coefficient: the successive-approximation bit the
  // last scan stopped at, -1 before the first.
  int bits[kMostComponents][kCoefficients];
  std::fill(&bits[0][0], &bits[0][0] + kMostComponents * kCoefficients, -1);
  ByteRange endMarker;

  std::size_t at = 2;
  for (;;) {
    if (at + 1 >= size || bytes[at] != 0xFF) return std::nullopt;
    while (at + 2 < size && bytes[at + 1] == 0xFF) ++at;  // fill bytes
    const std::uint8_t marker = bytes[at + 1];
    if (marker == 0xD9) {
      endMarker = {at, at + 2};
      break;
    }
    if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD8)) return std::nullopt;
    if (at + 4 > size) return std::nullopt;
    const std::size_t length = std::size_t(bigEndian16(bytes + at + 2));
    const std::size_t end = at + 2 + length;
    if (length < 2 || end > size) return std::nullopt;
    const std::uint8_t* body = bytes + at + 4;

    if (marker == 0xC2) {  // progressive Huffman frame
      if (components != 0 || length < 8 || body[0] != 8) return std::nullopt;
      components = body[5];
      if (components < 1 || components > kMostComponents || length != 8 + 3 * std::size_t(components))
        return std::nullopt;
      for (int c = 0; c < components; ++c) {
        int& index = componentOfId[body[6 + 3 * c]];
        if (index >= 0) return std::nullopt;
        index = c;
      }
      segments.push_back({{at, end}, -1});
    } else if (marker == 0xDA) {
      if (components == 0 || scans.size() >= kMostScans) return std::nullopt;
      Scan scan;
      scan.componentCount = body[0];
      if (scan.componentCount < 1 || scan.componentCount > components ||
          length != 6 + 2 * std::size_t(scan.componentCount))
        return std::nullopt;
      for (int i = 0; i < scan.componentCount; ++i) {
        const int c = componentOfId[body[1 + 2 * i]];
        if (c < 0 ||
            std::find(scan.components.begin(), scan.components.begin() + i, c) != scan.components.begin() + i)
          return std::nullopt;
        scan.components[std::size_t(i)] = c;
      }
      const std::uint8_t* band = body + 1 + 2 * scan.componentCount;
      scan.first = band[0];
      scan.last = band[1];
      const int high = band[2] >> 4, low = band[2] & 0x0F;
      const bool dc = scan.first == 0;
      if ((dc && scan.last != 0) ||
          (!dc && (scan.componentCount != 1 || scan.last < scan.first || scan.last >= kCoefficients)))
        return std::nullopt;
      if (low > 13 || (high != 0 && low != high - 1)) return std::nullopt;
      for (int i = 0; i < scan.componentCount; ++i) {
        // A component's first scan is a DC scan.
        if (!dc && bits[scan.components[std::size_t(i)]][0] == -1) return std::nullopt;
        for (int k = scan.first; k <= scan.last; ++k) {
          int& bit = bits[scan.components[std::size_t(i)]][k];
          if (high == 0 ? bit != -1 : bit != high) return std::nullopt;
          bit = low;
        }
      }
      const std::size_t dataEnd = entropyDataEnd(bytes, size, end);
      if (dataEnd == 0) return std::nullopt;
      segments.push_back({{at, dataEnd}, int(scans.size())});
      scans.push_back(scan);
      scanBytes.push_back(dataEnd - at);
      at = dataEnd;
      continue;
    } else if (isTableOrMetadata(marker)) {
      segments.push_back({{at, end}, -1});
    } else {
      // Another kind of frame, arithmetic coding, a height given later, or
      // a reserved marker, which the decoder may skip over to a later one.
      return std::nullopt;
    }
    at = end;
  }
  if (scans.empty()) return std::nullopt;
  for (int c = 0; c < components; ++c)
    for (int k = 0; k < kCoefficients; ++k)
      if (bits[c][k] != 0) return std::nullopt;

  // Scans that touch one coefficient of one component depend on each other.
  UnionFind groups(scans.size());
  int lastScan[kMostComponents][kCoefficients];
  std::fill(&lastScan[0][0], &lastScan[0][0] + kMostComponents * kCoefficients, -1);
  for (std::size_t s = 0; s < scans.size(); ++s) {
    const Scan& scan = scans[s];
    for (int i = 0; i < scan.componentCount; ++i) {
      for (int k = scan.first; k <= scan.last; ++k) {
        int& previous = lastScan[scan.components[std::size_t(i)]][k];
        if (previous >= 0) groups.join(s, std::size_t(previous));
        previous = int(s);
      }
    }
  }
  // The DC scans all go to the first stream: the decoder that produces the
  // pixels takes each component's quantization table at the component's
  // first scan, a DC scan, so it must see every component there. The AC
  // groups get a stream each, in the order of their first scans; beyond
  // the most streams, the largest first join the stream with the fewest
  // bytes so far.
  std::vector<std::size_t> roots;  // of the AC groups
  std::vector<std::size_t> groupBytes;
  std::vector<std::size_t> streamOfScan(scans.size(), 0);
  for (std::size_t s = 0; s < scans.size(); ++s) {
    if (scans[s].first == 0) continue;
    const std::size_t root = groups.root(s);
    const std::size_t group = std::size_t(std::find(roots.begin(), roots.end(), root) - roots.begin());
    if (group == roots.size()) {
      roots.push_back(root);
      groupBytes.push_back(0);
    }
    groupBytes[group] += scanBytes[s];
    streamOfScan[s] = 1 + group;
  }
  if (roots.empty()) return std::nullopt;
  const std::size_t streamCount = std::min(1 + roots.size(), kMostStreams);
  if (1 + roots.size() > kMostStreams) {
    std::vector<std::size_t> bySize(roots.size());
    std::iota(bySize.begin(), bySize.end(), 0);
    std::stable_sort(bySize.begin(), bySize.end(),
                     [&](std::size_t a, std::size_t b) { return groupBytes[a] > groupBytes[b]; });
    std::vector<std::size_t> streamOfGroup(roots.size());
    std::vector<std::size_t> streamBytes(streamCount, 0);
    for (const std::size_t group : bySize) {
      const std::size_t stream =
          1 + std::size_t(std::min_element(streamBytes.begin() + 1, streamBytes.end()) -
                          (streamBytes.begin() + 1));
      streamOfGroup[group] = stream;
      streamBytes[stream] += groupBytes[group];
    }
    for (std::size_t s = 0; s < scans.size(); ++s)
      if (streamOfScan[s] != 0) streamOfScan[s] = streamOfGroup[streamOfScan[s] - 1];
  }

  std::vector<JpegScanStream> streams(streamCount);
  auto append = [](JpegScanStream& stream, ByteRange range) {
    if (!stream.ranges.empty() && stream.ranges.back().end == range.begin)
      stream.ranges.back().end = range.end;
    else
      stream.ranges.push_back(range);
  };
  for (std::size_t s = 0; s < streamCount; ++s) append(streams[s], {0, 2});
  for (const Segment& segment : segments) {
    if (segment.scan < 0) {
      for (JpegScanStream& stream : streams) append(stream, segment.bytes);
    } else {
      append(streams[streamOfScan[std::size_t(segment.scan)]], segment.bytes);
    }
  }
  for (JpegScanStream& stream : streams) append(stream, endMarker);
  for (std::size_t s = 0; s < scans.size(); ++s) {
    const Scan& scan = scans[s];
    const std::uint64_t band = (~std::uint64_t(0) >> (63 - scan.last)) & (~std::uint64_t(0) << scan.first);
    for (int i = 0; i < scan.componentCount; ++i)
      streams[streamOfScan[s]].coefficients[std::size_t(scan.components[std::size_t(i)])] |= band;
  }
  return streams;
}

}  // namespace imageio
