// The part of CSS that SVG icons use: rules with type, class, id and
// universal selectors (compound, descendant and child combinators) and
// declaration lists.
#pragma once
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kw::svg {

struct Declaration {
  std::string name;
  std::string value;
};
std::vector<Declaration> ParseDeclarations(std::string_view text);

struct SimpleSelector {
  std::string type;  // empty or "*" = any
  std::string id;
  std::vector<std::string> classes;
  char combinator = ' ';  // how it relates to the previous compound: ' ' or '>'
};

struct Selector {
  std::vector<SimpleSelector> parts;  // left to right
  int specificity = 0;
};

struct Rule {
  Selector selector;
  std::vector<Declaration> declarations;
  int order = 0;
};

// Rules of a style sheet, one per selector of a list; unsupported selectors
// and at-rules are dropped.
void ParseStyleSheet(std::string_view text, std::vector<Rule>* rules);

// What selector matching needs to know about an element.
struct SelectorSubject {
  virtual ~SelectorSubject() = default;
  virtual const SelectorSubject* ParentSubject() const = 0;
  virtual std::string_view TypeName() const = 0;
  virtual std::string_view IdValue() const = 0;
  virtual bool HasClass(std::string_view c) const = 0;
};
bool Matches(const Selector& s, const SelectorSubject& e);

}  // namespace kw::svg
