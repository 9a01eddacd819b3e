#include "css.h"

#include "values.h"

namespace kw::svg {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }
bool IsIdentChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

std::string StripComments(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size();) {
    if (s.substr(i, 2) == "/*") {
      std::size_t end = s.find("*/", i + 2);
      if (end == std::string_view::npos) break;
      i = end + 2;
      out += ' ';
    } else {
      out += s[i++];
    }
  }
  return out;
}

bool ParseCompound(std::string_view s, std::size_t& i, SimpleSelector* out) {
  std::size_t start = i;
  if (i < s.size() && s[i] == '*') {
    out->type.assign(1, '*');
    ++i;
  } else {
    while (i < s.size() && IsIdentChar(s[i])) ++i;
    out->type = std::string(s.substr(start, i - start));
  }
  while (i < s.size() && (s[i] == '.' || s[i] == '#')) {
    char kind = s[i++];
    std::size_t n = i;
    while (i < s.size() && IsIdentChar(s[i])) ++i;
    if (i == n) return false;
    std::string name(s.substr(n, i - n));
    if (kind == '.') out->classes.push_back(std::move(name));
    else out->id = std::move(name);
  }
  return i > start;
}

bool ParseSelector(std::string_view s, Selector* out) {
  s = Trim(s);
  std::size_t i = 0;
  char combinator = ' ';
  while (i < s.size()) {
    SimpleSelector part;
    part.combinator = combinator;
    if (!ParseCompound(s, i, &part)) return false;
    out->parts.push_back(std::move(part));
    bool space = false;
    while (i < s.size() && IsSpace(s[i])) {
      ++i;
      space = true;
    }
    if (i < s.size() && s[i] == '>') {
      combinator = '>';
      ++i;
      while (i < s.size() && IsSpace(s[i])) ++i;
    } else if (space) {
      combinator = ' ';
    } else if (i < s.size()) {
      return false;  // attribute selectors, pseudo-classes and the like
    }
  }
  if (out->parts.empty()) return false;
  for (const SimpleSelector& p : out->parts)
    out->specificity += (p.id.empty() ? 0 : 10000) + 100 * static_cast<int>(p.classes.size()) +
                        ((p.type.empty() || p.type == "*") ? 0 : 1);
  return true;
}

bool MatchesCompound(const SimpleSelector& p, const SelectorSubject& e) {
  if (!p.type.empty() && p.type != "*" && p.type != e.TypeName()) return false;
  if (!p.id.empty() && p.id != e.IdValue()) return false;
  for (const std::string& c : p.classes)
    if (!e.HasClass(c)) return false;
  return true;
}

// Right to left, taking the nearest matching ancestor for each descendant
// step: linear in the depth, whatever the input (no backtracking).
bool MatchFrom(const Selector& s, int index, const SelectorSubject& e) {
  if (!MatchesCompound(s.parts[index], e)) return false;
  const SelectorSubject* at = &e;
  for (int i = index; i > 0; --i) {
    const SimpleSelector& p = s.parts[i];
    const SelectorSubject* a = at->ParentSubject();
    if (p.combinator == '>') {
      if (!a || !MatchesCompound(s.parts[i - 1], *a)) return false;
    } else {
      while (a && !MatchesCompound(s.parts[i - 1], *a)) a = a->ParentSubject();
      if (!a) return false;
    }
    at = a;
  }
  return true;
}

}  // namespace

std::vector<Declaration> ParseDeclarations(std::string_view text) {
  std::vector<Declaration> out;
  std::string clean = StripComments(text);
  std::string_view s = clean;
  while (!s.empty()) {
    std::size_t semi = s.find(';');
    std::string_view item = s.substr(0, semi);
    s = semi == std::string_view::npos ? std::string_view() : s.substr(semi + 1);
    std::size_t colon = item.find(':');
    if (colon == std::string_view::npos) continue;
    std::string_view name = Trim(item.substr(0, colon));
    std::string_view value = Trim(item.substr(colon + 1));
    std::size_t bang = value.find('!');
    if (bang != std::string_view::npos) value = Trim(value.substr(0, bang));
    if (name.empty() || value.empty()) continue;
    out.push_back({std::string(name), std::string(value)});
  }
  return out;
}

void ParseStyleSheet(std::string_view text, std::vector<Rule>* rules) {
  std::string clean = StripComments(text);
  std::string_view s = clean;
  std::size_t i = 0;
  int order = static_cast<int>(rules->size());
  while (i < s.size()) {
    std::size_t open = s.find('{', i);
    if (open == std::string_view::npos) break;
    std::string_view prelude = Trim(s.substr(i, open - i));
    // Find the matching close brace (at-rules may nest blocks).
    int depth = 0;
    std::size_t close = open;
    for (; close < s.size(); ++close) {
      if (s[close] == '{') ++depth;
      else if (s[close] == '}' && --depth == 0) break;
    }
    std::string_view body = s.substr(open + 1, (close < s.size() ? close : s.size()) - open - 1);
    i = close < s.size() ? close + 1 : s.size();
    if (!prelude.empty() && prelude[0] == '@') {
      // Statement at-rules such as @import end at ';' before any block.
      continue;
    }
    // Drop a leading statement at-rule that shares the prelude ("@import x; rect").
    std::size_t semi = prelude.rfind(';');
    if (semi != std::string_view::npos) prelude = Trim(prelude.substr(semi + 1));
    std::vector<Declaration> decls = ParseDeclarations(body);
    std::size_t start = 0;
    while (start <= prelude.size()) {
      std::size_t comma = prelude.find(',', start);
      std::string_view one =
          prelude.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start);
      Rule rule;
      if (ParseSelector(one, &rule.selector)) {
        rule.declarations = decls;
        rule.order = order++;
        rules->push_back(std::move(rule));
      }
      if (comma == std::string_view::npos) break;
      start = comma + 1;
    }
  }
}

bool Matches(const Selector& s, const SelectorSubject& e) {
  return !s.parts.empty() && MatchFrom(s, static_cast<int>(s.parts.size()) - 1, e);
}

}  // namespace kw::svg
