#pragma once
// The files of the Xcode and iOS icon sets, in the order they are written:
// each name with its pixel size; the first is the 1024-pixel master.

#include <array>
#include <cstdint>

namespace velumar {

struct IconFile {
  const char* name;
  std::int64_t pixels;
};

inline constexpr std::array<IconFile, 10> kXcodeFiles{{
    {"osx_512x512@2x.png", 1024},
    {"osx_512x512.png", 512},
    {"osx_256x256@2x.png", 512},
    {"osx_256x256.png", 256},
    {"osx_128x128@2x.png", 256},
    {"osx_128x128.png", 128},
    {"osx_32x32@2x.png", 64},
    {"osx_32x32.png", 32},
    {"osx_16x16@2x.png", 32},
    {"osx_16x16.png", 16},
}};

inline constexpr std::array<IconFile, 20> kIOSFiles{{
    {"ios_512x512@2x.png", 1024}, {"ios_512x512.png", 512},  {"ios_83.5x83.5@2x.png", 167},
    {"ios_76x76@2x.png", 152},    {"ios_76x76.png", 76},     {"ios_72x72@2x.png", 144},
    {"ios_72x72.png", 72},        {"ios_60x60@2x.png", 120}, {"ios_60x60.png", 60},
    {"ios_57x57@2x.png", 114},    {"ios_57x57.png", 57},     {"ios_50x50@2x.png", 100},
    {"ios_50x50.png", 50},        {"ios_40x40@2x.png", 80},  {"ios_40x40.png", 40},
    {"ios_29x29@2x.png", 58},     {"ios_29x29.png", 29},     {"ios_60x60@3x.png", 180},
    {"ios_40x40@3x.png", 120},    {"ios_29x29@3x.png", 87},
}};

}  // namespace velumar
