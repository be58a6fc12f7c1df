// Tests of the form of the built-in scroll text: its length and line
// layout, the two key-help blocks, the blank and closing lines, line
// lengths, trailing spaces and the character set.
#include "fx/font.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr size_t text_length = 1984;
constexpr size_t line_count = 84;
constexpr size_t longest_line = 35;

const std::vector<std::string> key_help = {
    "PRESS KEYS: ", "ESC: EXIT   ", "Q: EXIT   ", "SPACE: NEXT PART   ", "7,8,9,0: SCROLL SPEED ",
};

std::string_view whole_text() { return {scroll_text, std::strlen(scroll_text)}; }

// The lines of text without their line breaks; a piece after the last line
// break (a line without one) counts as a line too.
std::vector<std::string> lines_of(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool only_spaces(const std::string& line) { return line.find_first_not_of(' ') == std::string::npos; }

size_t trailing_spaces(const std::string& line) {
  const size_t last = line.find_last_not_of(' ');
  return last == std::string::npos ? line.size() : line.size() - 1 - last;
}

// Codes 32-35, 38, 39, 41, 43-58, 64-90 and 95.
bool allowed_char(char c) {
  const int32_t code = static_cast<unsigned char>(c);
  return (code >= 32 && code <= 35) || code == 38 || code == 39 || code == 41 || (code >= 43 && code <= 58) ||
         (code >= 64 && code <= 90) || code == 95;
}

TEST(ScrollText, LengthAndLineLayout) {
  const std::string_view text = whole_text();
  EXPECT_EQ(text.size(), text_length);
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  size_t breaks = 0;
  for (char c : text) breaks += c == '\n';
  EXPECT_EQ(breaks, line_count);

  const std::vector<std::string> lines = lines_of(text);
  ASSERT_EQ(lines.size(), line_count);
  // Line n of the text is lines[n - 1].
  auto line = [&](size_t n) -> const std::string& { return lines[n - 1]; };

  EXPECT_EQ(line(1), "");
  EXPECT_EQ(line(2), "");
  for (size_t n = 3; n <= 6; ++n) {
    EXPECT_GE(line(n).size(), 16u) << "title line " << n;
    EXPECT_LE(line(n).size(), 21u) << "title line " << n;
    EXPECT_FALSE(only_spaces(line(n))) << "title line " << n;
  }
  for (size_t i = 0; i < key_help.size(); ++i) {
    EXPECT_EQ(line(8 + i), key_help[i]) << "first key help, line " << 8 + i;
    EXPECT_EQ(line(50 + i), key_help[i]) << "second key help, line " << 50 + i;
  }
  // The blocks around the key help are set apart by blank lines, and the
  // free text starts right after them.
  for (size_t n : {7u, 13u, 49u, 55u}) {
    EXPECT_FALSE(line(n).empty()) << "line " << n;
    EXPECT_TRUE(only_spaces(line(n))) << "line " << n;
  }
  for (size_t n : {14u, 56u, 83u}) EXPECT_FALSE(only_spaces(line(n))) << "line " << n;
  EXPECT_EQ(line(84), std::string(22, ' '));
}

TEST(ScrollText, LinesHaveTheirLengthsSpacesAndCharacters) {
  const std::vector<std::string> lines = lines_of(whole_text());
  ASSERT_EQ(lines.size(), line_count);
  for (size_t i = 0; i < lines.size(); ++i) {
    const size_t n = i + 1;
    const std::string& line = lines[i];
    EXPECT_LE(line.size(), longest_line) << "line " << n;
    for (char c : line) EXPECT_TRUE(allowed_char(c)) << "line " << n << ", code " << int32_t{c};
    if (n <= 2) continue;  // the two empty lines, checked above
    ASSERT_FALSE(line.empty()) << "line " << n;
    if (n == line_count) continue;  // the closing line of spaces
    if (only_spaces(line)) {
      EXPECT_TRUE(line.size() == 9 || line.size() == 10) << "blank line " << n << " has " << line.size();
    } else {
      const size_t spaces = trailing_spaces(line);
      EXPECT_GE(spaces, 1u) << "line " << n;
      EXPECT_LE(spaces, 5u) << "line " << n;
    }
  }
}

}  // namespace
