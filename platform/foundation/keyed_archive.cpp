#include "platform/foundation/keyed_archive.h"

#include <algorithm>
#include <cstddef>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list_limits.h"
#include "platform/foundation/property_list_nodes.h"

namespace foundation {

namespace {

// Every step from one value to another (a reference, an array element)
// counts towards the depth, so no chain of references can exhaust the stack;
// the resolved values and the bytes of their strings and data are counted
// too, each shared one at each use, so references to one object cannot
// expand into an exponential tree or copy a large string without bound.
constexpr std::size_t kMaxDepth = 64;
constexpr std::size_t kMaxResolvedValues = 100000;
constexpr std::uint64_t kMaxResolvedBytes = kMaxExpandedBytes;

PlistPtr stringArrayNode(const std::vector<std::string>& strings) {
  PlistPtr array(plist_new_array());
  for (const std::string& text : strings)
    plist_array_append_item(array.get(), plist_new_string(text.c_str()));
  return array;
}

std::optional<std::string> stringOf(plist_t node) {
  if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) return std::nullopt;
  std::uint64_t length = 0;
  const char* text = plist_get_string_ptr(node, &length);
  return std::string(text ? text : "", text ? length : 0);
}

// Resolves the references of one archive, refusing cycles, bad UIDs and
// graphs too deep or too large.
class Resolver {
 public:
  // objects is the archive's object table, read once into a vector so a
  // reference is found in constant time.
  explicit Resolver(plist_t objects) {
    forEachArrayItem(objects, [&](plist_t item) {
      objects_.push_back(item);
      return true;
    });
  }

  std::optional<ArchivedObject> object(std::uint64_t uid) {
    plist_t node = referenced(uid);
    if (node == nullptr || plist_get_node_type(node) != PLIST_DICT) return fail("object is not a dictionary");
    if (!enter(uid)) return std::nullopt;
    auto result = objectFields(node);
    leave();
    return result;
  }

 private:
  // One step deeper, following the reference uid (none for an array
  // element); false (logged) on a cycle or beyond the limits.
  bool enter(std::optional<std::uint64_t> uid) {
    if (uid && std::find(visiting_.begin(), visiting_.end(), *uid) != visiting_.end()) {
      fail("reference cycle");
      return false;
    }
    if (depth_ >= kMaxDepth) {
      fail("objects nested too deeply");
      return false;
    }
    if (++resolved_ > kMaxResolvedValues) {
      fail("too many values");
      return false;
    }
    ++depth_;
    visiting_.push_back(uid.value_or(kNoReference));
    return true;
  }
  void leave() {
    --depth_;
    visiting_.pop_back();
  }

  static constexpr std::uint64_t kNoReference = ~std::uint64_t(0);

  // Counts one resolved scalar and the bytes it holds; false (logged) over
  // the budget.
  bool spend(plist_t node) {
    std::uint64_t bytes = 0;
    const plist_type type = plist_get_node_type(node);
    if (type == PLIST_STRING) plist_get_string_ptr(node, &bytes);
    if (type == PLIST_DATA) plist_get_data_ptr(node, &bytes);
    if (++resolved_ > kMaxResolvedValues) {
      fail("too many values");
      return false;
    }
    spentBytes_ += bytes;
    if (spentBytes_ > kMaxResolvedBytes) {
      fail("too many bytes once references are resolved");
      return false;
    }
    return true;
  }

  std::nullopt_t fail(const char* problem) {
    log("Keyed archive: {}", problem);
    return std::nullopt;
  }

  plist_t referenced(std::uint64_t uid) {
    if (uid >= objects_.size()) {
      log("Keyed archive: reference {} out of range", uid);
      return nullptr;
    }
    return objects_[std::size_t(uid)];
  }

  std::optional<std::vector<std::string>> classChain(plist_t classRef) {
    if (classRef == nullptr || plist_get_node_type(classRef) != PLIST_UID)
      return fail("object without a class");
    std::uint64_t uid = 0;
    plist_get_uid_val(classRef, &uid);
    plist_t node = referenced(uid);
    if (node == nullptr || plist_get_node_type(node) != PLIST_DICT) return fail("class is not a dictionary");
    auto name = stringOf(plist_dict_get_item(node, "$classname"));
    if (!name) return fail("class without a name");
    std::vector<std::string> chain{*name};
    plist_t classes = plist_dict_get_item(node, "$classes");
    if (classes != nullptr && plist_get_node_type(classes) == PLIST_ARRAY) {
      chain.clear();
      bool nonString = false;
      const bool complete = forEachArrayItem(classes, [&](plist_t item) {
        auto entry = stringOf(item);
        nonString = !entry;
        if (nonString) return false;
        chain.push_back(std::move(*entry));
        return spend(item);
      });
      if (nonString) return fail("class chain holds a non-string");
      if (!complete) return std::nullopt;
      if (chain.empty() || chain.front() != *name) chain.insert(chain.begin(), *name);
    }
    return chain;
  }

  std::optional<ArchivedObject> objectFields(plist_t node) {
    auto classes = classChain(plist_dict_get_item(node, "$class"));
    if (!classes) return std::nullopt;
    std::vector<Dictionary::Entry> fields;
    const bool complete = forEachDictionaryItem(node, [&](std::string name, plist_t item) {
      if (name == "$class") return true;
      auto value = field(item);
      if (value) fields.emplace_back(std::move(name), std::move(*value));
      return value.has_value();
    });
    if (!complete) return std::nullopt;
    return ArchivedObject{std::move(*classes), Dictionary::fromEntries(std::move(fields))};
  }

  // A field value: references resolved, arrays element by element.
  std::optional<Value> field(plist_t item) {
    switch (plist_get_node_type(item)) {
      case PLIST_UID: {
        std::uint64_t uid = 0;
        plist_get_uid_val(item, &uid);
        plist_t target = referenced(uid);
        if (target == nullptr) return std::nullopt;
        if (plist_get_node_type(target) == PLIST_DICT) {
          auto nested = object(uid);
          if (!nested) return std::nullopt;
          Dictionary fields = std::move(nested->fields);
          fields.set("$classname", nested->className());
          return Value(std::move(fields));
        }
        if (stringOf(target) == "$null") return Value();
        if (!enter(uid)) return std::nullopt;
        auto value = field(target);
        leave();
        return value;
      }
      case PLIST_ARRAY: {
        if (!enter(std::nullopt)) return std::nullopt;
        Array array;
        const bool complete = forEachArrayItem(item, [&](plist_t element) {
          auto value = field(element);
          if (value) array.push_back(std::move(*value));
          return value.has_value();
        });
        leave();
        if (!complete) return std::nullopt;
        return Value(std::move(array));
      }
      case PLIST_DICT:
        return fail("inline dictionary in an object");
      default:
        if (!spend(item)) return std::nullopt;
        return valueFromPlistNode(item);
    }
  }

  std::vector<plist_t> objects_;
  std::vector<std::uint64_t> visiting_;
  std::size_t depth_ = 0;
  std::size_t resolved_ = 0;
  std::uint64_t spentBytes_ = 0;
};

}  // namespace

const std::string& ArchivedObject::className() const {
  static const std::string none;
  return classes.empty() ? none : classes.front();
}

std::optional<Data> keyedArchive(const ArchivedObject& root) {
  if (root.classes.empty()) return std::nullopt;
  PlistPtr object(plist_new_dict());
  plist_dict_set_item(object.get(), "$class", plist_new_uid(2));
  for (const auto& [key, value] : root.fields) {
    PlistPtr node = plistNodeFromValue(value);
    if (!node) {
      log("Keyed archive: field {} cannot be stored", key);
      return std::nullopt;
    }
    plist_dict_set_item(object.get(), key.c_str(), node.release());
  }
  PlistPtr classInfo(plist_new_dict());
  plist_dict_set_item(classInfo.get(), "$classname", plist_new_string(root.classes.front().c_str()));
  plist_dict_set_item(classInfo.get(), "$classes", stringArrayNode(root.classes).release());

  PlistPtr objects(plist_new_array());
  plist_array_append_item(objects.get(), plist_new_string("$null"));
  plist_array_append_item(objects.get(), object.release());
  plist_array_append_item(objects.get(), classInfo.release());

  PlistPtr top(plist_new_dict());
  plist_dict_set_item(top.get(), "root", plist_new_uid(1));

  PlistPtr archive(plist_new_dict());
  plist_dict_set_item(archive.get(), "$archiver", plist_new_string("NSKeyedArchiver"));
  plist_dict_set_item(archive.get(), "$version", plist_new_uint(100000));
  plist_dict_set_item(archive.get(), "$top", top.release());
  plist_dict_set_item(archive.get(), "$objects", objects.release());

  return binaryOfNodes(archive.get());
}

std::optional<ArchivedObject> readKeyedArchive(const Data& bytes) {
  PlistPtr archive = parsePropertyListNodes(bytes);
  if (!archive) return std::nullopt;
  if (plist_get_node_type(archive.get()) != PLIST_DICT) {
    log("Keyed archive: the root is not a dictionary");
    return std::nullopt;
  }
  plist_t objects = plist_dict_get_item(archive.get(), "$objects");
  plist_t top = plist_dict_get_item(archive.get(), "$top");
  plist_t root =
      top != nullptr && plist_get_node_type(top) == PLIST_DICT ? plist_dict_get_item(top, "root") : nullptr;
  if (objects == nullptr || plist_get_node_type(objects) != PLIST_ARRAY || root == nullptr ||
      plist_get_node_type(root) != PLIST_UID) {
    log("Keyed archive: no object table or no root reference");
    return std::nullopt;
  }
  std::uint64_t rootUid = 0;
  plist_get_uid_val(root, &rootUid);
  return Resolver(objects).object(rootUid);
}

}  // namespace foundation
