#include "platform/foundation/keyed_archive.h"

#include <algorithm>

#include "platform/foundation/log.h"
#include "platform/foundation/property_list_nodes.h"

namespace foundation {

namespace {

constexpr int kMaxObjectDepth = 64;

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

// Resolves the references of one archive, refusing cycles and bad UIDs.
class Resolver {
 public:
  explicit Resolver(plist_t objects) : objects_(objects), count_(plist_array_get_size(objects)) {}

  std::optional<ArchivedObject> object(std::uint64_t uid) {
    plist_t node = referenced(uid);
    if (node == nullptr || plist_get_node_type(node) != PLIST_DICT) return fail("object is not a dictionary");
    if (std::find(visiting_.begin(), visiting_.end(), uid) != visiting_.end()) return fail("reference cycle");
    if (visiting_.size() >= kMaxObjectDepth) return fail("objects nested too deeply");
    visiting_.push_back(uid);
    auto result = objectFields(node);
    visiting_.pop_back();
    return result;
  }

 private:
  std::nullopt_t fail(const char* problem) {
    log("Keyed archive: {}", problem);
    return std::nullopt;
  }

  plist_t referenced(std::uint64_t uid) {
    if (uid >= count_) {
      log("Keyed archive: reference {} out of range", uid);
      return nullptr;
    }
    return plist_array_get_item(objects_, static_cast<std::uint32_t>(uid));
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
      for (std::uint32_t i = 0; i < plist_array_get_size(classes); ++i) {
        auto entry = stringOf(plist_array_get_item(classes, i));
        if (!entry) return fail("class chain holds a non-string");
        chain.push_back(*entry);
      }
      if (chain.empty() || chain.front() != *name) chain.insert(chain.begin(), *name);
    }
    return chain;
  }

  std::optional<ArchivedObject> objectFields(plist_t node) {
    auto classes = classChain(plist_dict_get_item(node, "$class"));
    if (!classes) return std::nullopt;
    ArchivedObject object{std::move(*classes), {}};
    const bool complete = forEachDictionaryItem(node, [&](std::string name, plist_t item) {
      if (name == "$class") return true;
      auto value = field(item);
      if (value) object.fields.set(std::move(name), std::move(*value));
      return value.has_value();
    });
    if (!complete) return std::nullopt;
    return object;
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
        return field(target);
      }
      case PLIST_ARRAY: {
        Array array;
        for (std::uint32_t i = 0; i < plist_array_get_size(item); ++i) {
          auto element = field(plist_array_get_item(item, i));
          if (!element) return std::nullopt;
          array.push_back(std::move(*element));
        }
        return Value(std::move(array));
      }
      case PLIST_DICT:
        return fail("inline dictionary in an object");
      default:
        return valueFromPlistNode(item);
    }
  }

  plist_t objects_;
  std::uint32_t count_;
  std::vector<std::uint64_t> visiting_;
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
