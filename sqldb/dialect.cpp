#include "sqldb/dialect.h"

#include <cstddef>
#include <vector>

#include "shell/text/text.h"
#include "sqldb/internal/sqltext.h"

namespace talvor::sqldb {
namespace {

enum class TokenKind { kBlank, kComment, kWord, kString, kName, kPunct };

struct Token {
  TokenKind kind;
  std::size_t begin;
  std::size_t end;
};

bool IsWordByte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '$' || u >= 0x80;
}

// Splits SQL text into tokens that cover it exactly. A quote that never closes runs to the
// end of the text.
std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  const std::size_t n = sql.size();
  auto quoted = [&](char close) {
    std::size_t j = i + 1;
    while (j < n) {
      if (sql[j] == close) {
        if (close != ']' && j + 1 < n && sql[j + 1] == close) {
          j += 2;
          continue;
        }
        return j + 1;
      }
      ++j;
    }
    return n;
  };
  while (i < n) {
    const char c = sql[i];
    Token t{TokenKind::kPunct, i, i + 1};
    if (static_cast<unsigned char>(c) <= 32) {
      t.kind = TokenKind::kBlank;
      while (t.end < n && static_cast<unsigned char>(sql[t.end]) <= 32) ++t.end;
    } else if (c == '-' && i + 1 < n && sql[i + 1] == '-') {
      t.kind = TokenKind::kComment;
      t.end = sql.find('\n', i);
      t.end = t.end == std::string_view::npos ? n : t.end + 1;
    } else if (c == '/' && i + 1 < n && sql[i + 1] == '*') {
      t.kind = TokenKind::kComment;
      t.end = sql.find("*/", i + 2);
      t.end = t.end == std::string_view::npos ? n : t.end + 2;
    } else if (c == '\'') {
      t.kind = TokenKind::kString;
      t.end = quoted('\'');
    } else if (c == '"' || c == '`') {
      t.kind = TokenKind::kName;
      t.end = quoted(c);
    } else if (c == '[') {
      t.kind = TokenKind::kName;
      t.end = quoted(']');
    } else if (IsWordByte(c)) {
      t.kind = TokenKind::kWord;
      while (t.end < n && IsWordByte(sql[t.end])) ++t.end;
    }
    tokens.push_back(t);
    i = t.end;
  }
  return tokens;
}

constexpr std::size_t npos = std::string_view::npos;

// A quoted literal holding NUL bytes, as an expression of the same value: the engine ends
// the statement's text at a NUL, so each one is spelled char(0) between the literal's parts.
std::string SpellNuls(std::string_view literal) {
  std::string out = "(";
  std::size_t from = 0;
  for (std::size_t at = literal.find('\0'); at != npos; at = literal.find('\0', from)) {
    out += std::string(literal.substr(from, at - from)) + "'||char(0)||'";
    from = at + 1;
  }
  out += std::string(literal.substr(from)) + ")";
  return out;
}

class Translator {
 public:
  explicit Translator(std::string_view sql) : sql_(sql), tokens_(Tokenize(sql)) {}

  std::string Run() {
    std::string out;
    std::size_t i = 0;
    while (i < tokens_.size()) {
      std::size_t next = 0;
      std::string replacement;
      if (MatchConvert(i, next, replacement) || MatchDropInDictionary(i, next, replacement)) {
        out += replacement;
        i = next;
      } else if (tokens_[i].kind == TokenKind::kString && Text(i).find('\0') != npos) {
        out += SpellNuls(Text(i));
        ++i;
      } else {
        out += Text(i);
        ++i;
      }
    }
    return out;
  }

 private:
  std::string_view Text(std::size_t i) const {
    return sql_.substr(tokens_[i].begin, tokens_[i].end - tokens_[i].begin);
  }
  bool IsWord(std::size_t i, std::string_view upper) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::kWord && UpperCase(Text(i)) == upper;
  }
  bool IsPunct(std::size_t i, char c) const {
    return i < tokens_.size() && tokens_[i].kind == TokenKind::kPunct &&
           sql_[tokens_[i].begin] == c;
  }
  // The index of the first token at or after i that is not a blank or a comment.
  std::size_t Skip(std::size_t i) const {
    while (i < tokens_.size() &&
           (tokens_[i].kind == TokenKind::kBlank || tokens_[i].kind == TokenKind::kComment)) {
      ++i;
    }
    return i;
  }

  // CONVERT ( x , SQL_DATE ): the argument x runs to the first comma outside parentheses.
  bool MatchConvert(std::size_t i, std::size_t& next, std::string& replacement) const {
    if (!IsWord(i, "CONVERT") || (i > 0 && IsPunct(i - 1, '.'))) return false;
    std::size_t open = Skip(i + 1);
    if (!IsPunct(open, '(')) return false;
    int depth = 0;
    std::size_t comma = open + 1;
    for (; comma < tokens_.size(); ++comma) {
      if (IsPunct(comma, '(')) ++depth;
      if (IsPunct(comma, ')')) {
        if (depth == 0) return false;
        --depth;
      }
      if (depth == 0 && IsPunct(comma, ',')) break;
    }
    if (comma >= tokens_.size()) return false;
    std::size_t type = Skip(comma + 1);
    if (!IsWord(type, "SQL_DATE")) return false;
    std::size_t close = Skip(type + 1);
    if (!IsPunct(close, ')')) return false;
    const std::size_t from = tokens_[open].end;
    const std::size_t to = tokens_[comma].begin;
    replacement = Trim(TranslateDialect(sql_.substr(from, to - from)));
    next = close + 1;
    return true;
  }

  // DROP TABLE name IN DICTIONARY: keeps everything up to the name, drops the rest.
  bool MatchDropInDictionary(std::size_t i, std::size_t& next, std::string& replacement) const {
    if (!IsWord(i, "DROP")) return false;
    std::size_t table = Skip(i + 1);
    if (!IsWord(table, "TABLE")) return false;
    std::size_t name = Skip(table + 1);
    if (name >= tokens_.size() ||
        (tokens_[name].kind != TokenKind::kName && tokens_[name].kind != TokenKind::kWord)) {
      return false;
    }
    std::size_t in = Skip(name + 1);
    if (!IsWord(in, "IN")) return false;
    std::size_t dictionary = Skip(in + 1);
    if (!IsWord(dictionary, "DICTIONARY")) return false;
    replacement = std::string(sql_.substr(tokens_[i].begin, tokens_[name].end - tokens_[i].begin));
    next = dictionary + 1;
    return true;
  }

  std::string_view sql_;
  std::vector<Token> tokens_;
};

}  // namespace

std::string TranslateDialect(std::string_view sql) {
  return Translator(sql).Run();
}

namespace internal {

std::string FirstKeyword(std::string_view sql) {
  for (const Token& t : Tokenize(sql)) {
    if (t.kind == TokenKind::kWord) return UpperCase(sql.substr(t.begin, t.end - t.begin));
    if (t.kind == TokenKind::kBlank || t.kind == TokenKind::kComment) continue;
    if (t.kind == TokenKind::kPunct && sql[t.begin] == '(') continue;
    return "";
  }
  return "";
}

}  // namespace internal
}  // namespace talvor::sqldb
