// Line layout of the output window: the colour codes inside a line and the
// word wrap of a line to a width. Pure functions over 8-bit text, so that the
// widget only paints what they answer.
//
// A colour code is the character 0x03 followed by one or two digits (the
// text-colour index) and optionally a comma with one or two digits (the
// background-colour index). It is not drawn and occupies no width. A 0x03
// without digits after it changes nothing (and is not drawn either).

#ifndef INSTALLER_WIZARD_OUTPUT_TEXT_H_
#define INSTALLER_WIZARD_OUTPUT_TEXT_H_

#include <functional>
#include <string>
#include <vector>

namespace output_text {

constexpr char kColorCode = '\x03';
// Number of palette entries; indices above are taken modulo this.
constexpr int kPaletteSize = 16;

// A piece of text drawn with one pair of colours. fg/bg are palette indices;
// -1 keeps the colour in force before the run (the line's defaults at the
// start of a line).
struct Run {
  std::string text;
  int fg = -1;
  int bg = -1;
};

// Splits line into runs at its colour codes. The colours of a run are those
// set by the codes before it (carried over from run to run); the first run
// has fg = bg = -1 unless the line starts with a code. Runs may be empty
// when codes follow each other.
std::vector<Run> SplitRuns(const std::string& line);

// Length of the colour code starting at line[pos] (which must be 0x03),
// including the 0x03; fg/bg receive the indices given, -1 when absent.
size_t CodeLength(const std::string& line, size_t pos, int* fg, int* bg);

// Width of one drawn character (never called for codes).
using CharWidth = std::function<int(unsigned char c)>;

// Wraps line to width pixels: characters are measured cumulatively from the
// start of the current piece (codes measure 0); when a piece gets wider than
// width, the last blank after the previous break, up to and including the
// character that overflowed, becomes a break, and measuring restarts after it.
// A piece without such a blank is not broken and runs past the edge. Answers
// the pieces in order (at least one; colour codes stay in the piece they belong
// to). width <= 0 leaves the line whole.
std::vector<std::string> Wrap(const std::string& line, int width,
                              const CharWidth& char_width);

// Drawn width of line (codes measure 0).
int TextWidth(const std::string& line, const CharWidth& char_width);

}  // namespace output_text

#endif  // INSTALLER_WIZARD_OUTPUT_TEXT_H_
