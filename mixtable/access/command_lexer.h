// The lexer of the process manager's command syntax, shared by the process
// manager and the association table. Internal to the tables library.
//
// Separator characters are skipped. A token that starts with a double quote
// runs to the next double quote (the quotes are not part of it; an
// unterminated quote runs to the end). Any other token runs to the next
// separator or ";"; a ";" ends a token and is a token of its own.

#ifndef MIXTABLE_ACCESS_COMMAND_LEXER_H_
#define MIXTABLE_ACCESS_COMMAND_LEXER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace mixtable {

enum class TokenKind { kKeywordCd, kWord, kSemicolon, kEnd };

// Reads the token of command at *pos (advanced past it) into *token.
// "cd" (any case) is kKeywordCd and ";" kSemicolon unless quoted: a quoted
// token is always a word. At the end of the command the kind is kEnd and
// *token is empty.
TokenKind NextToken(const std::string& command, const std::string& separators,
                    int32_t* pos, std::string* token);

// Splits text into words by the rules above; every token (";" and "cd"
// included) becomes a word.
std::vector<std::string> SplitWords(const std::string& text,
                                    const std::string& separators = " \t");

// Joins words with one blank, quoting a word that holds a separator or ";"
// (or is empty) so that SplitWords gives the same words back.
std::string JoinWords(const std::vector<std::string>& words,
                      const std::string& separators = " \t");

}  // namespace mixtable

#endif  // MIXTABLE_ACCESS_COMMAND_LEXER_H_
