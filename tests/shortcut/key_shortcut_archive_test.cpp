#include <gtest/gtest.h>

#include <fstream>

#include "platform/foundation/files.h"
#include "platform/foundation/keyed_archive.h"
#include "shortcut/key_shortcut.h"
#include "support/test_support.h"

using namespace shortcut;
namespace m = shortcut::modifiers;

namespace {

// Runs a Python snippet with plistlib imported and `path` bound; answers its
// output.
std::string python(const std::string& code, const std::string& path) {
  auto result = testsupport::runCommand(
      {"/usr/bin/python3", "-c", "import plistlib, sys\npath = sys.argv[1]\n" + code, path});
  EXPECT_EQ(result.exitCode, 0) << result.output;
  return result.output;
}

foundation::Data bytesOfPythonArchive(const testsupport::TempDir& dir, const std::string& objects,
                                      const std::string& root = "plistlib.UID(1)") {
  const std::string path = dir.file("archive.plist");
  python("U = plistlib.UID\nd = {'$archiver': 'NSKeyedArchiver', '$version': 100000, '$top': {'root': " +
             root + "}, '$objects': " + objects +
             "}\nopen(path, 'wb').write(plistlib.dumps(d, fmt=plistlib.FMT_BINARY))",
         path);
  return foundation::readFile(path).value_or(foundation::Data());
}

const std::string kShortcutClass = "{'$classname': 'KeyShortcut', '$classes': ['KeyShortcut', 'NSObject']}";

}  // namespace

TEST(ShortcutArchive, RoundTripsAndLayoutReadByAnotherReader) {
  testsupport::TempDir dir;
  const struct {
    KeyShortcut value;
    const char* layout;  // what Python reads: root object keys and class
  } rows[] = {
      {KeyShortcut(40, m::kCommand | m::kOption), "1 1 40 1572864 KeyShortcut NSObject"},
      {KeyShortcut(kNoKeyCode, m::kShift), "1 1 -1 131072 KeyShortcut NSObject"},
      {KeyShortcut(122, 0), "1 1 122 0 KeyShortcut NSObject"},
  };
  for (const auto& row : rows) {
    const foundation::Data data = row.value.data();
    EXPECT_EQ(KeyShortcut::fromData(data), row.value);
    ASSERT_TRUE(foundation::writeFileAtomically(dir.file("out.plist"), data));
    const std::string read = python(
        "d = plistlib.load(open(path, 'rb'))\no = d['$objects']\nr = o[d['$top']['root'].data]\n"
        "c = o[r['$class'].data]\n"
        "print(d['$top']['root'].data, r['$class'].data - 1, r['KeyCode'], r['ModifierFlags'], "
        "*c['$classes'])\n"
        "assert d['$archiver'] == 'NSKeyedArchiver' and d['$version'] == 100000 and o[0] == '$null'",
        dir.file("out.plist"));
    EXPECT_EQ(read, std::string(row.layout) + "\n");
  }
  EXPECT_FALSE(KeyShortcut::fromData(KeyShortcut::emptyData()));
  auto empty = foundation::readKeyedArchive(KeyShortcut::emptyData());
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->className(), "NSDictionary");
  EXPECT_EQ(empty->fields.find("NS.keys")->asArray()->size(), 0u);
}

TEST(ShortcutArchive, HandWrittenArchivesAndBadInput) {
  testsupport::TempDir dir;
  const struct {
    const char* name;
    std::string objects;
    std::string root;
    std::optional<KeyShortcut> expected;
  } rows[] = {
      {"written elsewhere",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'ModifierFlags': 1310720}, " + kShortcutClass + "]", "U(1)",
       KeyShortcut(40, m::kCommand | m::kControl)},
      {"flags masked",
       "['$null', {'$class': U(2), 'KeyCode': 0, 'ModifierFlags': 0x9F0000}, " + kShortcutClass + "]", "U(1)",
       KeyShortcut(0, m::kMask)},
      {"key code capped",
       "['$null', {'$class': U(2), 'KeyCode': 2**64 - 5, 'ModifierFlags': 0}, " + kShortcutClass + "]",
       "U(1)", KeyShortcut(kNoKeyCode, 0)},
      {"key code as a string",
       "['$null', {'$class': U(2), 'KeyCode': '40', 'ModifierFlags': 0}, " + kShortcutClass + "]", "U(1)",
       std::nullopt},
      {"key code referenced",
       "['$null', {'$class': U(2), 'KeyCode': U(3), 'ModifierFlags': 0}, " + kShortcutClass + ", 'K']",
       "U(1)", std::nullopt},
      {"another class",
       "['$null', {'$class': U(2), 'KeyCode': 40}, {'$classname': 'NSColor', '$classes': ['NSColor']}]",
       "U(1)", std::nullopt},
      {"root out of range", "['$null', {'$class': U(2), 'KeyCode': 40}, " + kShortcutClass + "]", "U(7)",
       std::nullopt},
      {"root equal to the object count", "['$null', {'$class': U(2), 'KeyCode': 40}, " + kShortcutClass + "]",
       "U(3)", std::nullopt},
      {"class out of range", "['$null', {'$class': U(9), 'KeyCode': 40}]", "U(1)", std::nullopt},
      {"cycle", "['$null', {'$class': U(2), 'KeyCode': 1, 'Next': U(1)}, " + kShortcutClass + "]", "U(1)",
       std::nullopt},
      {"root not a reference", "['$null']", "1", std::nullopt},
      {"field array refers to itself",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'List': U(3)}, " + kShortcutClass + ", [U(3)]]", "U(1)",
       std::nullopt},
      {"reference to itself", "['$null', {'$class': U(2), 'KeyCode': 40, 'R': U(3)}, " + kShortcutClass + ", U(3)]",
       "U(1)", std::nullopt},
      {"nested deeper than the cap",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'L': U(3)}, " + kShortcutClass +
           "] + [[U(i + 1)] for i in range(3, 80)] + [1]",
       "U(1)", std::nullopt},
      {"shared arrays expanding exponentially",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'L': U(3)}, " + kShortcutClass +
           "] + [[U(i + 1), U(i + 1)] for i in range(3, 50)] + [1]",
       "U(1)", std::nullopt},
      {"doubling shared arrays 25 levels deep, inside the depth cap",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'L': U(3)}, " + kShortcutClass +
           "] + [[U(i + 1), U(i + 1)] for i in range(3, 28)] + [1]",
       "U(1)", std::nullopt},
      {"objects nested exactly at the depth cap",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'N': U(3)}, " + kShortcutClass +
           "] + [{'$class': U(2), 'N': U(i + 1)} for i in range(3, 65)] + [{'$class': U(2)}]",
       "U(1)", KeyShortcut(40, 0)},
      {"objects nested one level deeper than the cap",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'N': U(3)}, " + kShortcutClass +
           "] + [{'$class': U(2), 'N': U(i + 1)} for i in range(3, 66)] + [{'$class': U(2)}]",
       "U(1)", std::nullopt},
      {"one 1 MB string used 65 times",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'J': [U(3)] * 65}, " + kShortcutClass + ", 'x' * 2**20]",
       "U(1)", std::nullopt},
      {"one 1 MB data used 65 times",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'J': [U(3)] * 65}, " + kShortcutClass + ", b'x' * 2**20]",
       "U(1)", std::nullopt},
      {"doubling shared arrays 18 levels deep whose leaves are empty arrays",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'L': U(3)}, " + kShortcutClass +
           "] + [[U(i + 1), U(i + 1)] for i in range(3, 21)] + [[]]",
       "U(1)", std::nullopt},
      {"one 1 MB string used 60 times",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'J': [U(3)] * 60}, " + kShortcutClass + ", 'x' * 2**20]",
       "U(1)", KeyShortcut(40, 0)},
      {"shallow nesting still reads",
       "['$null', {'$class': U(2), 'KeyCode': 40, 'ModifierFlags': 0, 'L': U(3)}, " + kShortcutClass +
           "] + [[U(i + 1), U(i + 1)] for i in range(3, 10)] + [1]",
       "U(1)", KeyShortcut(40, 0)},
  };
  for (const auto& row : rows) {
    const foundation::Data data = bytesOfPythonArchive(dir, row.objects, row.root);
    ASSERT_FALSE(data.empty()) << row.name;
    EXPECT_EQ(KeyShortcut::fromData(data), row.expected) << row.name;
  }
  const foundation::Data notAPropertyList{'b', 'p', 'l', 'i', 's', 't', '0', '0', 1, 2, 3};
  EXPECT_FALSE(KeyShortcut::fromData(notAPropertyList));
  EXPECT_FALSE(KeyShortcut::fromData({}));
}
