#include "tools/replay/line_reader.h"

#include <cstring>

namespace replay {

namespace {
constexpr size_t kChunk = size_t{64} << 10;
}  // namespace

LineReader::LineReader(std::istream& in, size_t max_line)
    : in_(in), max_line_(max_line), buffer_(kChunk) {}

bool LineReader::Fill() {
  begin_ = 0;
  end_ = 0;
  if (!in_)
    return false;
  in_.read(buffer_.data(), static_cast<std::streamsize>(buffer_.size()));
  end_ = static_cast<size_t>(in_.gcount());
  bytes_read_ += end_;
  return end_ > 0;
}

void LineReader::Keep(const char* data, size_t size) {
  pending_ = pending_ || size > 0;
  if (too_long_)
    return;
  if (line_.size() + size > max_line_) {
    too_long_ = true;
    line_.clear();
    line_.shrink_to_fit();
    return;
  }
  line_.append(data, size);
}

bool LineReader::Next(Line& line) {
  line_.clear();
  too_long_ = false;
  pending_ = false;
  bool ended = false;
  while (!ended) {
    if (begin_ == end_ && !Fill())
      break;
    const char* start = buffer_.data() + begin_;
    const auto* stop = static_cast<const char*>(std::memchr(start, '\n', end_ - begin_));
    const size_t size = stop ? static_cast<size_t>(stop - start) : end_ - begin_;
    Keep(start, size);
    begin_ += size;
    if (stop) {
      ++begin_;
      ended = true;
    }
  }
  if (!ended && !pending_)
    return false;
  line.number = ++number_;
  line.too_long = too_long_;
  line.unended = !ended;
  std::string_view text(line_);
  if (!text.empty() && text.back() == '\r')
    text.remove_suffix(1);
  // A byte-order mark that an editor put in front of the file.
  if (line.number == 1 && text.starts_with("\xEF\xBB\xBF"))
    text.remove_prefix(3);
  line.text = text;
  return true;
}

}  // namespace replay
