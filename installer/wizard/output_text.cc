#include "output_text.h"

#include <cctype>

namespace output_text {
namespace {

bool Digit(const std::string& s, size_t i) {
  return i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]));
}

// Reads one or two digits at s[i]; answers how many were read.
size_t Number(const std::string& s, size_t i, int* value) {
  size_t n = 0;
  int v = 0;
  while (n < 2 && Digit(s, i + n)) {
    v = v * 10 + (s[i + n] - '0');
    ++n;
  }
  if (n) *value = v % kPaletteSize;
  return n;
}

}  // namespace

size_t CodeLength(const std::string& line, size_t pos, int* fg, int* bg) {
  *fg = -1;
  *bg = -1;
  size_t i = pos + 1;
  size_t n = Number(line, i, fg);
  if (n == 0) return 1;
  i += n;
  if (i < line.size() && line[i] == ',' && Digit(line, i + 1))
    i += 1 + Number(line, i + 1, bg);
  return i - pos;
}

std::vector<Run> SplitRuns(const std::string& line) {
  std::vector<Run> runs(1);
  for (size_t i = 0; i < line.size();) {
    if (line[i] != kColorCode) {
      runs.back().text += line[i++];
      continue;
    }
    int fg, bg;
    size_t len = CodeLength(line, i, &fg, &bg);
    i += len;
    if (fg < 0 && bg < 0) continue;
    Run next;
    next.fg = fg >= 0 ? fg : runs.back().fg;
    next.bg = bg >= 0 ? bg : runs.back().bg;
    if (runs.back().text.empty() && runs.size() == 1) {
      runs.back() = next;  // a code at the very start
    } else {
      runs.push_back(next);
    }
  }
  return runs;
}

int TextWidth(const std::string& line, const CharWidth& char_width) {
  int w = 0;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == kColorCode) {
      int fg, bg;
      i += CodeLength(line, i, &fg, &bg);
      continue;
    }
    w += char_width(static_cast<unsigned char>(line[i++]));
  }
  return w;
}

std::vector<std::string> Wrap(const std::string& line, int width,
                              const CharWidth& char_width) {
  if (width <= 0) return {line};
  // Break positions (blanks replaced by a break), kept as indices so that a
  // 0x1E already inside the line is never taken for one.
  std::vector<size_t> breaks;
  size_t piece_start = 0;            // first character after the last break
  size_t blank = std::string::npos;  // last blank of the current piece
  int w = 0;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == kColorCode) {
      int fg, bg;
      i += CodeLength(line, i, &fg, &bg);
      continue;
    }
    w += char_width(static_cast<unsigned char>(line[i]));
    // A blank that overflows is itself the break: it would be drawn as
    // nothing at the end of the piece.
    if (line[i] == ' ') blank = i;
    if (w > width && blank != std::string::npos) {
      breaks.push_back(blank);
      piece_start = blank + 1;
      blank = std::string::npos;
      // Measuring restarts after the break, up to and including i.
      w = TextWidth(line.substr(piece_start, i + 1 - piece_start), char_width);
    }
    ++i;
  }
  std::vector<std::string> pieces;
  size_t start = 0;
  for (size_t b : breaks) {
    pieces.push_back(line.substr(start, b - start));
    start = b + 1;
  }
  pieces.push_back(line.substr(start));
  return pieces;
}

}  // namespace output_text
