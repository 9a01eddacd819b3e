#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "markup_dump.h"
#include "ui/markup.h"

namespace {

using DuiLib::CMarkup;
using DuiLib::CMarkupElement;
using kwtest::DumpDocument;

struct ParseCase {
  const wchar_t* text;
  const wchar_t* tree;  // DumpDocument form; "" when the document has no element
};

// Documents that parse, with the tree they give.
const ParseCase kParses[] = {
    {L"<Window/>", L"Window"},
    {L"<A x=\"1\" y=\"2\"/>", L"A[x=1,y=2]"},
    {L"<A t=\"a &amp; b &foo; c\"/>", L"A[t=a & b &foo; c]"},
    {L"<A a=\"&amp;&amp;\" b=\"2\" c = \"&quot;3&quot;\"/>", L"A[a=&&,b=2,c=\"3\"]"},
    {L"<A>x &lt;&gt;&quot;&apos;&amp y</A>", L"A(x <>\"'&amp y)"},
    {L"<A>", L"A"},
    {L"<A><B>", L"A{B}"},
    {L"<A>top<B>inner", L"A(top){B(inner)}"},
    {L"<A><B/>", L"A{B}"},
    {L"<?xml version=\"1.0\" encoding=\"utf-8\"?><!-- c --><Window></Window>", L"Window"},
    {L"<A>\r\n  <!-- inside --> <B k=\"v\"/>\n<?pi?><C>t</C>\n</A>", L"A(\r\n  ){B[k=v],C(t)}"},
    {L"<A>a&amp;b<B/></A>", L"A(a&b){B}"},
    {L"< A  x=\"1\"  >t</ A >", L"A[x=1](t)"},
    {L"<A/><B>t</B>", L"A;B(t)"},
    {L"<A/></Z><B/>", L"A"},  // an end tag at the top level ends the document
    {L"<A t=\"\xD83D\xDE00<>\"/>", L"A[t=\xD83D\xDE00<>]"},
    {L"<n:a_1 x:y=\"\"/>", L"n:a_1[x:y=]"},
    {L"<\x00C4rger \x00E9t\x00E9=\"1\"/>", L"\x00C4rger[\x00E9t\x00E9=1]"},  // letters beyond ASCII
    {L"<A>b=\"c\"</A>", L"A(b=\"c\")"},  // text that looks like an attribute stays text
    {L"", L""},
    {L" \r\n\t", L""},
    {L"<?xml version=\"1.0\"?>", L""},
    {L"<!-- only a comment -->", L""},
    {L"<!DOCTYPE html>", L""},  // no "->" after it: runs to the end
};

TEST(Markup, ParsesDocumentsToTheirTrees) {
  for (const ParseCase& c : kParses) {
    CMarkup markup;
    ASSERT_TRUE(markup.ParseText(c.text)) << c.text << " -> " << markup.GetLastErrorMessage();
    EXPECT_TRUE(markup.IsValid()) << c.text;
    EXPECT_EQ(DumpDocument(markup), c.tree) << c.text;
    EXPECT_EQ(markup.GetRoot().IsValid(), *c.tree != 0) << c.text;
    EXPECT_TRUE(markup.GetLastErrorMessage().empty()) << c.text;
  }
}

struct FailCase {
  const wchar_t* text;
  const wchar_t* message;
  const wchar_t* location;
};

const FailCase kFailures[] = {
    {L"<A x='1'/>", L"Expected attribute value", L"'1'/>"},
    {L"<A><B></A>", L"Unmatched closing tag", L"A>"},
    {L"<A></AB>", L"Unmatched closing tag", L"B>"},
    {L"<A></A", L"Unmatched closing tag", L""},
    {L"<A><B><C>", L"Expected end-tag start", L""},
    {L"<A><B><C>text", L"Expected end-tag start", L""},
    {L"<A/><B><C>", L"Expected end-tag start", L""},
    {L"<A><B><C/>", L"Expected start tag", L""},
    {L"<A><B/>x</A>", L"Expected start tag", L"x</A>"},
    {L"text", L"Expected start tag", L"text"},
    {L"<A", L"Error parsing element name", L""},
    {L"<A x=\"1\" z>", L"Error while parsing attributes", L">"},
    {L"<A x=\"1", L"Error while parsing attribute string", L""},
    {L"<A x=\"1\" / >", L"Expected start-tag closing", L"/ >"},
    {L"<A x=\"1\"", L"Expected start-tag closing", L""},
};

TEST(Markup, ReportsFailuresWithMessageAndRemainingText) {
  for (const FailCase& c : kFailures) {
    CMarkup markup;
    EXPECT_FALSE(markup.ParseText(c.text)) << c.text;
    EXPECT_EQ(markup.GetLastErrorMessage(), c.message) << c.text;
    EXPECT_EQ(markup.GetLastErrorLocation(), c.location) << c.text;
    EXPECT_FALSE(markup.IsValid()) << c.text;
    EXPECT_FALSE(markup.GetRoot().IsValid()) << c.text;
  }
}

TEST(Markup, ANewParseClearsTheLastError) {
  CMarkup markup;
  ASSERT_FALSE(markup.ParseText(L"<A><B></A>"));
  ASSERT_TRUE(markup.ParseText(L"<A/>"));
  EXPECT_EQ(markup.GetLastErrorMessage(), L"");
  EXPECT_EQ(markup.GetLastErrorLocation(), L"");
  markup.Release();
  EXPECT_FALSE(markup.IsValid());
  EXPECT_FALSE(markup.GetRoot().IsValid());
}

TEST(Markup, AttributesKeepDocumentOrderAndCompareNamesExactly) {
  CMarkup markup;
  ASSERT_TRUE(markup.ParseText(L"<A x=\"1\" y=\"2\"/>"));
  const CMarkupElement a = markup.GetRoot();
  ASSERT_EQ(a.GetAttributeCount(), 2);
  EXPECT_STREQ(a.GetAttributeName(0), L"x");
  EXPECT_STREQ(a.GetAttributeValue(1), L"2");
  EXPECT_STREQ(a.GetAttributeValue(L"y"), L"2");
  EXPECT_STREQ(a.GetAttributeValue(L"X"), L"");
  EXPECT_TRUE(a.HasAttribute(L"x"));
  EXPECT_FALSE(a.HasAttribute(L"X"));
  EXPECT_STREQ(a.GetAttributeValue(2), L"");
  EXPECT_STREQ(a.GetAttributeValue(-1), L"");
  EXPECT_STREQ(a.GetAttributeName(2), L"");
  EXPECT_STREQ(a.GetText(), L"");
  EXPECT_FALSE(a.HasChildren());
  EXPECT_FALSE(a.GetParent().IsValid());
}

TEST(Markup, SeesAtMostSixtyFourAttributes) {
  std::wstring text = L"<A";
  for (int i = 0; i < 70; ++i) text += L" a" + std::to_wstring(i) + L"=\"" + std::to_wstring(i) + L"\"";
  text += L"/>";
  CMarkup markup;
  ASSERT_TRUE(markup.ParseText(text));
  const CMarkupElement a = markup.GetRoot();
  EXPECT_EQ(a.GetAttributeCount(), CMarkupElement::kMaxAttributes);
  EXPECT_STREQ(a.GetAttributeValue(L"a63"), L"63");
  EXPECT_STREQ(a.GetAttributeValue(L"a64"), L"");
}

TEST(Markup, CursorsWalkParentsChildrenAndSiblings) {
  CMarkup markup;
  ASSERT_TRUE(markup.ParseText(L"<R><A><A1/></A><B/></R>"));
  const CMarkupElement root = markup.GetRoot();
  const CMarkupElement a = root.GetFirstChild();
  const CMarkupElement b = a.GetNextSibling();
  EXPECT_STREQ(a.GetName(), L"A");
  EXPECT_STREQ(b.GetName(), L"B");
  EXPECT_TRUE(a.HasSiblings());
  EXPECT_FALSE(b.HasSiblings());
  EXPECT_FALSE(b.GetNextSibling().IsValid());
  EXPECT_STREQ(a.GetFirstChild().GetParent().GetName(), L"A");
  EXPECT_STREQ(b.GetParent().GetName(), L"R");
  const CMarkupElement none;
  EXPECT_FALSE(none.GetFirstChild().IsValid());
  EXPECT_STREQ(none.GetName(), L"");
  EXPECT_EQ(none.GetAttributeCount(), 0);
}

TEST(Markup, WhitespaceAfterABlankIsDroppedOnlyWhenNotPreserved) {
  const wchar_t* text = L"<A t=\"p  \r\n q\">a  \t b\t\tc</A>";
  CMarkup kept;
  ASSERT_TRUE(kept.ParseText(text));
  EXPECT_STREQ(kept.GetRoot().GetText(), L"a  \t b\t\tc");
  EXPECT_STREQ(kept.GetRoot().GetAttributeValue(L"t"), L"p  \r\n q");
  CMarkup folded;
  folded.SetPreserveWhitespace(false);
  ASSERT_TRUE(folded.ParseText(text));
  EXPECT_STREQ(folded.GetRoot().GetText(), L"a b\t\tc");
  EXPECT_STREQ(folded.GetRoot().GetAttributeValue(L"t"), L"p q");
}

TEST(Markup, DeepNestingNeitherOverflowsTheStackNorLosesElements) {
  constexpr int kDepth = 200000;
  std::wstring text;
  for (int i = 0; i < kDepth; ++i) text += L"<a>";
  for (int i = 0; i < kDepth; ++i) text += L"</a>";
  CMarkup markup;
  ASSERT_TRUE(markup.ParseText(text));
  int depth = 0;
  for (auto e = markup.GetRoot(); e.IsValid(); e = e.GetFirstChild()) ++depth;
  EXPECT_EQ(depth, kDepth);
  // Open to the end deeper than the root's children.
  EXPECT_FALSE(markup.ParseText(text.substr(0, 3 * kDepth)));
  EXPECT_EQ(markup.GetLastErrorMessage(), L"Expected end-tag start");
}

struct EncodingCase {
  const char* name;
  std::string bytes;
  DuiLib::MarkupEncoding encoding;
};

std::string Utf16(const std::wstring& text, bool bigEndian, bool mark) {
  std::string out;
  auto put = [&](wchar_t unit) {
    const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
    out += bigEndian ? high : low;
    out += bigEndian ? low : high;
  };
  if (mark) put(0xFEFF);
  for (wchar_t unit : text) put(unit);
  return out;
}

TEST(Markup, DecodesTheThreeEncodings) {
  const std::wstring document = L"<A t=\"\x00E9\xD83D\xDE00\"/>";
  const std::string utf8 = "<A t=\"\xC3\xA9\xF0\x9F\x98\x80\"/>";
  const EncodingCase cases[] = {
      {"utf-8", utf8, DuiLib::MarkupUtf8},
      {"utf-8 with mark", "\xEF\xBB\xBF" + utf8, DuiLib::MarkupUtf8},
      {"utf-16le", Utf16(document, false, true), DuiLib::MarkupUtf16},
      {"utf-16be", Utf16(document, true, true), DuiLib::MarkupUtf16},
      {"utf-16le with a stray odd byte", Utf16(document, false, true) + "x", DuiLib::MarkupUtf16},
  };
  for (const EncodingCase& c : cases) {
    CMarkup markup;
    ASSERT_TRUE(markup.ParseBuffer(c.bytes.data(), c.bytes.size(), c.encoding)) << c.name;
    EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"t"), L"\x00E9\xD83D\xDE00") << c.name;
  }
  const std::string ansi = "<A t=\"x\"/>";
  CMarkup markup;
  ASSERT_TRUE(markup.ParseBuffer(ansi.data(), ansi.size(), DuiLib::MarkupAnsi));
  EXPECT_STREQ(markup.GetRoot().GetAttributeValue(L"t"), L"x");
}

TEST(Markup, Utf16WithoutAByteOrderMarkStaysEmpty) {
  for (const std::string& bytes : {Utf16(L"<A/>", false, false), std::string("\xFF"), std::string()}) {
    CMarkup markup;
    EXPECT_TRUE(markup.ParseBuffer(bytes.data(), bytes.size(), DuiLib::MarkupUtf16));
    EXPECT_FALSE(markup.GetRoot().IsValid());
  }
}

}  // namespace
