// Time and peak memory of reading small hostile property lists through the
// real readers: preferences (user defaults, then the stored shortcut
// decoded), a user preset, a keyed archive. Each case runs in a child
// process under a 6 GB address-space cap and a 300 s alarm, so a reader
// that expands without bound or takes quadratic time ends as a failed run
// instead of taking the machine; wall time and peak resident memory are
// the child's own (wait4).
//
//   bench_property_list_hostile            every case, one child each
//   bench_property_list_hostile CASE       one case in this process (for /usr/bin/time -v)

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/foundation/files.h"
#include "platform/foundation/keyed_archive.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "shortcut/key_shortcut.h"
#include "tests/platform/foundation/binary_plist_builder.h"

namespace {

namespace fs = std::filesystem;
using plisttest::BinaryPlistBuilder;
using Bytes = BinaryPlistBuilder::Bytes;

// {"KeyShortcut": data} as a binary property list.
Bytes preferencesHolding(const Bytes& data) {
  BinaryPlistBuilder b;
  b.add({});
  const std::uint32_t key = b.add(BinaryPlistBuilder::ascii("KeyShortcut"));
  Bytes blob = BinaryPlistBuilder::marker(0x4, data.size());
  blob.insert(blob.end(), data.begin(), data.end());
  const std::uint32_t value = b.add(std::move(blob));
  b.set(0, BinaryPlistBuilder::dictionary({key}, {value}));
  return b.build();
}

// A stored shortcut whose extra field refers to one string of stringBytes
// references times.
Bytes shortcutSharingString(std::size_t stringBytes, std::uint32_t references) {
  return plisttest::keyedArchiveWith([&](BinaryPlistBuilder& b, std::vector<std::uint32_t>& objects,
                                         std::vector<std::uint32_t>& keys, std::vector<std::uint32_t>& values) {
    objects.push_back(b.add(BinaryPlistBuilder::ascii(std::string(stringBytes, 'x'))));
    const std::uint32_t uid = b.add(BinaryPlistBuilder::uid(std::uint32_t(objects.size() - 1)));
    keys.push_back(b.add(BinaryPlistBuilder::ascii("Junk")));
    values.push_back(b.add(BinaryPlistBuilder::array(std::vector<std::uint32_t>(references, uid))));
  });
}

// {"a": level 0}, each level an array holding the next one twice, the last
// holding one string of stringBytes twice.
Bytes sharedArrays(int levels, std::size_t stringBytes) {
  BinaryPlistBuilder b;
  b.add({});
  const std::uint32_t key = b.add(BinaryPlistBuilder::ascii("a"));
  std::uint32_t next = b.add(BinaryPlistBuilder::ascii(std::string(stringBytes, 'x')));
  for (int i = 0; i < levels; ++i) next = b.add(BinaryPlistBuilder::array({next, next}));
  b.set(0, BinaryPlistBuilder::dictionary({key}, {next}));
  return b.build();
}

// {"a": [0, 1, ..., count - 1]}, binary or XML.
Bytes flatArray(std::uint32_t count, bool xml) {
  if (xml) {
    std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict><key>a</key><array>\n";
    for (std::uint32_t i = 0; i < count; ++i) text += "<integer>" + std::to_string(i % 1000) + "</integer>\n";
    text += "</array></dict></plist>\n";
    return Bytes(text.begin(), text.end());
  }
  BinaryPlistBuilder b;
  b.add({});
  const std::uint32_t key = b.add(BinaryPlistBuilder::ascii("a"));
  std::vector<std::uint32_t> items;
  for (std::uint32_t i = 0; i < count; ++i) items.push_back(b.add({0x11, std::uint8_t(i >> 8), std::uint8_t(i)}));
  const std::uint32_t array = b.add(BinaryPlistBuilder::array(items));
  b.set(0, BinaryPlistBuilder::dictionary({key}, {array}));
  return b.build();
}

// {"a": {"0": 0, "1": 1, ...}} as a binary property list.
Bytes flatDictionary(std::uint32_t count) {
  BinaryPlistBuilder b;
  b.add({});
  const std::uint32_t key = b.add(BinaryPlistBuilder::ascii("a"));
  std::vector<std::uint32_t> keys, values;
  for (std::uint32_t i = 0; i < count; ++i) {
    keys.push_back(b.add(BinaryPlistBuilder::ascii(std::to_string(i))));
    values.push_back(b.add(BinaryPlistBuilder::integer(i)));
  }
  const std::uint32_t dictionary = b.add(BinaryPlistBuilder::dictionary(keys, values));
  b.set(0, BinaryPlistBuilder::dictionary({key}, {dictionary}));
  return b.build();
}

// A keyed archive whose object table holds arrays each referring to the
// next one twice, levels deep.
Bytes archiveOfDoublingArrays(int levels) {
  return plisttest::keyedArchiveWith([&](BinaryPlistBuilder& b, std::vector<std::uint32_t>& objects,
                                         std::vector<std::uint32_t>& keys, std::vector<std::uint32_t>& values) {
    const auto first = std::uint32_t(objects.size());
    for (int i = 0; i < levels; ++i) {
      const std::uint32_t uid = b.add(BinaryPlistBuilder::uid(first + std::uint32_t(i) + 1));
      objects.push_back(b.add(BinaryPlistBuilder::array({uid, uid})));
    }
    objects.push_back(b.add(BinaryPlistBuilder::integer(7)));
    keys.push_back(b.add(BinaryPlistBuilder::ascii("Junk")));
    values.push_back(b.add(BinaryPlistBuilder::uid(first)));
  });
}

std::string scratchFolder() {
  const fs::path folder = fs::temp_directory_path() / ("velumar-bench-plist-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  return folder.string();
}

// Writes bytes as the preferences file, loads it, decodes the stored
// shortcut, changes one key and writes the preferences back; prints what
// was read and the size written.
void asPreferences(const Bytes& bytes) {
  const std::string folder = scratchFolder();
  const std::string path = folder + "/velumar.plist";
  foundation::writeFileAtomically(path, bytes);
  const auto start = std::chrono::steady_clock::now();
  foundation::UserDefaults defaults(path);
  const auto stored = defaults.dataForKey("KeyShortcut");
  const auto shortcut = stored ? shortcut::KeyShortcut::fromData(*stored) : std::nullopt;
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf("  read %zu bytes in %.2f s: shortcut %s, other keys %s\n", bytes.size(), seconds,
              shortcut ? "decoded" : "none", defaults.object("a") ? "loaded" : "none");
  defaults.set("Touched", foundation::Value(true));
  defaults.synchronize();
  std::error_code error;
  std::printf("  written back: %ju bytes\n", std::uintmax_t(fs::file_size(path, error)));
  fs::remove_all(folder, error);
}

void asPreset(const Bytes& bytes) {
  const std::string folder = scratchFolder();
  const std::string path = folder + "/hostile.preset";
  foundation::writeFileAtomically(path, bytes);
  std::printf("  read %zu bytes: %s\n", bytes.size(), foundation::readPropertyList(path) ? "read" : "refused");
  std::error_code error;
  fs::remove_all(folder, error);
}

void asKeyedArchive(const Bytes& bytes) {
  std::printf("  read %zu bytes: %s\n", bytes.size(), foundation::readKeyedArchive(bytes) ? "read" : "refused");
}

struct Case {
  const char* name;
  std::function<void()> run;
};

const std::vector<Case>& cases() {
  static const std::vector<Case> all = {
      {"shortcut_1MB_string_99000_refs", [] { asPreferences(preferencesHolding(shortcutSharingString(1 << 20, 99000))); }},
      {"shared_arrays_16_levels_prefs", [] { asPreferences(sharedArrays(16, 10240)); }},
      {"shared_arrays_16_levels_preset", [] { asPreset(sharedArrays(16, 10240)); }},
      {"flat_binary_array_100000_prefs", [] { asPreferences(flatArray(100000, false)); }},
      {"flat_binary_array_200000_prefs", [] { asPreferences(flatArray(200000, false)); }},
      {"flat_xml_array_100000_prefs", [] { asPreferences(flatArray(100000, true)); }},
      {"flat_xml_array_200000_prefs", [] { asPreferences(flatArray(200000, true)); }},
      {"flat_binary_array_200000_preset", [] { asPreset(flatArray(200000, false)); }},
      {"flat_binary_dictionary_200000_prefs", [] { asPreferences(flatDictionary(200000)); }},
      // The largest files the value budget lets through.
      {"flat_binary_array_999990_prefs", [] { asPreferences(flatArray(999990, false)); }},
      {"flat_xml_array_999990_prefs", [] { asPreferences(flatArray(999990, true)); }},
      {"flat_binary_dictionary_499990_prefs", [] { asPreferences(flatDictionary(499990)); }},
      {"keyed_archive_doubling_25_levels", [] { asKeyedArchive(archiveOfDoublingArrays(25)); }},
  };
  return all;
}

int runOne(const std::string& name) {
  for (const Case& c : cases()) {
    if (name != c.name) continue;
    const auto start = std::chrono::steady_clock::now();
    c.run();
    std::printf("  %.2f s in process\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    std::fflush(stdout);
    return 0;
  }
  std::fprintf(stderr, "no case %s\n", name.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) return runOne(argv[1]);
  for (const Case& c : cases()) {
    std::printf("%s\n", c.name);
    std::fflush(stdout);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
      const rlimit memory{6ull << 30, 6ull << 30};
      ::setrlimit(RLIMIT_AS, &memory);
      ::alarm(300);
      std::_Exit(runOne(c.name));
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const char* end = WIFEXITED(status) && WEXITSTATUS(status) == 0 ? "ok"
                      : WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM ? "stopped after 300 s"
                      : WIFSIGNALED(status)                                  ? "killed by a signal (abort)"
                                                                             : "failed";
    std::printf("  %s: %.2f s, peak %.0f MB\n", end, seconds, double(usage.ru_maxrss) / 1024.0);
    std::fflush(stdout);
  }
  return 0;
}
