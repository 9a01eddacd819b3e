// Just enough XML for SVG files: elements, attributes, character data and
// the predefined and numeric entities. DTDs, comments and processing
// instructions are skipped. Iterative, so deep nesting cannot exhaust the stack.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kw::svg {

struct XmlElement {
  std::string name;  // as written, prefix included
  std::vector<std::pair<std::string, std::string>> attributes;
  std::vector<std::unique_ptr<XmlElement>> children;
  std::string text;  // character data directly inside, concatenated
  const std::string* Attribute(std::string_view key) const;
};

// Null when the text is not well-formed (unbalanced tags, bad attribute syntax,
// no root element). Nesting beyond maxDepth also fails.
std::unique_ptr<XmlElement> ParseXml(std::string_view text, int maxDepth = 1024);

}  // namespace kw::svg
