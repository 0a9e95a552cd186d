// UTF-8 at the edges: only well-formed UTF-8 decodes to characters; every
// maximal ill-formed part becomes one U+FFFD (the cases of Markus Kuhn's
// decoder test, with the counts the Unicode standard recommends).
#include <gtest/gtest.h>

#include <string_view>

#include "core/text.h"

namespace wb {
namespace {

using namespace std::string_view_literals;

TEST(Utf8Test, DecodesWellFormedTextAndReplacesEachIllFormedPartOnce) {
  const struct {
    const char* what;
    std::string_view bytes;
    std::u16string_view want;
  } rows[] = {
      {"Greek", "\xCE\xBA\xE1\xBD\xB9\xCF\x83\xCE\xBC\xCE\xB5"sv,
       u"\u03BA\u1F79\u03C3\u03BC\u03B5"},
      {"first of each length", "\0\xC2\x80\xE0\xA0\x80\xF0\x90\x80\x80"sv,
       u"\0\u0080\u0800\U00010000"sv},
      {"last of each length", "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF"sv,
       u"\u007F\u07FF\uFFFF\U0010FFFF"},
      {"beside the surrogates", "\xED\x9F\xBF\xEE\x80\x80"sv, u"\uD7FF\uE000"},
      {"a lone continuation byte", "\x80"sv, u"\uFFFD"},
      {"two continuation bytes", "a\x80\xBFz"sv, u"a\uFFFD\uFFFDz"},
      {"a lead byte and a blank", "\xC3 \xE4 \xF1 "sv, u"\uFFFD \uFFFD \uFFFD "},
      {"cut two-byte", "\xC2"sv, u"\uFFFD"},
      {"cut three-byte", "\xE0\xA0"sv, u"\uFFFD"},
      {"cut four-byte, text after",
       "\xF0\x90\x80"
       "A"sv,
       u"\uFFFDA"},
      {"cut sequences in a row", "\xC2\xE0\xA0\xF0\x90\x80"sv, u"\uFFFD\uFFFD\uFFFD"},
      {"bytes that are never UTF-8", "\xFE\xFF\xF5\x80"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"overlong slash, two bytes",
       "a\xC0\xAF"
       "b"sv,
       u"a\uFFFD\uFFFDb"},
      {"overlong slash, three bytes", "\xE0\x80\xAF"sv, u"\uFFFD\uFFFD\uFFFD"},
      {"overlong slash, four bytes", "\xF0\x80\x80\xAF"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"overlong slash, five bytes", "\xF8\x80\x80\x80\xAF"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"largest overlong forms", "\xC1\xBF\xE0\x9F\xBF"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"overlong quote", "\xC0\xA2"sv, u"\uFFFD\uFFFD"},
      {"overlong NUL", "\xC0\x80"sv, u"\uFFFD\uFFFD"},
      {"a high surrogate", "\xED\xA0\x80"sv, u"\uFFFD\uFFFD\uFFFD"},
      {"a low surrogate", "\xED\xBF\xBF"sv, u"\uFFFD\uFFFD\uFFFD"},
      {"a surrogate pair, encoded apart", "\xED\xA0\x80\xED\xB0\x80"sv,
       u"\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"past U+10FFFF", "\xF4\x90\x80\x80"sv, u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"a noncharacter is a character", "\xEF\xBF\xBE"sv, u"\uFFFE"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(FromUtf8(row.bytes), row.want);
  }
}

TEST(Utf8Test, EncodesPairsAndReplacesUnpairedSurrogates) {
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(ToUtf8(u"a\xD800"
                   u"b\xDC00"),
            "a\xEF\xBF\xBD"
            "b\xEF\xBF\xBD");
  EXPECT_EQ(FromUtf8(ToUtf8(u"\u00E9\u4E2D\U0010FFFF")), u"\u00E9\u4E2D\U0010FFFF");
}

}  // namespace
}  // namespace wb
