#include "xml.h"

#include <cstdint>

namespace kw::svg {

const std::string* XmlElement::Attribute(std::string_view key) const {
  for (const auto& [k, v] : attributes)
    if (k == key) return &v;
  return nullptr;
}

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsNameChar(char c) {
  return !IsSpace(c) && c != '=' && c != '>' && c != '/' && c != '<' && c != '"' && c != '\'' &&
         c != '\0';
}

void AppendUtf8(std::string& out, std::uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Replaces entity references; an unknown or malformed one stays as written.
void AppendDecoded(std::string& out, std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    if (s[i] != '&') {
      std::size_t amp = s.find('&', i);
      if (amp == std::string_view::npos) amp = s.size();
      out.append(s.substr(i, amp - i));
      i = amp;
      continue;
    }
    std::size_t semi = s.find(';', i);
    if (semi == std::string_view::npos || semi - i > 12) {
      out += s[i++];
      continue;
    }
    std::string_view name = s.substr(i + 1, semi - i - 1);
    bool done = true;
    if (name == "lt") out += '<';
    else if (name == "gt") out += '>';
    else if (name == "amp") out += '&';
    else if (name == "quot") out += '"';
    else if (name == "apos") out += '\'';
    else if (name.size() > 1 && name[0] == '#') {
      bool hex = name[1] == 'x' || name[1] == 'X';
      std::string_view digits = name.substr(hex ? 2 : 1);
      std::uint32_t cp = 0;
      bool ok = !digits.empty();
      for (char c : digits) {
        int d = (c >= '0' && c <= '9') ? c - '0'
                : hex && (c >= 'a' && c <= 'f') ? c - 'a' + 10
                : hex && (c >= 'A' && c <= 'F') ? c - 'A' + 10
                                                : -1;
        if (d < 0) { ok = false; break; }
        cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(d);
        if (cp > 0x10FFFF) cp = 0x110000;  // stays invalid, never overflows
      }
      if (ok) AppendUtf8(out, cp);
      else done = false;
    } else {
      done = false;
    }
    if (done) {
      i = semi + 1;
    } else {
      out += s[i++];
    }
  }
}

class Parser {
 public:
  Parser(std::string_view t, int maxDepth) : t_(t), maxDepth_(maxDepth) {}

  std::unique_ptr<XmlElement> Run() {
    std::unique_ptr<XmlElement> root;
    std::vector<XmlElement*> stack;
    while (p_ < t_.size()) {
      if (t_[p_] != '<') {
        std::size_t end = t_.find('<', p_);
        if (end == std::string_view::npos) end = t_.size();
        if (!stack.empty()) AppendDecoded(stack.back()->text, t_.substr(p_, end - p_));
        p_ = end;
        continue;
      }
      if (Starts("<!--")) {
        if (!SkipPast("-->")) return nullptr;
      } else if (Starts("<![CDATA[")) {
        std::size_t end = t_.find("]]>", p_ + 9);
        if (end == std::string_view::npos) return nullptr;
        if (!stack.empty()) stack.back()->text.append(t_.substr(p_ + 9, end - p_ - 9));
        p_ = end + 3;
      } else if (Starts("<?")) {
        if (!SkipPast("?>")) return nullptr;
      } else if (Starts("<!")) {
        if (!SkipDeclaration()) return nullptr;
      } else if (Starts("</")) {
        p_ += 2;
        std::string_view name = Name();
        SkipSpace();
        if (p_ >= t_.size() || t_[p_] != '>' || stack.empty() || stack.back()->name != name)
          return nullptr;
        ++p_;
        stack.pop_back();
        if (stack.empty()) return FinishAfterRoot(std::move(root));
      } else {
        ++p_;
        auto element = std::make_unique<XmlElement>();
        element->name = std::string(Name());
        if (element->name.empty()) return nullptr;
        bool selfClosing = false;
        for (;;) {
          bool spaced = SkipSpace();
          if (p_ >= t_.size()) return nullptr;
          if (t_[p_] == '>') { ++p_; break; }
          if (t_[p_] == '/') {
            if (p_ + 1 >= t_.size() || t_[p_ + 1] != '>') return nullptr;
            p_ += 2;
            selfClosing = true;
            break;
          }
          if (!spaced) return nullptr;
          std::string_view key = Name();
          if (key.empty()) return nullptr;
          SkipSpace();
          if (p_ >= t_.size() || t_[p_] != '=') return nullptr;
          ++p_;
          SkipSpace();
          if (p_ >= t_.size() || (t_[p_] != '"' && t_[p_] != '\'')) return nullptr;
          char q = t_[p_++];
          std::size_t end = t_.find(q, p_);
          if (end == std::string_view::npos) return nullptr;
          std::string value;
          AppendDecoded(value, t_.substr(p_, end - p_));
          p_ = end + 1;
          element->attributes.emplace_back(std::string(key), std::move(value));
        }
        XmlElement* raw = element.get();
        if (stack.empty()) {
          if (root) return nullptr;  // a second root element
          root = std::move(element);
        } else {
          stack.back()->children.push_back(std::move(element));
        }
        if (!selfClosing) {
          if (static_cast<int>(stack.size()) >= maxDepth_) return nullptr;
          stack.push_back(raw);
        } else if (stack.empty()) {
          return FinishAfterRoot(std::move(root));
        }
      }
    }
    return nullptr;  // root never closed (or never opened)
  }

 private:
  bool Starts(std::string_view s) const { return t_.substr(p_, s.size()) == s; }
  bool SkipPast(std::string_view s) {
    std::size_t end = t_.find(s, p_ + 1);
    if (end == std::string_view::npos) return false;
    p_ = end + s.size();
    return true;
  }
  bool SkipSpace() {
    std::size_t start = p_;
    while (p_ < t_.size() && IsSpace(t_[p_])) ++p_;
    return p_ != start;
  }
  std::string_view Name() {
    std::size_t start = p_;
    while (p_ < t_.size() && IsNameChar(t_[p_])) ++p_;
    return t_.substr(start, p_ - start);
  }
  // <!DOCTYPE ...> with an optional [internal subset]; quoted text may hold '>'.
  bool SkipDeclaration() {
    int brackets = 0;
    char quote = 0;
    for (p_ += 2; p_ < t_.size(); ++p_) {
      char c = t_[p_];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++brackets;
      } else if (c == ']') {
        --brackets;
      } else if (c == '>' && brackets <= 0) {
        ++p_;
        return true;
      }
    }
    return false;
  }
  // After the root only comments, processing instructions and blanks may follow.
  std::unique_ptr<XmlElement> FinishAfterRoot(std::unique_ptr<XmlElement> root) {
    while (p_ < t_.size()) {
      if (SkipSpace()) continue;
      if (Starts("<!--")) {
        if (!SkipPast("-->")) return nullptr;
      } else if (Starts("<?")) {
        if (!SkipPast("?>")) return nullptr;
      } else if (t_[p_] == '\0') {
        ++p_;  // a terminating NUL some writers append
      } else {
        return nullptr;
      }
    }
    return root;
  }

  std::string_view t_;
  std::size_t p_ = 0;
  int maxDepth_;
};

}  // namespace

std::unique_ptr<XmlElement> ParseXml(std::string_view text, int maxDepth) {
  if (text.size() >= 3 && text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  return Parser(text, maxDepth).Run();
}

}  // namespace kw::svg
