#include "platform/foundation/property_list_xml.h"

#include <glib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "platform/foundation/property_list_limits.h"
#include "platform/foundation/property_list_nodes.h"

namespace foundation {

namespace {

constexpr const char* kMalformed = "not a well-formed property list";

enum class Element { Plist, Dictionary, Array, Key, String, Integer, Real, True, False, Date, Data, Unknown };

Element elementNamed(const char* name) {
  static constexpr std::pair<const char*, Element> kNames[] = {
      {"plist", Element::Plist}, {"dict", Element::Dictionary}, {"array", Element::Array},
      {"key", Element::Key},     {"string", Element::String},   {"integer", Element::Integer},
      {"real", Element::Real},   {"true", Element::True},       {"false", Element::False},
      {"date", Element::Date},   {"data", Element::Data},
  };
  for (const auto& [text, element] : kNames)
    if (std::strcmp(name, text) == 0) return element;
  return Element::Unknown;
}

bool isXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// An open array or dictionary, and the key it goes under in its parent.
struct Container {
  bool dictionary;
  std::string key;
  Array items;
  Dictionary entries;
};

// Builds the value as the parser reports elements. A key waits for the
// next element, which takes it whatever it is: a second key becomes the
// first one's text, and a key that a container's end follows is dropped.
// A key set twice keeps its first place and its last value.
class Reader {
 public:
  Reader(const std::vector<bool>& selfClosing, bool marked) : selfClosing_(selfClosing), marked_(marked) {}

  std::optional<Value>& root() { return root_; }
  const char* problem() const { return problem_; }

  bool start(const char* name, GError** error) {
    if (scalar_) return fail(error);  // values hold text only
    const bool empty = nextTagIsSelfClosing();
    Element element = elementNamed(name);
    if (element == Element::Plist) {
      if (inPlist_ || !open_.empty() || empty) return fail(error);
      inPlist_ = true;
      return true;
    }
    if (element == Element::Unknown) return fail(error);
    const bool inDictionary = !open_.empty() && open_.back().dictionary;
    if (element == Element::Key) {
      if (!empty && inDictionary && !pendingKey_) {
        beginScalar(Element::Key, false, {});
        return true;
      }
      element = Element::String;
    }
    if (open_.size() > std::size_t(kMaxPropertyListDepth)) return fail(error, "unreadable contents");
    std::string key;
    if (inDictionary) {
      if (!pendingKey_) return fail(error);
      key = std::move(*pendingKey_);
      pendingKey_.reset();
    }
    if (element == Element::Dictionary || element == Element::Array) {
      open_.push_back({element == Element::Dictionary, std::move(key), {}, {}});
      return true;
    }
    beginScalar(element, empty, std::move(key));
    return true;
  }

  bool end(const char* name, GError** error) {
    if (scalar_) {
      const Element element = *scalar_;
      scalar_.reset();
      if (element == Element::Key) {
        pendingKey_ = std::move(text_);
        return true;
      }
      return attach(scalarValue(element), std::move(scalarKey_), error);
    }
    // A plist element that ends here held no value; the parser matched
    // every other end with its start.
    if (elementNamed(name) == Element::Plist || open_.empty()) return fail(error);
    pendingKey_.reset();
    Container closed = std::move(open_.back());
    open_.pop_back();
    Value value = closed.dictionary ? Value(std::move(closed.entries)) : Value(std::move(closed.items));
    return attach(std::move(value), std::move(closed.key), error);
  }

  bool text(const char* text, std::size_t length, GError** error) {
    if (scalar_) {
      if (*scalar_ != Element::True && *scalar_ != Element::False) appendUnmarked(text_, {text, length});
      return true;
    }
    between_.clear();
    appendUnmarked(between_, {text, length});
    return std::all_of(between_.begin(), between_.end(), isXmlSpace) || fail(error);
  }

 private:
  // Appends text as the file held it.
  void appendUnmarked(std::string& into, std::string_view text) const {
    std::size_t mark = marked_ ? text.find(kCarriageReturnMark) : std::string_view::npos;
    while (mark != std::string_view::npos && mark + 1 < text.size()) {
      into.append(text.substr(0, mark)).push_back(text[mark + 1] == 'r' ? '\r' : kCarriageReturnMark);
      text.remove_prefix(mark + 2);
      mark = text.find(kCarriageReturnMark);
    }
    into.append(text);
  }

  bool nextTagIsSelfClosing() {
    const std::size_t tag = tagsSeen_++;
    return tag < selfClosing_.size() && selfClosing_[tag];
  }

  void beginScalar(Element element, bool empty, std::string key) {
    scalar_ = element;
    scalarIsEmpty_ = empty;
    scalarKey_ = std::move(key);
    text_.clear();
  }

  Value scalarValue(Element element) {
    switch (element) {
      case Element::Integer:
        return Value(xmlInteger(text_));
      case Element::Real:
        return Value(xmlReal(text_));
      case Element::True:
        return Value(true);
      case Element::False:
        return Value(false);
      case Element::Date:
        return Value(scalarIsEmpty_ ? xmlDateOfEmptyElement() : xmlDate(text_));
      case Element::Data:
        return Value(xmlData(text_));
      default:
        return Value(std::move(text_));
    }
  }

  // Puts a finished value into its container; the root ends the reading,
  // whatever follows it (as the library's reader did).
  bool attach(Value value, std::string key, GError** error) {
    if (open_.empty()) {
      root_ = std::move(value);
      g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, "root value read");
      return false;
    }
    Container& parent = open_.back();
    if (parent.dictionary) {
      parent.entries.set(std::move(key), std::move(value));
    } else {
      parent.items.push_back(std::move(value));
    }
    return true;
  }

  bool fail(GError** error, const char* problem = kMalformed) {
    problem_ = problem;
    g_set_error_literal(error, G_MARKUP_ERROR, G_MARKUP_ERROR_INVALID_CONTENT, problem);
    return false;
  }

  const std::vector<bool>& selfClosing_;
  const bool marked_;
  std::size_t tagsSeen_ = 0;
  std::vector<Container> open_;
  bool inPlist_ = false;
  std::optional<Element> scalar_;
  bool scalarIsEmpty_ = false;
  std::string scalarKey_;
  std::string text_;
  std::string between_;  // white space between values
  std::optional<std::string> pendingKey_;
  std::optional<Value> root_;
  const char* problem_ = kMalformed;
};

void startElement(GMarkupParseContext*, const gchar* name, const gchar**, const gchar**, gpointer reader,
                  GError** error) {
  static_cast<Reader*>(reader)->start(name, error);
}

void endElement(GMarkupParseContext*, const gchar* name, gpointer reader, GError** error) {
  static_cast<Reader*>(reader)->end(name, error);
}

void elementText(GMarkupParseContext*, const gchar* text, gsize length, gpointer reader, GError** error) {
  static_cast<Reader*>(reader)->text(text, length, error);
}

// The encoding an XML declaration at the start of text names, or empty.
std::string declaredEncoding(std::string_view text) {
  const std::size_t close = text.find("?>");
  if (text.substr(0, 5) != "<?xml" || close == std::string_view::npos) return {};
  const std::string_view declaration = text.substr(0, close);
  std::size_t at = declaration.find("encoding");
  if (at == std::string_view::npos) return {};
  at = declaration.find_first_of("\"'", at);
  if (at == std::string_view::npos) return {};
  const std::size_t end = declaration.find(declaration[at], at + 1);
  if (end == std::string_view::npos) return {};
  return std::string(declaration.substr(at + 1, end - at - 1));
}

}  // namespace

std::optional<Value> readXmlPropertyList(const Data& bytes, std::string* problem) {
  *problem = kMalformed;
  std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  // A file that is not UTF-8 and says in which encoding it is written is
  // converted, if it stays within the size of a file the readers take (its
  // texts are within the byte budget then); the parser takes UTF-8 only.
  std::unique_ptr<gchar, decltype(&g_free)> converted(nullptr, g_free);
  if (!g_utf8_validate(text.data(), gssize(text.size()), nullptr)) {
    const std::string encoding = declaredEncoding(text);
    if (encoding.empty()) return std::nullopt;
    gsize length = 0;
    converted.reset(
        g_convert(text.data(), gssize(text.size()), "UTF-8", encoding.c_str(), nullptr, &length, nullptr));
    if (!converted || length > kMaxExpandedBytes) return std::nullopt;
    text = std::string_view(converted.get(), length);
  }
  // The parser would end a text at a NUL character without a word.
  if (text.find('\0') != std::string_view::npos) return std::nullopt;

  std::vector<bool> selfClosing;
  const std::optional<std::string> marked = markupKeepingCarriageReturns(text, selfClosing);
  Reader reader(selfClosing, marked.has_value());
  const std::string_view markup = marked ? std::string_view(*marked) : text;
  static const GMarkupParser parser = {startElement, endElement, elementText, nullptr, nullptr};
  std::unique_ptr<GMarkupParseContext, decltype(&g_markup_parse_context_free)> context(
      g_markup_parse_context_new(&parser, G_MARKUP_TREAT_CDATA_AS_TEXT, &reader, nullptr),
      g_markup_parse_context_free);
  GError* error = nullptr;
  if (g_markup_parse_context_parse(context.get(), markup.data(), gssize(markup.size()), &error))
    g_markup_parse_context_end_parse(context.get(), &error);
  g_clear_error(&error);
  if (!reader.root()) *problem = reader.problem();
  return std::move(reader.root());
}

}  // namespace foundation
