// Command lexer: see command_lexer.h.

#include "access/command_lexer.h"

namespace mixtable {

namespace {

bool IsSeparator(const std::string& separators, char c) {
  return separators.find(c) != std::string::npos;
}

bool IsCd(const std::string& token) {
  return token.size() == 2 && (token[0] == 'c' || token[0] == 'C') &&
         (token[1] == 'd' || token[1] == 'D');
}

}  // namespace

TokenKind NextToken(const std::string& command, const std::string& separators,
                    int32_t* pos, std::string* token) {
  token->clear();
  size_t len = command.size();
  size_t i = *pos < 0 ? 0 : static_cast<size_t>(*pos);
  while (i < len && IsSeparator(separators, command[i])) ++i;
  if (i >= len) {
    *pos = static_cast<int32_t>(len);
    return TokenKind::kEnd;
  }
  TokenKind kind;
  if (command[i] == '"') {
    size_t close = command.find('"', i + 1);
    size_t end = close == std::string::npos ? len : close;
    token->assign(command, i + 1, end - i - 1);
    i = close == std::string::npos ? len : close + 1;
    kind = TokenKind::kWord;
  } else if (command[i] == ';') {
    *token = ";";
    ++i;
    kind = TokenKind::kSemicolon;
  } else {
    size_t begin = i;
    while (i < len && command[i] != ';' &&
           !IsSeparator(separators, command[i])) {
      ++i;
    }
    token->assign(command, begin, i - begin);
    kind = IsCd(*token) ? TokenKind::kKeywordCd : TokenKind::kWord;
  }
  *pos = static_cast<int32_t>(i);
  return kind;
}

std::vector<std::string> SplitWords(const std::string& text,
                                    const std::string& separators) {
  std::vector<std::string> words;
  int32_t pos = 0;
  std::string token;
  while (NextToken(text, separators, &pos, &token) != TokenKind::kEnd) {
    words.push_back(token);
  }
  return words;
}

std::string JoinWords(const std::vector<std::string>& words,
                      const std::string& separators) {
  std::string out;
  for (const std::string& w : words) {
    if (!out.empty()) out += ' ';
    bool quote = w.empty() || w.find(';') != std::string::npos ||
                 w.find_first_of(separators) != std::string::npos;
    if (quote) {
      out += '"' + w + '"';
    } else {
      out += w;
    }
  }
  return out;
}

}  // namespace mixtable
