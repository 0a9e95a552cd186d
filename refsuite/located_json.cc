#include "refsuite/located_json.h"

#include <algorithm>
#include <iterator>
#include <vector>

namespace refsuite {

namespace {

// Walks the text for the parser and remembers how far the parser has read,
// which tells the callback where the token it reports ends.
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

class LineTable {
 public:
  explicit LineTable(std::string_view text) : text_(text) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n')
        breaks_.push_back(i);
    }
  }
  // The line of the last character before `end` that is not white space: the
  // parser may have read one character past a number.
  int LineBefore(size_t end) const {
    size_t at = std::min(end, text_.size());
    while (at > 0 && std::string_view(" \t\r\n").find(text_[at - 1]) != std::string_view::npos) {
      --at;
    }
    return LineAt(at == 0 ? 0 : at - 1);
  }
  int LineAt(size_t offset) const {
    return 1 + static_cast<int>(std::lower_bound(breaks_.begin(), breaks_.end(), offset) -
                                breaks_.begin());
  }

 private:
  std::string_view text_;
  std::vector<size_t> breaks_;
};

struct Frame {
  bool is_array;
  std::string pointer;
  size_t index = 0;
  std::string key;
};

// Strips nlohmann's "[json.exception.parse_error.101] " prefix.
std::string PlainMessage(const std::string& what) {
  const size_t close = what.find("] ");
  return what.rfind("[json.exception.", 0) == 0 && close != std::string::npos
             ? what.substr(close + 2)
             : what;
}

}  // namespace

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
  const LineTable lines(text);
  size_t consumed = 0;
  std::vector<Frame> stack;
  auto child_pointer = [&stack]() -> std::string {
    if (stack.empty())
      return "";
    const Frame& top = stack.back();
    return top.is_array ? Child(top.pointer, top.index) : Child(top.pointer, top.key);
  };
  using Event = nlohmann::json::parse_event_t;
  auto callback = [&](int, Event event, nlohmann::json& parsed) {
    const int line = lines.LineBefore(consumed);
    switch (event) {
      case Event::object_start:
      case Event::array_start: {
        std::string pointer = child_pointer();
        out.lines_.emplace(pointer, line);
        stack.push_back(Frame{event == Event::array_start, std::move(pointer), 0, {}});
        break;
      }
      case Event::key:
        if (!stack.empty()) {
          stack.back().key = parsed.get<std::string>();
          out.lines_.emplace(child_pointer(), line);
        }
        break;
      case Event::value:
        if (stack.empty()) {
          out.lines_.emplace("", line);
        } else if (stack.back().is_array) {
          out.lines_.emplace(child_pointer(), line);
          ++stack.back().index;
        }
        break;
      case Event::object_end:
      case Event::array_end:
        if (!stack.empty())
          stack.pop_back();
        if (!stack.empty() && stack.back().is_array)
          ++stack.back().index;
        break;
    }
    return true;
  };
  const char* begin = text.data();
  try {
    out.value_ =
        nlohmann::json::parse(CountingIterator(begin, begin, &consumed),
                              CountingIterator(begin + text.size(), begin, &consumed), callback);
  } catch (const nlohmann::json::parse_error& e) {
    throw JsonSyntaxError(lines.LineAt(e.byte == 0 ? 0 : e.byte - 1), PlainMessage(e.what()));
  }
  return out;
}

int LocatedJson::LineOf(const std::string& pointer) const {
  std::string at = pointer;
  while (true) {
    if (auto it = lines_.find(at); it != lines_.end())
      return it->second;
    if (at.empty())
      return 1;
    at.erase(at.rfind('/'));
  }
}

}  // namespace refsuite
