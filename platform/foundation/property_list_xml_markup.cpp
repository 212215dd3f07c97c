#include <charconv>

#include "platform/foundation/property_list_xml.h"

namespace foundation {

namespace {

// The length of the character reference at the start of text ("&#31;",
// "&#x1F;") and in *character the character; 0 when there is none.
std::size_t referenceLength(std::string_view text, unsigned long* character) {
  if (text.substr(0, 2) != "&#") return 0;
  const bool hex = text.size() > 2 && (text[2] == 'x' || text[2] == 'X');
  const char* digits = text.data() + (hex ? 3 : 2);
  const auto [end, error] = std::from_chars(digits, text.data() + text.size(), *character, hex ? 16 : 10);
  const std::size_t length = std::size_t(end - text.data());
  return error == std::errc() && length < text.size() && text[length] == ';' ? length + 1 : 0;
}

}  // namespace

std::optional<std::string> markupKeepingCarriageReturns(std::string_view text,
                                                        std::vector<bool>& selfClosing) {
  // Where the parser is, as far as character data and start tags go: it
  // decides whether the document is well-formed. Comments, processing
  // instructions and declarations end as the parser ends them.
  enum class State { Text, StartTag, EndTag, Comment, CData, Instruction, Declaration };
  State state = State::Text;
  char quote = 0;
  int balance = 0;
  std::size_t elementsOpen = 0;  // outside the root only markup and white space may stand
  const bool marking = text.find('\r') != std::string_view::npos;
  std::string marked;
  if (marking) marked.reserve(text.size() + text.size() / 8);
  auto opens = [&](std::size_t at, std::string_view opening) {
    return text.substr(at, opening.size()) == opening;
  };
  const std::size_t size = text.size();
  std::size_t copied = 0;  // text before this is in marked
  const char marks[] = {kCarriageReturnMark, 'r', kCarriageReturnMark, kCarriageReturnMark};
  const std::string_view markedReturn(marks, 2), doubledMark(marks + 2, 2);
  auto replace = [&](std::size_t at, std::size_t length, std::string_view replacement) {
    marked.append(text.substr(copied, at - copied)).append(replacement);
    copied = at + length;
  };
  for (std::size_t i = 0; i < size; ++i) {
    const char c = text[i];
    switch (state) {
      case State::Text:
      case State::CData: {
        if (state == State::CData && c == '>' && text[i - 1] == ']' && text[i - 2] == ']') {
          state = State::Text;
          break;
        }
        if (!marking || elementsOpen == 0) {
          if (state == State::CData) break;
        } else if (c == '\r') {
          replace(i, 1, markedReturn);
          break;
        } else if (c == kCarriageReturnMark) {
          replace(i, 1, doubledMark);
          break;
        } else if (c == '&' && state == State::Text) {
          unsigned long character = 0;
          const std::size_t length = referenceLength(text.substr(i), &character);
          if (length > 0 && character == kCarriageReturnMark)
            replace(i, length, doubledMark);
          break;
        }
        if (c != '<' || state == State::CData) break;
        if (opens(i, "<!--")) {
          state = State::Comment;
          i += 3;
        } else if (opens(i, "<![CDATA[")) {
          state = State::CData;
          i += 8;
        } else if (opens(i, "<?")) {
          state = State::Instruction;
          i += 1;
        } else if (opens(i, "<!")) {
          state = State::Declaration;
          balance = 1;
          i += 1;
        } else {
          state = opens(i, "</") ? State::EndTag : State::StartTag;
          quote = 0;
        }
        break;
      }
      case State::StartTag:
      case State::EndTag:
        if (quote != 0) {
          if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
          quote = c;
        } else if (c == '>') {
          if (state == State::StartTag) {
            selfClosing.push_back(text[i - 1] == '/');
            if (!selfClosing.back()) ++elementsOpen;
          } else if (elementsOpen > 0) {
            --elementsOpen;
          }
          state = State::Text;
        }
        break;
      case State::Comment:
        if (c == '>' && text[i - 1] == '-' && text[i - 2] == '-') state = State::Text;
        break;
      case State::Instruction:
        if (c == '>' && text[i - 1] == '?') state = State::Text;
        break;
      case State::Declaration:
        // A document type's internal subset nests its own declarations.
        if (c == '<') ++balance;
        if (c == '>' && --balance == 0) state = State::Text;
        break;
    }
  }
  if (!marking) return std::nullopt;
  marked.append(text.substr(copied));
  return marked;
}

}  // namespace foundation
