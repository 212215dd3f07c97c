// Time of the preference steps that run on the main thread, on large
// preference files: the first read at launch, a reload after another
// program changed one key (the dictionaries compared and found different), a
// reload of an unchanged file (compared and found equal) and the save at
// quit. Every step has to end within a second, so that the program starts
// and answers a termination signal at once whatever file it finds.
//
//   bench_user_defaults_many_keys          50,000, 100,000 and 494,990 keys, and a 60 MB binary file of data
//   bench_user_defaults_many_keys KEYS     one file of KEYS keys
//   bench_user_defaults_many_keys data     the 60 MB file alone
//   bench_user_defaults_many_keys colliding  100,000 keys chosen to collide
//                                            under the standard string hash
//   bench_user_defaults_many_keys xml-colliding  32,768 and 131,072 keys in
//       XML that share one bucket of the property-list library's dictionary
//       hash, each against plain keys of the same length
//
// Exits 1 when a step misses its target.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <unistd.h>

#include "platform/foundation/files.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/user_defaults.h"
#include "tests/platform/foundation/colliding_keys.h"
#include "tests/platform/foundation/plist_dict_colliding_keys.h"

namespace {

namespace fs = std::filesystem;

constexpr double kTargetSeconds = 1.0;

// An XML preferences file of keys keys, a third integers, a third strings,
// a third short data; "Key0" holds changed.
std::string manyKeys(int keys, int changed) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n\t<key>Key0</key>\n"
      "\t<integer>" +
      std::to_string(changed) + "</integer>\n";
  for (int i = 1; i < keys; ++i) {
    text += "\t<key>Key" + std::to_string(i) + "</key>\n";
    if (i % 3 == 0) text += "\t<integer>" + std::to_string(i) + "</integer>\n";
    if (i % 3 == 1) text += "\t<string>Value " + std::to_string(i) + "</string>\n";
    if (i % 3 == 2) text += "\t<data>AAECAwQF</data>\n";
  }
  return text + "</dict>\n</plist>\n";
}

// The file manyKeys(keys, changed) describes, in the binary form.
foundation::Data manyKeysBinary(int keys, int changed) {
  foundation::Dictionary values{{"Key0", changed}};
  for (int i = 1; i < keys; ++i) {
    const std::string key = "Key" + std::to_string(i);
    if (i % 3 == 0) values.set(key, i);
    if (i % 3 == 1) values.set(key, "Value " + std::to_string(i));
    if (i % 3 == 2) values.set(key, foundation::Data{0, 1, 2, 3, 4, 5});
  }
  return foundation::propertyListBinary(foundation::Value(std::move(values))).value_or(foundation::Data());
}

// A binary preferences file of about megabytes MB: one key per megabyte,
// each holding a megabyte of data (its XML form is a third larger); "Key0"
// holds changed.
foundation::Data largeData(int megabytes, int changed) {
  foundation::Dictionary values{{"Key0", changed}};
  for (int i = 1; i <= megabytes; ++i)
    values.set("Data" + std::to_string(i), foundation::Data(1 << 20, std::uint8_t(i)));
  return foundation::propertyListBinary(foundation::Value(std::move(values))).value_or(foundation::Data());
}

// A binary preferences file of keys keys that all share one value of the
// standard library's string hash (the same in every process), each holding
// an integer; "Key0" holds changed.
foundation::Data collidingKeysBinary(int keys, int changed) {
  foundation::Dictionary values{{"Key0", changed}};
  int i = 1;
  for (std::string& key : plisttest::keysCollidingUnderStdHash(std::size_t(keys - 1))) values.set(std::move(key), i++);
  return foundation::propertyListBinary(foundation::Value(std::move(values))).value_or(foundation::Data());
}

foundation::Data bytesOf(const std::string& text) {
  return foundation::Data(text.begin(), text.end());
}

bool timed(const char* step, const std::function<void()>& run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const bool met = seconds <= kTargetSeconds;
  std::printf("  %-34s %8.3f s  %s\n", step, seconds, met ? "ok" : "OVER the 1 s target");
  std::fflush(stdout);
  return met;
}

// Runs the four steps on the file that contents(changed) makes.
bool runSteps(const char* name, const std::function<foundation::Data(int)>& contents) {
  const fs::path folder = fs::temp_directory_path() / ("velumar-bench-defaults-" + std::to_string(::getpid()));
  fs::create_directories(folder);
  const std::string path = (folder / "velumar.plist").string();
  const foundation::Data first = contents(1);
  foundation::writeFileAtomically(path, first);
  std::printf("%s (%.1f MB)\n", name, double(first.size()) / 1e6);
  bool met = true;
  foundation::UserDefaults defaults(path);
  met &= timed("first read", [&] { (void)defaults.object("Key0"); });
  foundation::writeFileAtomically(path, contents(2));  // another program changes one key
  met &= timed("reload, one key changed", [&] { defaults.reload(); });
  met &= timed("reload, unchanged", [&] { defaults.reload(); });
  bool saved = false;
  met &= timed("save after a change", [&] {
    defaults.set("Touched", true);
    saved = defaults.synchronize();
  });
  std::error_code error;
  std::printf("  saved: %s, %.1f MB on disk\n", saved ? "yes" : "NO", double(fs::file_size(path, error)) / 1e6);
  met &= saved && defaults.integerForKey("Key0") == 2;
  fs::remove_all(folder, error);
  return met;
}

}  // namespace

int main(int argc, char** argv) {
  bool met = true;
  if (argc > 1 && std::string(argv[1]) == "colliding") {
    const foundation::Data file = collidingKeysBinary(100000, 1);
    std::optional<foundation::Value> first, second;
    std::printf("100,000 colliding keys, the file alone (%.1f MB)\n", double(file.size()) / 1e6);
    met &= timed("read", [&] { first = foundation::readPropertyListData(file); });
    second = foundation::readPropertyListData(file);
    bool equal = false;
    met &= timed("== of two copies", [&] { equal = first && second && *first == *second; });
    met &= equal;
    met &= runSteps("100,000 colliding keys, binary", [](int changed) { return collidingKeysBinary(100000, changed); });
  } else if (argc > 1 && std::string(argv[1]) == "xml-colliding") {
    for (const auto& [count, blocks] : {std::pair{32768, 15}, {131072, 17}}) {
      for (const bool colliding : {false, true}) {
        const auto keys = plisttest::plistDictionaryKeys(std::size_t(count), blocks, colliding);
        const std::string name = std::to_string(count) + (colliding ? " colliding" : " plain") + " keys, XML";
        met &= runSteps(name.c_str(), [&keys](int changed) {
          return bytesOf(plisttest::xmlDictionaryOfKeys(keys, changed));
        });
      }
    }
  } else if (argc > 1 && std::string(argv[1]) == "data") {
    // The most keys read as preferences (keys count as values, and 10,000
    // values are kept spare for this program's own), in the binary form: the
    // XML one is refused past 150,000 keys.
    met &= runSteps("494,990 keys, binary", [](int changed) { return manyKeysBinary(494990, changed); });
    met &= runSteps("60 MB of data", [](int changed) { return largeData(60, changed); });
  } else if (argc > 1) {
    const int keys = std::atoi(argv[1]);
    met &= runSteps("keys", [keys](int changed) { return bytesOf(manyKeys(keys, changed)); });
  } else {
    met &= runSteps("50,000 keys", [](int changed) { return bytesOf(manyKeys(50000, changed)); });
    met &= runSteps("100,000 keys", [](int changed) { return bytesOf(manyKeys(100000, changed)); });
    // The most keys read as preferences (keys count as values, and 10,000
    // values are kept spare for this program's own), in the binary form: the
    // XML one is refused past 150,000 keys.
    met &= runSteps("494,990 keys, binary", [](int changed) { return manyKeysBinary(494990, changed); });
    met &= runSteps("60 MB of data", [](int changed) { return largeData(60, changed); });
  }
  std::printf("%s\n", met ? "every step within its target" : "a step missed its target");
  return met ? 0 : 1;
}
