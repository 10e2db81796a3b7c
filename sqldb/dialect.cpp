#include "sqldb/dialect.h"

#include <cstddef>
#include <map>
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

namespace {

std::string Unquote(std::string_view name) {
  if (name.size() >= 2 && (name.front() == '"' || name.front() == '`' || name.front() == '[')) {
    const char close = name.front() == '[' ? ']' : name.front();
    std::string out;
    for (std::size_t i = 1; i + 1 < name.size(); ++i) {
      out += name[i];
      if (close != ']' && name[i] == close && i + 2 < name.size() && name[i + 1] == close) ++i;
    }
    return out;
  }
  return std::string(name);
}

}  // namespace

std::string SpellNames(std::string_view sql,
                       const std::function<std::optional<std::string>(std::string_view)>& spelled,
                       const std::function<std::string(std::string_view)>& quote) {
  const std::vector<Token> tokens = Tokenize(sql);
  auto textOf = [&](std::size_t i) { return sql.substr(tokens[i].begin, tokens[i].end - tokens[i].begin); };
  auto skip = [&](std::size_t i) {
    while (i < tokens.size() &&
           (tokens[i].kind == TokenKind::kBlank || tokens[i].kind == TokenKind::kComment)) {
      ++i;
    }
    return i;
  };
  auto isWord = [&](std::size_t i, std::string_view upper) {
    return i < tokens.size() && tokens[i].kind == TokenKind::kWord && UpperCase(textOf(i)) == upper;
  };
  // Aliases ("x AS alias", but not CAST's "AS type"). SQLite lets a condition name the
  // alias of a column of its own select list, where a server wants the column; and an alias
  // keeps its letters on a server that folds bare names ("Ttl", not "ttl"), so it is quoted
  // as written, and so is every word that names it.
  std::map<std::string, std::string> columnOf;  // alias (lower case) -> the column it names
  std::map<std::string, std::string> aliasAs;   // alias (lower case) -> as written
  std::vector<char> isAlias(tokens.size(), 0);
  {
    std::vector<char> inCast;  // per open parenthesis: it follows CAST
    std::size_t previous = tokens.size();  // the last token that is not a blank or comment
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      const Token& t = tokens[i];
      if (t.kind == TokenKind::kBlank || t.kind == TokenKind::kComment) continue;
      if (t.kind == TokenKind::kPunct && sql[t.begin] == '(') {
        inCast.push_back(previous < tokens.size() && isWord(previous, "CAST"));
      } else if (t.kind == TokenKind::kPunct && sql[t.begin] == ')') {
        if (!inCast.empty()) inCast.pop_back();
      } else if (isWord(i, "AS") && (inCast.empty() || !inCast.back())) {
        const std::size_t alias = skip(i + 1);
        if (alias < tokens.size() && tokens[alias].kind == TokenKind::kWord &&
            !isWord(alias, "SELECT") && !isWord(alias, "WITH") && !isWord(alias, "VALUES")) {
          isAlias[alias] = 1;
          aliasAs.try_emplace(LowerCase(textOf(alias)), std::string(textOf(alias)));
          if (previous < tokens.size() &&
              (tokens[previous].kind == TokenKind::kName || tokens[previous].kind == TokenKind::kWord)) {
            const std::string name = tokens[previous].kind == TokenKind::kName
                                         ? Unquote(textOf(previous))
                                         : std::string(textOf(previous));
            if (spelled(name)) columnOf.try_emplace(LowerCase(textOf(alias)), name);
          }
        }
      }
      previous = i;
    }
  }
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    const std::string_view text = sql.substr(t.begin, t.end - t.begin);
    if (isAlias[i]) {
      out += quote(text);
      continue;
    }
    if (t.kind == TokenKind::kWord && !spelled(text)) {
      const std::string key = LowerCase(text);
      if (auto it = columnOf.find(key); it != columnOf.end()) {
        out += quote(*spelled(it->second));
        continue;
      }
      if (auto it = aliasAs.find(key); it != aliasAs.end()) {
        out += quote(it->second);
        continue;
      }
    }
    if (t.kind == TokenKind::kName || t.kind == TokenKind::kWord) {
      std::size_t next = i + 1;
      while (next < tokens.size() && (tokens[next].kind == TokenKind::kBlank ||
                                      tokens[next].kind == TokenKind::kComment)) {
        ++next;
      }
      // "INSERT INTO Customer (AgyCode, ...)": the word after INTO names a table, whatever
      // follows it.
      std::size_t before = i;
      while (before > 0 && (tokens[before - 1].kind == TokenKind::kBlank ||
                            tokens[before - 1].kind == TokenKind::kComment)) {
        --before;
      }
      const bool intoTable = before > 0 && isWord(before - 1, "INTO");
      const bool call = t.kind == TokenKind::kWord && !intoTable && next < tokens.size() &&
                        tokens[next].kind == TokenKind::kPunct && sql[tokens[next].begin] == '(';
      if (!call) {
        if (auto name = spelled(t.kind == TokenKind::kName ? Unquote(text) : text)) {
          out += quote(*name);
          continue;
        }
      }
    }
    out += text;
  }
  return out;
}

std::string FlagLiterals(std::string_view sql,
                         const std::function<bool(std::string_view)>& isFlag) {
  const std::vector<Token> tokens = Tokenize(sql);
  auto textOf = [&](std::size_t i) {
    return sql.substr(tokens[i].begin, tokens[i].end - tokens[i].begin);
  };
  // The significant token before `i`, or npos.
  auto previous = [&](std::size_t i) {
    while (i > 0) {
      --i;
      if (tokens[i].kind != TokenKind::kBlank && tokens[i].kind != TokenKind::kComment) return i;
    }
    return npos;
  };
  std::string out;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const std::string_view text = textOf(i);
    const bool decimal = i + 1 < tokens.size() && tokens[i + 1].kind == TokenKind::kPunct &&
                         sql[tokens[i + 1].begin] == '.';
    if (tokens[i].kind == TokenKind::kWord && (text == "0" || text == "1") && !decimal) {
      // The comparison or assignment before the number ("=", "<>", "!=", "=="), and a
      // column's name before that.
      std::string op;
      std::size_t at = previous(i);
      while (at != npos && tokens[at].kind == TokenKind::kPunct &&
             std::string_view("=<>!").find(sql[tokens[at].begin]) != npos) {
        op.insert(op.begin(), sql[tokens[at].begin]);
        at = previous(at);
      }
      const bool equality = op == "=" || op == "==" || op == "<>" || op == "!=";
      if (equality && at != npos &&
          (tokens[at].kind == TokenKind::kName || tokens[at].kind == TokenKind::kWord) &&
          isFlag(tokens[at].kind == TokenKind::kName ? Unquote(textOf(at))
                                                     : std::string(textOf(at)))) {
        out += text == "1" ? "TRUE" : "FALSE";
        continue;
      }
    }
    out += text;
  }
  return out;
}

std::string OrderTiesByGroups(std::string_view sql,
                              const std::function<bool(const GroupShape&)>& groupsByIndex) {
  const std::vector<Token> tokens = Tokenize(sql);
  auto textOf = [&](std::size_t i) {
    return sql.substr(tokens[i].begin, tokens[i].end - tokens[i].begin);
  };
  auto upper = [&](std::size_t i) {
    return tokens[i].kind == TokenKind::kWord ? UpperCase(textOf(i)) : std::string();
  };
  // The top-level tokens of the clauses, by where each starts and ends.
  std::size_t groupFrom = npos, groupTo = npos, orderFrom = npos, orderTo = npos;
  int depth = 0;
  std::size_t lastWord = npos;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == TokenKind::kPunct && sql[t.begin] == '(') ++depth;
    if (t.kind == TokenKind::kPunct && sql[t.begin] == ')') --depth;
    if (depth != 0 || t.kind != TokenKind::kWord) continue;
    const std::string word = upper(i);
    if (word == "BY" && lastWord != npos && upper(lastWord) == "GROUP") {
      groupFrom = i + 1;
    } else if (word == "BY" && lastWord != npos && upper(lastWord) == "ORDER") {
      if (groupFrom != npos && groupTo == npos) groupTo = lastWord;
      orderFrom = i + 1;
    } else if (word == "HAVING" && groupFrom != npos && groupTo == npos) {
      groupTo = i;
    } else if ((word == "LIMIT" || word == "OFFSET" || word == "FETCH") && orderFrom != npos &&
               orderTo == npos) {
      orderTo = i;
    } else if (word == "UNION" || word == "INTERSECT" || word == "EXCEPT") {
      return std::string(sql);
    }
    lastWord = i;
  }
  if (groupFrom == npos || orderFrom == npos || groupTo == npos || orderFrom < groupFrom) {
    return std::string(sql);
  }
  if (orderTo == npos) {
    // Up to a closing ";" and the blanks around it, which stay after the added terms.
    orderTo = tokens.size();
    while (orderTo > orderFrom &&
           (tokens[orderTo - 1].kind == TokenKind::kBlank ||
            (tokens[orderTo - 1].kind == TokenKind::kPunct && sql[tokens[orderTo - 1].begin] == ';'))) {
      --orderTo;
    }
  }
  auto span = [&](std::size_t from, std::size_t to) {
    std::string text;
    for (std::size_t i = from; i < to; ++i) text += textOf(i);
    return Trim(text);
  };
  std::string order = span(orderFrom, orderTo);
  while (!order.empty() && order.back() == ';') order = Trim(order.substr(0, order.size() - 1));
  const std::string group = span(groupFrom, groupTo);
  // SQLite gives tied rows in the order of their groups when it groups by an index, and
  // in the direction of the last ORDER BY term when it groups by sorting.
  GroupShape shape;
  for (std::size_t i = 0; i + 1 < groupFrom; ++i) {
    if (upper(i) == "FROM") {
      std::size_t at = i + 1;
      while (at < tokens.size() && tokens[at].kind == TokenKind::kBlank) ++at;
      if (at < tokens.size() && (tokens[at].kind == TokenKind::kName || tokens[at].kind == TokenKind::kWord)) {
        shape.table = Unquote(textOf(at));
      }
      break;
    }
  }
  {
    // "name = literal" conditions at the top level of the WHERE.
    std::vector<std::size_t> solid;
    int level = 0;
    bool inWhere = false;
    for (std::size_t i = 0; i < groupFrom; ++i) {
      const Token& t = tokens[i];
      if (t.kind == TokenKind::kBlank || t.kind == TokenKind::kComment) continue;
      if (t.kind == TokenKind::kPunct && sql[t.begin] == '(') ++level;
      if (t.kind == TokenKind::kPunct && sql[t.begin] == ')') --level;
      if (level == 0 && upper(i) == "WHERE") inWhere = true;
      if (inWhere && level == 0) solid.push_back(i);
    }
    for (std::size_t k = 0; k + 2 < solid.size(); ++k) {
      const Token& name = tokens[solid[k]];
      const Token& eq = tokens[solid[k + 1]];
      const Token& value = tokens[solid[k + 2]];
      if ((name.kind == TokenKind::kName || name.kind == TokenKind::kWord) &&
          eq.kind == TokenKind::kPunct && sql[eq.begin] == '=' &&
          (value.kind == TokenKind::kString || value.kind == TokenKind::kWord)) {
        shape.equalities.push_back(Unquote(textOf(solid[k])));
      }
    }
  }
  std::string lastDirection = " ASC";
  for (std::size_t i = orderTo; i-- > orderFrom;) {
    if (tokens[i].kind == TokenKind::kBlank || tokens[i].kind == TokenKind::kComment) continue;
    if (tokens[i].kind == TokenKind::kPunct && sql[tokens[i].begin] == ';') continue;
    if (upper(i) == "DESC") lastDirection = " DESC";
    break;
  }
  std::vector<std::string> terms;
  std::string term;
  int nested = 0;
  for (std::size_t i = groupFrom; i < groupTo; ++i) {
    const Token& t = tokens[i];
    if (t.kind == TokenKind::kPunct && sql[t.begin] == '(') ++nested;
    if (t.kind == TokenKind::kPunct && sql[t.begin] == ')') --nested;
    if (nested == 0 && t.kind == TokenKind::kPunct && sql[t.begin] == ',') {
      terms.push_back(Trim(term));
      term.clear();
      continue;
    }
    term += textOf(i);
  }
  if (!Trim(term).empty()) terms.push_back(Trim(term));
  for (const std::string& t : terms) shape.groups.push_back(Unquote(t));
  const std::string direction = groupsByIndex(shape) ? " ASC" : lastDirection;
  std::string ties;
  for (const std::string& t : terms) ties += ", " + t + direction;
  if (group.empty()) return std::string(sql);
  std::string out(sql.substr(0, tokens[orderFrom].begin));
  out += " " + order + ties;
  if (orderTo < tokens.size()) {
    const std::string_view rest = sql.substr(tokens[orderTo].begin);
    out += (rest.front() == ';' || static_cast<unsigned char>(rest.front()) <= 32 ? "" : " ") +
           std::string(rest);
  }
  return out;
}

std::string OrderByRowidWhenUnordered(std::string_view sql, std::string_view rowid) {
  const std::vector<Token> tokens = Tokenize(sql);
  std::vector<std::size_t> top;  // the top-level tokens that are neither blanks nor comments
  int depth = 0;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == TokenKind::kBlank || t.kind == TokenKind::kComment) continue;
    const bool open = t.kind == TokenKind::kPunct && sql[t.begin] == '(';
    const bool close = t.kind == TokenKind::kPunct && sql[t.begin] == ')';
    if (depth == 0) top.push_back(i);
    if (open) ++depth;
    if (close) --depth;
  }
  auto upper = [&](std::size_t k) {
    const Token& t = tokens[top[k]];
    return t.kind == TokenKind::kWord ? UpperCase(sql.substr(t.begin, t.end - t.begin))
                                      : std::string();
  };
  auto punct = [&](std::size_t k, char c) {
    const Token& t = tokens[top[k]];
    return t.kind == TokenKind::kPunct && sql[t.begin] == c;
  };
  if (top.empty() || upper(0) != "SELECT") return std::string(sql);
  std::size_t from = 0;
  for (std::size_t k = 1; k < top.size(); ++k) {
    const std::string word = upper(k);
    if (word == "ORDER" || word == "GROUP" || word == "UNION" || word == "INTERSECT" ||
        word == "EXCEPT" || word == "LIMIT" || word == "FETCH" || word == "DISTINCT" ||
        word == "JOIN" || word == "HAVING") {
      return std::string(sql);
    }
    if ((word == "COUNT" || word == "SUM" || word == "MIN" || word == "MAX" || word == "AVG" ||
         word == "TOTAL" || word == "GROUP_CONCAT") &&
        k + 1 < top.size() && punct(k + 1, '(')) {
      return std::string(sql);
    }
    if (word == "FROM" && from == 0) from = k;
    if (from != 0 && punct(k, ',')) return std::string(sql);
  }
  if (from == 0 || from + 1 >= top.size()) return std::string(sql);
  const TokenKind table = tokens[top[from + 1]].kind;
  if (table != TokenKind::kName && table != TokenKind::kWord) return std::string(sql);
  // Past the table (and an alias): the end, or a condition.
  std::size_t k = from + 2;
  if (k < top.size() && upper(k) == "AS") k += 2;
  else if (k < top.size() && tokens[top[k]].kind == TokenKind::kWord && upper(k) != "WHERE") ++k;
  if (k < top.size() && upper(k) != "WHERE" && !punct(k, ';')) return std::string(sql);
  std::size_t end = sql.size();
  while (end > 0 && (sql[end - 1] == ';' || static_cast<unsigned char>(sql[end - 1]) <= 32)) --end;
  return std::string(sql.substr(0, end)) + " ORDER BY " + std::string(rowid) +
         std::string(sql.substr(end));
}

bool HoldsMoreThanOneStatement(std::string_view sql) {
  bool ended = false;
  for (const Token& t : Tokenize(sql)) {
    if (t.kind == TokenKind::kBlank || t.kind == TokenKind::kComment) continue;
    if (t.kind == TokenKind::kPunct && sql[t.begin] == ';') {
      ended = true;
      continue;
    }
    if (ended) return true;
  }
  return false;
}

std::optional<WriteShape> ShapeOfWrite(std::string_view sql) {
  const std::vector<Token> tokens = Tokenize(sql);
  std::vector<std::size_t> at;  // the tokens that are neither blanks nor comments
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != TokenKind::kBlank && tokens[i].kind != TokenKind::kComment) at.push_back(i);
  }
  auto text = [&](std::size_t k) {
    const Token& t = tokens[at[k]];
    return sql.substr(t.begin, t.end - t.begin);
  };
  auto word = [&](std::size_t k, std::string_view upper) {
    return k < at.size() && tokens[at[k]].kind == TokenKind::kWord && UpperCase(text(k)) == upper;
  };
  WriteShape shape;
  std::size_t name = 0;
  if (word(0, "UPDATE")) {
    shape.keyword = "UPDATE";
    name = 1;
  } else if (word(0, "DELETE") && word(1, "FROM")) {
    shape.keyword = "DELETE";
    name = 2;
  } else if (word(0, "INSERT") && word(1, "INTO")) {
    shape.keyword = "INSERT";
    name = 2;
  } else if (word(0, "DROP") && word(1, "TABLE")) {
    shape.keyword = "DROP";
    name = word(2, "IF") && word(3, "EXISTS") ? 4 : 2;
  } else {
    return std::nullopt;
  }
  if (name >= at.size() ||
      (tokens[at[name]].kind != TokenKind::kName && tokens[at[name]].kind != TokenKind::kWord)) {
    return std::nullopt;
  }
  shape.table = Unquote(text(name));
  auto trimmed = [](std::string_view rest) {
    while (!rest.empty() && (rest.back() == ';' || static_cast<unsigned char>(rest.back()) <= 32)) {
      rest.remove_suffix(1);
    }
    return std::string(rest);
  };
  shape.text = trimmed(sql);
  shape.plain = true;
  int depth = 0;
  std::size_t whereAt = 0;
  for (std::size_t k = name + 1; k < at.size(); ++k) {
    const Token& t = tokens[at[k]];
    if (t.kind == TokenKind::kPunct && sql[t.begin] == '(') ++depth;
    if (t.kind == TokenKind::kPunct && sql[t.begin] == ')') --depth;
    if (depth != 0) continue;
    if (word(k, "RETURNING") || (shape.keyword != "INSERT" && (word(k, "FROM") ||
                                                              word(k, "ORDER") || word(k, "LIMIT")))) {
      shape.plain = false;
    }
    if (whereAt == 0 && word(k, "WHERE")) {
      whereAt = k;
      shape.where = trimmed(sql.substr(t.end));
    }
  }
  if (shape.keyword == "UPDATE" && word(name + 1, "SET")) {
    const std::size_t from = tokens[at[name + 1]].end;
    shape.set = whereAt ? std::string(sql.substr(from, tokens[at[whereAt]].begin - from))
                        : trimmed(sql.substr(from));
  }
  return shape;
}

}  // namespace internal
}  // namespace talvor::sqldb
