// A trace file read line by line in bounded memory: however large the file,
// and however long a line in it, no more than one line of `max_line` bytes
// is held at a time. A longer line is read past, not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <string>
#include <string_view>
#include <vector>

namespace replay {

class LineReader {
 public:
  // A trace line is a few kilobytes at most: its texts are cut at 256
  // characters.
  static constexpr size_t kMaxLine = size_t{1} << 20;

  explicit LineReader(std::istream& in, size_t max_line = kMaxLine);

  struct Line {
    uint64_t number = 0;
    // Without its line end (LF or CR LF); empty when `too_long`.
    std::string_view text;
    bool too_long = false;
    // The input ended inside this line: no line end follows it.
    bool unended = false;
  };

  // The next line; false at the end of the input.
  bool Next(Line& line);

  uint64_t bytes_read() const { return bytes_read_; }

 private:
  bool Fill();
  void Keep(const char* data, size_t size);

  std::istream& in_;
  size_t max_line_;
  std::vector<char> buffer_;
  size_t begin_ = 0;
  size_t end_ = 0;
  std::string line_;
  bool too_long_ = false;
  bool pending_ = false;  // bytes of a line have been read since the last line end
  uint64_t number_ = 0;
  uint64_t bytes_read_ = 0;
};

}  // namespace replay
