#include "shell/text/text.h"

#include <algorithm>
#include <cstddef>

namespace talvor {

namespace {

bool IsTrimmable(char c) { return static_cast<unsigned char>(c) <= 32; }

char ToUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char ToLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::size_t Width(int width) { return width > 0 ? static_cast<std::size_t>(width) : 0; }

// Wraps `text` in `quote`, doubling each `quote` inside it.
std::string QuoteWith(std::string_view text, char quote) {
  std::string out;
  out.reserve(text.size() + 2);
  out += quote;
  for (char c : text) {
    if (c == quote) out += quote;
    out += c;
  }
  out += quote;
  return out;
}

}  // namespace

std::string Trim(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsTrimmable(text[first])) ++first;
  while (last > first && IsTrimmable(text[last - 1])) --last;
  return std::string(text.substr(first, last - first));
}

std::string UpperCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToUpper(c);
  return out;
}

std::string LowerCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = ToLower(c);
  return out;
}

std::string RightJustify(std::string_view text, int width) {
  std::string s = Trim(text);
  const std::size_t w = Width(width);
  if (s.size() >= w) return s.substr(0, w);
  return std::string(w - s.size(), ' ') + s;
}

std::string LeftJustify(std::string_view text, int width) {
  return PadRight(Trim(text), width);
}

std::string PadRight(std::string_view text, int width) {
  const std::size_t w = Width(width);
  std::string s(text.substr(0, std::min(text.size(), w)));
  s.resize(w, ' ');
  return s;
}

std::string ZeroFill(std::string_view text, int width) {
  std::string s = Trim(text);
  const std::size_t w = Width(width);
  if (s.size() >= w) return s.substr(0, w);
  return std::string(w - s.size(), '0') + s;
}

std::string FixedField(std::string_view bytes, int width) {
  const std::size_t w = Width(width);
  const std::size_t limit = std::min<std::size_t>({w, 255, bytes.size()});
  std::size_t n = 0;
  while (n < limit && bytes[n] != '\0') ++n;
  std::string s(bytes.substr(0, n));
  s.resize(w, ' ');
  return s;
}

std::string TwoDigits(std::uint16_t number) {
  std::string s = std::to_string(number);
  if (number < 10) s.insert(s.begin(), '0');
  return s;
}

std::string SqlQuote(std::string_view text) { return QuoteWith(text, '\''); }

std::string CsvQuote(std::string_view text) { return QuoteWith(text, '"'); }

std::string WithBackslash(std::string_view path) {
  std::string s(path);
  if (!s.empty() && s.back() != '\\') s += '\\';
  return s;
}

std::string StripChar(std::string_view text, char c) {
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (ch != c) out += ch;
  }
  return out;
}

std::string StripPunct(std::string_view text) {
  // One pass gives the same result as removing commas, apostrophes and quotes in turn.
  std::string out;
  out.reserve(text.size());
  for (char ch : text) {
    if (ch != ',' && ch != '\'' && ch != '"') out += ch;
  }
  return out;
}

void RemoveAll(std::string_view what, std::string& text) {
  if (what.empty()) return;
  // Compacts in place: `kept` bytes survive in front of `pos`, nothing is allocated.
  std::size_t kept = 0;
  std::size_t pos = 0;
  while (pos < text.size()) {
    if (text.compare(pos, what.size(), what) == 0) {
      pos += what.size();
    } else {
      text[kept++] = text[pos++];
    }
  }
  text.resize(kept);
}

std::string PlainPhone(std::string_view text) {
  std::string s = Trim(text);
  RemoveAll(" ", s);
  RemoveAll("(", s);
  RemoveAll(")", s);
  RemoveAll("-", s);
  if (s.size() < 10) return std::string(10, ' ');
  return s;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

const std::array<std::string_view, 72> StateCodeTable = {
    "AB", "AK", "AL", "AR", "AS", "AZ", "BC", "CA", "CO", "CT", "DC", "DE", "FL", "FM", "GA",
    "GU", "HI", "IA", "ID", "IL", "IN", "KS", "KY", "LA", "MA", "MB", "MD", "ME", "MH", "MI",
    "MN", "MO", "MP", "MS", "MT", "NB", "NC", "ND", "NE", "NF", "NH", "NJ", "NM", "NS", "NT",
    "NV", "NY", "OH", "OK", "ON", "OR", "PA", "PE", "PR", "PW", "QC", "RI", "SC", "SD", "SK",
    "TN", "TX", "UK", "UT", "VA", "VI", "VT", "WA", "WI", "WV", "WY", "YT"};

bool IsStateCode(std::string_view text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && IsTrimmable(text[first])) ++first;
  while (last > first && IsTrimmable(text[last - 1])) --last;
  if (last - first != 2) return false;
  const char code[2] = {ToUpper(text[first]), ToUpper(text[first + 1])};
  const std::string_view upper(code, 2);
  return std::find(StateCodeTable.begin(), StateCodeTable.end(), upper) != StateCodeTable.end();
}

std::string SmartCase(std::string_view text) {
  std::string s = LowerCase(Trim(text));
  if (s.empty()) return s;
  s[0] = ToUpper(s[0]);

  // 1-based access keeps the positions the way the rules count them.
  const std::size_t len = s.size();
  auto at = [&s](std::size_t pos) -> char& { return s[pos - 1]; };
  auto endsAt = [&](std::size_t i) { return i == len || at(i + 1) == ' ' || at(i + 1) == ','; };
  auto wordIs = [&](std::size_t from, std::string_view word) {
    return std::string_view(s).substr(from - 1, word.size()) == word;
  };

  static constexpr std::string_view kTwoLetterUpper[] = {"Po", "Ii", "Iv", "Dd"};
  static constexpr std::string_view kThreeLetterUpper[] = {
      "Lld", "Cpa", "Llc", "Dds", "Dvm", "Iii", "Dba", "Usa", "Cna", "Aig", "Emc"};

  int k = 1;
  for (std::size_t i = 2; i <= len; ++i) {
    const char prev = at(i - 1);
    if (!IsLetter(prev) && prev != '\'') {
      at(i) = ToUpper(at(i));
      k = 0;
    } else if (k == 1 && endsAt(i)) {
      const std::string_view word = std::string_view(s).substr(i - 2, 2);
      const bool special = std::find(std::begin(kTwoLetterUpper), std::end(kTwoLetterUpper),
                                     word) != std::end(kTwoLetterUpper);
      if (IsStateCode(word) || special) at(i) = ToUpper(at(i));
    } else if (k == 2 && at(i - 2) == 'M' && at(i - 1) == 'c') {
      at(i) = ToUpper(at(i));
    } else if (k == 2 && at(i - 2) == 'O' && at(i - 1) == '\'') {
      at(i) = ToUpper(at(i));
    } else if (k == 2 && endsAt(i)) {
      if (wordIs(i - 2, "Phd")) {
        at(i) = 'D';
      } else {
        for (std::string_view w : kThreeLetterUpper) {
          if (wordIs(i - 2, w)) {
            at(i - 1) = ToUpper(at(i - 1));
            at(i) = ToUpper(at(i));
            break;
          }
        }
      }
    }
    ++k;
  }
  return s;
}

std::string NextCsvField(std::string& line) {
  if (line.empty()) return {};
  if (line.front() == '"') {
    const std::size_t close = line.find('"', 1);
    if (close == std::string::npos) {
      std::string field = Trim(std::string_view(line).substr(1));
      line.clear();
      return field;
    }
    std::string field = Trim(std::string_view(line).substr(1, close - 1));
    // The closing quote and the separator after it leave the line with the field.
    line.erase(0, std::min(line.size(), close + 2));
    return field;
  }
  const std::size_t comma = line.find(',');
  std::string field;
  if (comma == std::string::npos) {
    field.swap(line);
    line.clear();
  } else {
    field = line.substr(0, comma);
    line.erase(0, comma + 1);
  }
  RemoveAll("\"", field);
  return field;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const char x = (a[i] >= 'A' && a[i] <= 'Z') ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
    const char y = (b[i] >= 'A' && b[i] <= 'Z') ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
    if (x != y) return false;
  }
  return true;
}

std::string ShowableText(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xf];
    } else {
      out += c;
    }
  }
  return out;
}

std::string HidePasswords(std::string_view text) {
  std::string out;
  std::size_t i = 0;
  // A key starts the text or follows a ";" (blanks before it allowed).
  bool keyMayStart = true;
  while (i < text.size()) {
    if (keyMayStart) {
      std::size_t k = i;
      while (k < text.size() && text[k] == ' ') ++k;
      const std::size_t eq = text.find('=', k);
      const std::size_t semi = text.find(';', k);
      if (eq != std::string_view::npos && (semi == std::string_view::npos || eq < semi)) {
        const std::string key = Trim(text.substr(k, eq - k));
        if (EqualsIgnoringCase(key, "PWD") || EqualsIgnoringCase(key, "PASSWORD")) {
          out.append(text.substr(i, eq + 1 - i));
          out += "***";
          std::size_t end = eq + 1;
          while (end < text.size() && text[end] == ' ') ++end;
          if (end < text.size() && text[end] == '{') {
            const std::size_t close = text.find('}', end);
            end = close == std::string_view::npos ? text.size() : close + 1;
          }
          const std::size_t next = text.find(';', end);
          i = next == std::string_view::npos ? text.size() : next;
          keyMayStart = false;
          continue;
        }
      }
      keyMayStart = false;
    }
    out += text[i];
    if (text[i] == ';') keyMayStart = true;
    ++i;
  }
  return out;
}

std::string GroupedDigits(long long n) {
  // Through unsigned, so that the most negative number has its digits too.
  const unsigned long long magnitude =
      n < 0 ? 0ULL - static_cast<unsigned long long>(n) : static_cast<unsigned long long>(n);
  const std::string digits = std::to_string(magnitude);
  std::string out = n < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::size_t EditDistance(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  std::vector<std::size_t> row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    std::size_t diagonal = row[0];
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t above = row[j];
      const std::size_t replace = diagonal + (lower(a[i - 1]) == lower(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, replace});
      diagonal = above;
    }
  }
  return row[b.size()];
}

std::string ClosestWord(std::string_view word, const std::vector<std::string>& candidates) {
  const std::size_t limit = std::max<std::size_t>(1, word.size() / 3);
  std::string best;
  std::size_t bestDistance = limit + 1;
  for (const std::string& c : candidates) {
    const std::size_t d = EditDistance(word, c);
    if (d < bestDistance) {
      best = c;
      bestDistance = d;
    }
  }
  return best;
}

}  // namespace talvor
