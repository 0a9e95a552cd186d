#include "refsuite/located_json.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <map>
#include <vector>

namespace refsuite {

namespace {

using Json = nlohmann::json;

// Walks the text for the parser and remembers how far the parser has read,
// which tells a handler where the token it is given ends.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* at, const char* begin, size_t* consumed)
      : at_(at), begin_(begin), consumed_(consumed) {}
  reference operator*() const { return *at_; }
  CountingIterator& operator++() {
    ++at_;
    *consumed_ = std::max(*consumed_, static_cast<size_t>(at_ - begin_));
    return *this;
  }
  CountingIterator operator++(int) {
    CountingIterator before = *this;
    ++*this;
    return before;
  }
  bool operator==(const CountingIterator& other) const { return at_ == other.at_; }
  bool operator!=(const CountingIterator& other) const { return at_ != other.at_; }

 private:
  const char* at_;
  const char* begin_;
  size_t* consumed_;
};

// The text as the parser reads it when nothing needs counting. A type of
// this file's own, so that the parser's code made for it is this file's,
// optimised with it (CMakeLists.txt), and not a copy that another file
// instantiated for plain pointers.
class TextIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  explicit TextIterator(const char* at) : at_(at) {}
  reference operator*() const { return *at_; }
  TextIterator& operator++() {
    ++at_;
    return *this;
  }
  TextIterator operator++(int) {
    TextIterator before = *this;
    ++at_;
    return before;
  }
  bool operator==(const TextIterator& other) const { return at_ == other.at_; }
  bool operator!=(const TextIterator& other) const { return at_ != other.at_; }

 private:
  const char* at_;
};

// Runs `handler` over `text` (nlohmann's SAX interface: the parser keeps its
// own stack, so nesting costs no recursion); `consumed` follows the reading.
template <class Handler>
bool Walk(std::string_view text, Handler& handler, size_t& consumed) {
  const char* begin = text.data();
  return Json::sax_parse(CountingIterator(begin, begin, &consumed),
                         CountingIterator(begin + text.size(), begin, &consumed), &handler);
}

// The line (1-based) of the character at `offset`.
int LineAt(std::string_view text, size_t offset) {
  const size_t end = std::min(offset, text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + end, '\n'));
}

// The line of the last character before `end` that is not white space: the
// parser may have read one character past a number.
int LineBefore(std::string_view text, size_t end) {
  size_t at = std::min(end, text.size());
  while (at > 0 && std::string_view(" \t\r\n").find(text[at - 1]) != std::string_view::npos)
    --at;
  return LineAt(text, at == 0 ? 0 : at - 1);
}

// Strips nlohmann's "[json.exception.parse_error.101] " prefix.
std::string PlainMessage(const std::string& what) {
  const size_t close = what.find("] ");
  return what.rfind("[json.exception.", 0) == 0 && close != std::string::npos
             ? what.substr(close + 2)
             : what;
}

// A key as a message shows it: quoted, escaped, and cut.
std::string ShownKey(const std::string& key) {
  constexpr size_t kShown = 64;
  std::string shown =
      Json(key.substr(0, kShown)).dump(-1, ' ', false, Json::error_handler_t::replace);
  if (key.size() > kShown)
    shown += "... (" + std::to_string(key.size()) + " bytes)";
  return shown;
}

// Builds the document as nlohmann's own DOM parser does, and refuses what
// passes the limits. Linear: nothing already built is visited again.
class DomBuilder {
 public:
  DomBuilder(Json& root, const JsonLimits& limits) : root_(root), limits_(limits) {}

  bool null() { return Place(Json()) != nullptr; }
  bool boolean(bool value) { return Place(Json(value)) != nullptr; }
  bool number_integer(Json::number_integer_t value) { return Place(Json(value)) != nullptr; }
  bool number_unsigned(Json::number_unsigned_t value) { return Place(Json(value)) != nullptr; }
  bool number_float(Json::number_float_t value, const std::string&) {
    return Place(Json(value)) != nullptr;
  }
  bool string(std::string& value) { return Place(Json(std::move(value))) != nullptr; }
  bool binary(Json::binary_t&) { return Refuse("values", "binary data"); }
  bool start_object(size_t) { return Open(Json::value_t::object); }
  bool start_array(size_t) { return Open(Json::value_t::array); }
  bool end_object() {
    stack_.pop_back();
    return true;
  }
  bool end_array() {
    stack_.pop_back();
    return true;
  }
  bool key(std::string& key) {
    if (key.size() > limits_.max_key) {
      subject_ = key.substr(0, limits_.max_key);
      subject_size_ = key.size();
      return Refuse("key", "a key of " + std::to_string(key.size()) + " bytes, longer than " +
                               std::to_string(limits_.max_key));
    }
    auto& object = stack_.back()->get_ref<Json::object_t&>();
    const auto [it, added] = object.try_emplace(key);
    if (!added) {
      subject_ = key;
      subject_size_ = key.size();
      return Refuse("duplicate", "the key " + ShownKey(key) + " twice in one object");
    }
    member_ = &it->second;
    return true;
  }
  template <class Exception>
  bool parse_error(size_t, const std::string&, const Exception& error) {
    problem_ = PlainMessage(error.what());
    if constexpr (requires { error.byte; })
      syntax_byte_ = error.byte;
    return false;
  }

  size_t values() const { return values_; }
  const std::string& problem() const { return problem_; }
  // The limit passed, or null for a syntax error.
  const char* kind() const { return kind_; }
  const std::string& subject() const { return subject_; }
  size_t subject_size() const { return subject_size_; }
  // Where a syntax error was found (1-based), 0 for a refusal of a limit.
  size_t syntax_byte() const { return syntax_byte_; }

 private:
  bool Refuse(const char* kind, std::string problem) {
    kind_ = kind;
    problem_ = std::move(problem);
    return false;
  }

  Json* Place(Json&& value) {
    if (++values_ > limits_.max_values) {
      Refuse("values", "more than " + std::to_string(limits_.max_values) + " values");
      return nullptr;
    }
    if (stack_.empty()) {
      root_ = std::move(value);
      return &root_;
    }
    Json& top = *stack_.back();
    if (top.is_array()) {
      auto& array = top.get_ref<Json::array_t&>();
      array.push_back(std::move(value));
      return &array.back();
    }
    *member_ = std::move(value);
    return member_;
  }

  bool Open(Json::value_t type) {
    if (stack_.size() >= limits_.max_depth)
      return Refuse("depth", "nested deeper than " + std::to_string(limits_.max_depth) + " levels");
    Json* placed = Place(Json(type));
    if (placed == nullptr)
      return false;
    stack_.push_back(placed);
    return true;
  }

  Json& root_;
  const JsonLimits& limits_;
  // The open arrays and objects; a child is open only while nothing is added
  // to its parent, so the pointers stay valid.
  std::vector<Json*> stack_;
  Json* member_ = nullptr;
  size_t values_ = 0;
  std::string problem_;
  const char* kind_ = nullptr;
  std::string subject_;
  size_t subject_size_ = 0;
  size_t syntax_byte_ = 0;
};

// Follows the document as a JSON pointer walks it and notes the line of
// `target` and of each of its ancestors, where each starts.
class LineFinder {
 public:
  LineFinder(std::string_view text, const std::string& target, const size_t& consumed)
      : text_(text), target_(target), consumed_(consumed) {}

  bool null() { return Scalar(); }
  bool boolean(bool) { return Scalar(); }
  bool number_integer(Json::number_integer_t) { return Scalar(); }
  bool number_unsigned(Json::number_unsigned_t) { return Scalar(); }
  bool number_float(Json::number_float_t, const std::string&) { return Scalar(); }
  bool string(std::string&) { return Scalar(); }
  bool binary(Json::binary_t&) { return Scalar(); }
  bool start_object(size_t) { return Open(false); }
  bool start_array(size_t) { return Open(true); }
  bool end_object() { return Close(); }
  bool end_array() { return Close(); }
  bool key(std::string& key) {
    stack_.back().key = std::move(key);
    Note(ChildPointer());
    return true;
  }
  template <class Exception>
  bool parse_error(size_t, const std::string&, const Exception&) {
    return false;
  }

  // The line of the nearest ancestor-or-self of the target seen, or 1.
  int Line() const { return found_.empty() ? 1 : found_.rbegin()->second; }

 private:
  struct Frame {
    bool is_array;
    std::string pointer;
    size_t index = 0;
    std::string key;
  };

  std::string ChildPointer() const {
    if (stack_.empty())
      return "";
    const Frame& top = stack_.back();
    return top.is_array ? LocatedJson::Child(top.pointer, top.index)
                        : LocatedJson::Child(top.pointer, top.key);
  }

  void Note(const std::string& pointer) {
    const bool ancestor = pointer.size() <= target_.size() && target_.starts_with(pointer) &&
                          (pointer.size() == target_.size() || target_[pointer.size()] == '/');
    if (ancestor)
      found_.emplace(pointer.size(), LineBefore(text_, consumed_));
  }

  bool Open(bool is_array) {
    std::string pointer = ChildPointer();
    Note(pointer);
    stack_.push_back(Frame{is_array, std::move(pointer), 0, {}});
    return true;
  }
  bool Close() {
    stack_.pop_back();
    if (!stack_.empty() && stack_.back().is_array)
      ++stack_.back().index;
    return true;
  }
  bool Scalar() {
    if (stack_.empty()) {
      Note("");
    } else if (stack_.back().is_array) {
      Note(ChildPointer());
      ++stack_.back().index;
    }
    return true;
  }

  std::string_view text_;
  const std::string& target_;
  const size_t& consumed_;
  std::vector<Frame> stack_;
  // By the length of the pointer; the first sighting of each counts.
  std::map<size_t, int> found_;
};

}  // namespace

Json ParseJson(std::string_view text, const JsonLimits& limits, size_t* values) {
  if (const void* nul = std::memchr(text.data(), '\0', text.size())) {
    const size_t at = static_cast<size_t>(static_cast<const char*>(nul) - text.data());
    throw JsonLimitError(LineAt(text, at),
                         "a NUL byte at byte " + std::to_string(at + 1) + " (JSON has none)",
                         "nul");
  }
  Json root;
  DomBuilder builder(root, limits);
  if (Json::sax_parse(TextIterator(text.data()), TextIterator(text.data() + text.size()),
                      &builder)) {
    if (values)
      *values = builder.values();
    return root;
  }
  if (builder.kind() == nullptr) {
    const size_t byte = builder.syntax_byte();
    throw JsonSyntaxError(LineAt(text, byte == 0 ? 0 : byte - 1), builder.problem());
  }
  // Where the limit was passed: the text read again, counting, which only
  // a refusal pays for.
  Json again;
  DomBuilder recount(again, limits);
  size_t consumed = 0;
  Walk(text, recount, consumed);
  throw JsonLimitError(LineBefore(text, consumed), builder.problem(), builder.kind(),
                       builder.subject(), builder.subject_size());
}

std::string LocatedJson::Child(const std::string& parent, std::string_view key) {
  std::string out = parent + "/";
  for (char c : key) {
    if (c == '~') {
      out += "~0";
    } else if (c == '/') {
      out += "~1";
    } else {
      out += c;
    }
  }
  return out;
}

std::string LocatedJson::Child(const std::string& parent, size_t index) {
  return parent + "/" + std::to_string(index);
}

LocatedJson LocatedJson::Parse(std::string_view text) {
  LocatedJson out;
  out.value_ = ParseJson(text);
  out.text_ = text;
  return out;
}

int LocatedJson::LineOf(const std::string& pointer) const {
  size_t consumed = 0;
  LineFinder finder(text_, pointer, consumed);
  Walk(text_, finder, consumed);
  return finder.Line();
}

}  // namespace refsuite
