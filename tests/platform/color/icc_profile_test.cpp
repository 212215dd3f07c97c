#include "platform/color/icc_profile.h"

#include <gtest/gtest.h>
#include <lcms2.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "support/test_support.h"

namespace color {
namespace {

const char* kInstalledSRGB = "/usr/share/color/icc/colord/sRGB.icc";

std::vector<std::uint8_t> readBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

void writeBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

struct NamedCase {
  NamedProfile which;
  Model model;
};

const NamedCase kNamed[] = {
    {NamedProfile::SRGB, Model::RGB},         {NamedProfile::GenericRGB, Model::RGB},
    {NamedProfile::AdobeRGB1998, Model::RGB}, {NamedProfile::GenericGray, Model::Gray},
    {NamedProfile::GrayGamma22, Model::Gray}, {NamedProfile::LinearRGB, Model::RGB},
    {NamedProfile::GenericCMYK, Model::CMYK},
};

TEST(IccProfileNamed, EveryProfileHasItsModelAndADistinctDescription) {
  std::set<std::string> descriptions;
  for (const auto& c : kNamed) {
    ProfileRef profile = IccProfile::named(c.which);
    ASSERT_NE(profile, nullptr) << int(c.which);
    EXPECT_EQ(profile->model(), c.model) << profile->description();
    EXPECT_FALSE(profile->description().empty());
    EXPECT_TRUE(descriptions.insert(profile->description()).second) << profile->description();
    EXPECT_EQ(IccProfile::named(c.which), profile) << "made once";
    // The serialised bytes load back to an equivalent profile.
    ProfileRef reloaded = IccProfile::fromData(profile->data());
    ASSERT_NE(reloaded, nullptr) << profile->description();
    EXPECT_EQ(reloaded->description(), profile->description());
    EXPECT_EQ(reloaded->model(), profile->model());
  }
}

TEST(IccProfileNamed, MadeProfilesHaveNoPathAndGenericCMYKComesFromDisk) {
  EXPECT_TRUE(IccProfile::named(NamedProfile::SRGB)->path().empty());
  EXPECT_TRUE(IccProfile::named(NamedProfile::LinearRGB)->path().empty());
  ProfileRef cmyk = IccProfile::named(NamedProfile::GenericCMYK);
  ASSERT_NE(cmyk, nullptr);
  EXPECT_TRUE(std::filesystem::is_regular_file(cmyk->path())) << cmyk->path();
  EXPECT_EQ(cmyk->deviceClass(), fourCC("prtr"));
  EXPECT_EQ(cmyk->channels(), 4);
}

double gammaOf(const ProfileRef& profile, cmsTagSignature tag) {
  auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(static_cast<cmsHPROFILE>(profile->handle()), tag));
  return curve ? cmsEstimateGamma(curve, 0.001) : -1;
}

TEST(IccProfileNamed, CurvesHaveTheirGammas) {
  EXPECT_NEAR(gammaOf(IccProfile::named(NamedProfile::GenericRGB), cmsSigRedTRCTag), 1.8, 0.01);
  EXPECT_NEAR(gammaOf(IccProfile::named(NamedProfile::AdobeRGB1998), cmsSigGreenTRCTag), 563.0 / 256.0, 0.01);
  EXPECT_NEAR(gammaOf(IccProfile::named(NamedProfile::GenericGray), cmsSigGrayTRCTag), 1.8, 0.01);
  EXPECT_NEAR(gammaOf(IccProfile::named(NamedProfile::GrayGamma22), cmsSigGrayTRCTag), 2.2, 0.01);
  EXPECT_NEAR(gammaOf(IccProfile::named(NamedProfile::LinearRGB), cmsSigBlueTRCTag), 1.0, 0.001);
}

TEST(IccProfileNamed, LinearRGBHoldsTheTenTagsOfAVersion2DisplayProfile) {
  ProfileRef linear = IccProfile::fromData(IccProfile::named(NamedProfile::LinearRGB)->data());
  ASSERT_NE(linear, nullptr);
  auto handle = static_cast<cmsHPROFILE>(linear->handle());
  EXPECT_EQ(linear->description(), "Linear RGB Profile");
  EXPECT_EQ(linear->deviceClass(), fourCC("mntr"));
  EXPECT_EQ(linear->dataColorSpace(), fourCC("RGB "));
  EXPECT_EQ(cmsGetPCS(handle), cmsSigXYZData);
  EXPECT_NEAR(cmsGetProfileVersion(handle), 2.2, 1e-6);
  EXPECT_EQ(cmsGetHeaderRenderingIntent(handle), cmsUInt32Number(INTENT_PERCEPTUAL));
  EXPECT_EQ(cmsGetTagCount(handle), 10);
  struct {
    cmsTagSignature tag;
    cmsCIEXYZ value;
  } const colorants[] = {{cmsSigRedColorantTag, {0.45427, 0.24263, 0.01482}},
                         {cmsSigGreenColorantTag, {0.35332, 0.67441, 0.09042}},
                         {cmsSigBlueColorantTag, {0.15662, 0.08336, 0.71953}},
                         {cmsSigMediaWhitePointTag, {0.95047, 1.0, 1.0891}}};
  for (const auto& c : colorants) {
    auto* xyz = static_cast<cmsCIEXYZ*>(cmsReadTag(handle, c.tag));
    ASSERT_NE(xyz, nullptr);
    EXPECT_NEAR(xyz->X, c.value.X, 1e-4);
    EXPECT_NEAR(xyz->Y, c.value.Y, 1e-4);
    EXPECT_NEAR(xyz->Z, c.value.Z, 1e-4);
  }
  EXPECT_TRUE(cmsIsTag(handle, cmsSigChromaticAdaptationTag));
  EXPECT_TRUE(cmsIsTag(handle, cmsSigCopyrightTag));
  // One shared curve: the three TRC entries of the tag table point at the
  // same 14 bytes ('curv', reserved, count 1, gamma 1.0 as u8Fixed8).
  const auto& bytes = linear->data();
  auto be32 = [&](std::size_t at) {
    return std::uint32_t(bytes[at]) << 24 | std::uint32_t(bytes[at + 1]) << 16 |
           std::uint32_t(bytes[at + 2]) << 8 | std::uint32_t(bytes[at + 3]);
  };
  std::set<std::uint32_t> curveOffsets;
  for (std::uint32_t i = 0; i < be32(128); ++i) {
    std::uint32_t signature = be32(132 + i * 12);
    if (signature == cmsSigRedTRCTag || signature == cmsSigGreenTRCTag || signature == cmsSigBlueTRCTag) {
      std::uint32_t offset = be32(132 + i * 12 + 4);
      curveOffsets.insert(offset);
      EXPECT_EQ(be32(offset), std::uint32_t(cmsSigCurveType));
      EXPECT_EQ(be32(offset + 8), 1u);
      EXPECT_EQ(bytes[offset + 12], 1);
      EXPECT_EQ(bytes[offset + 13], 0);
    }
  }
  EXPECT_EQ(curveOffsets.size(), 1u);
  auto* curve = static_cast<cmsToneCurve*>(cmsReadTag(handle, cmsSigRedTRCTag));
  ASSERT_NE(curve, nullptr);
  EXPECT_TRUE(cmsIsToneCurveLinear(curve));
}

// Many threads asking for every named profile at once, in a fresh process
// where none has been made yet, all get the same objects.
TEST(IccProfileNamedDeathTest, ParallelFirstUseMakesEachProfileOnce) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        constexpr int kThreads = 16;
        const void* seen[kThreads][std::size(kNamed)] = {};
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t)
          threads.emplace_back([&seen, t] {
            for (std::size_t i = 0; i < std::size(kNamed); ++i) {
              std::size_t k = (i + std::size_t(t)) % std::size(kNamed);
              seen[t][k] = IccProfile::named(kNamed[k].which).get();
            }
          });
        for (auto& thread : threads) thread.join();
        for (int t = 0; t < kThreads; ++t)
          for (std::size_t k = 0; k < std::size(kNamed); ++k)
            if (!seen[t][k] || seen[t][k] != seen[0][k]) std::_Exit(1);
        std::_Exit(0);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST(IccProfileLoading, FromFileAndFromDataOfTheSameBytesAreTheSameProfile) {
  if (!std::filesystem::exists(kInstalledSRGB)) GTEST_SKIP() << "colord profiles not installed";
  ProfileRef fromFile = IccProfile::fromFile(kInstalledSRGB);
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(fromFile->path(), kInstalledSRGB);
  EXPECT_EQ(fromFile->model(), Model::RGB);
  EXPECT_EQ(fromFile->deviceClass(), fourCC("mntr"));
  EXPECT_EQ(fromFile->dataColorSpace(), fourCC("RGB "));
  EXPECT_EQ(fromFile->channels(), 3);
  EXPECT_FALSE(fromFile->description().empty());
  ProfileRef fromData = IccProfile::fromData(readBytes(kInstalledSRGB));
  ASSERT_NE(fromData, nullptr);
  EXPECT_TRUE(fromData->path().empty());
  EXPECT_TRUE(fromData->sameAs(*fromFile));
  EXPECT_EQ(fromData->dataHash(), fromFile->dataHash());
  EXPECT_FALSE(fromData->sameAs(*IccProfile::named(NamedProfile::AdobeRGB1998)));
}

TEST(IccProfileLoading, DescriptionFallsBackToFileNameThenUntitled) {
  cmsHPROFILE handle = cmsCreateProfilePlaceholder(nullptr);
  cmsSetDeviceClass(handle, cmsSigDisplayClass);
  cmsSetColorSpace(handle, cmsSigGrayData);
  cmsSetPCS(handle, cmsSigXYZData);
  cmsToneCurve* curve = cmsBuildGamma(nullptr, 2.0);
  cmsWriteTag(handle, cmsSigGrayTRCTag, curve);
  cmsWriteTag(handle, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  cmsFreeToneCurve(curve);
  cmsUInt32Number size = 0;
  ASSERT_TRUE(cmsSaveProfileToMem(handle, nullptr, &size));
  std::vector<std::uint8_t> bytes(size);
  ASSERT_TRUE(cmsSaveProfileToMem(handle, bytes.data(), &size));
  cmsCloseProfile(handle);

  testsupport::TempDir dir;
  writeBytes(dir.file("no description.icc"), bytes);
  ProfileRef fromFile = IccProfile::fromFile(dir.file("no description.icc"));
  ASSERT_NE(fromFile, nullptr);
  EXPECT_EQ(fromFile->description(), "no description.icc");
  ProfileRef fromData = IccProfile::fromData(bytes);
  ASSERT_NE(fromData, nullptr);
  EXPECT_EQ(fromData->description(), "Untitled profile");
  EXPECT_EQ(fromData->model(), Model::Gray);
}

std::vector<std::uint8_t> validProfileBytes() {
  return IccProfile::named(NamedProfile::SRGB)->data();
}

void putBigEndian32(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[at + std::size_t(i)] = std::uint8_t(value >> (24 - 8 * i));
}

TEST(IccProfileLoading, MalformedBytesAnswerNull) {
  struct Case {
    const char* name;
    std::vector<std::uint8_t> bytes;
  };
  std::vector<Case> cases;
  cases.push_back({"empty", {}});
  cases.push_back({"short", std::vector<std::uint8_t>(10, 0x41)});
  std::vector<std::uint8_t> noise(4096);
  for (std::size_t i = 0; i < noise.size(); ++i) noise[i] = std::uint8_t(i * 2654435761u >> 13);
  cases.push_back({"noise", noise});
  auto truncated = validProfileBytes();
  truncated.resize(140);
  cases.push_back({"header only", truncated});
  auto oversized = validProfileBytes();
  putBigEndian32(oversized, 0, std::uint32_t(oversized.size() + 1000));
  cases.push_back({"declared size past end", oversized});
  auto manyTags = validProfileBytes();
  putBigEndian32(manyTags, 128, 0x7fffffff);
  cases.push_back({"huge tag count", manyTags});
  auto badOffsets = validProfileBytes();
  std::size_t tags = std::size_t(badOffsets[131]);
  for (std::size_t tag = 0; tag < tags; ++tag) putBigEndian32(badOffsets, 132 + tag * 12 + 4, 0xfffffff0);
  cases.push_back({"tag offsets past end", badOffsets});
  for (const auto& c : cases) EXPECT_EQ(IccProfile::fromData(c.bytes), nullptr) << c.name;
}

// Damaging any single byte of the tag data either still loads or answers
// null; it never crashes (the sanitizer build checks the reads).
TEST(IccProfileLoading, SurvivesDamageToEveryTagByte) {
  const auto original = validProfileBytes();
  for (std::size_t at = 128; at < original.size(); ++at) {
    auto damaged = original;
    damaged[at] ^= 0xA5;
    if (ProfileRef profile = IccProfile::fromData(damaged)) {
      EXPECT_FALSE(profile->description().empty());
    }
  }
}

TEST(IccProfileLoading, NonProfileFilesAnswerNull) {
  testsupport::TempDir dir;
  writeBytes(dir.file("text.icc"), {'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(IccProfile::fromFile(dir.file("text.icc")), nullptr);
  EXPECT_EQ(IccProfile::fromFile(dir.file("missing.icc")), nullptr);
  EXPECT_EQ(IccProfile::fromFile(dir.path().string()), nullptr);
  EXPECT_EQ(IccProfile::fromFile(""), nullptr);
}

}  // namespace
}  // namespace color
