// Which place decides the trace's file and limit, over what each place holds;
// and the administrative template (trace/policy/) against the names that
// the code reads, through xmllint.
#include "trace/trace_config.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "core/text.h"

namespace wb::trace {
namespace {

Setting T(std::string text, bool expanded = false) {
  return {Setting::kText, std::move(text), 0, expanded};
}
Setting X(std::string text) {
  return T(std::move(text), true);
}
Setting N(uint64_t number) {
  return {Setting::kNumber, {}, number, false};
}
const Setting U{Setting::kUnreadable, {}, 0, false};
PlaceSettings P(Setting file, Setting limit = {}, Setting allowed = {}) {
  return {std::move(file), std::move(limit), std::move(allowed)};
}

const char* Name(Place place) {
  static const char* const kNames[] = {"machine-policy", "user-policy", "environment",
                                       "user-settings"};
  return kNames[static_cast<size_t>(place)];
}

const char* Name(Refusal refusal) {
  static const char* const kNames[] = {"",
                                       " refused unreadable",
                                       " refused unexpanded",
                                       " refused not-a-number",
                                       " refused too-long",
                                       " refused zero"};
  return kNames[static_cast<size_t>(refusal)];
}

// The decision in one line: "forbidden by P", or
// "file PATH from P[ refused R][ +folder]; limit N from P[ refused R]".
std::string Describe(const TraceDecision& d) {
  if (d.forbidden_by)
    return std::string("forbidden by ") + Name(*d.forbidden_by) + (d.path.empty() ? "" : " BUT ON");
  std::ostringstream out;
  out << "file " << (d.path.empty() ? "-" : d.path) << " from "
      << (d.path_from ? Name(*d.path_from) : "nowhere") << Name(d.path_refused)
      << (d.make_folder ? " +folder" : "") << "; limit " << d.limit << " from "
      << (d.limit_from ? Name(*d.limit_from) : "nowhere") << Name(d.limit_refused);
  return out.str();
}

TEST(TraceConfigTest, TheFirstPlaceThatSetsAValueDecidesIt) {
  const std::string kNoLimit = "; limit 67108864 from nowhere";
  const struct {
    PlaceSettings machine, user_policy, environment, user;  // {file, limit, allowed}
    std::string want;
  } rows[] = {
      // As without policies.
      {{}, {}, {}, {}, "file - from nowhere" + kNoLimit},
      {{}, {}, P(T("E")), {}, "file E from environment" + kNoLimit},
      {{}, {}, {}, P(T("S")), "file S from user-settings" + kNoLimit},
      {{}, {}, P(T("E")), P(T("S")), "file E from environment" + kNoLimit},
      {{}, {}, P(T("")), P(T("S")), "file S from user-settings" + kNoLimit},
      // The policies first, the machine's before the user's; an empty text
      // sets nothing.
      {P(T("M")), P(T("P")), P(T("E")), P(T("S")), "file M from machine-policy +folder" + kNoLimit},
      {{}, P(T("P")), P(T("E")), P(T("S")), "file P from user-policy +folder" + kNoLimit},
      {P(T("")), P(T("P")), {}, {}, "file P from user-policy +folder" + kNoLimit},
      {P(X("C:\\Users\\a\\AppData\\Local\\Workbench\\t.jsonl")),
       {},
       P(T("E")),
       {},
       "file C:\\Users\\a\\AppData\\Local\\Workbench\\t.jsonl from machine-policy +folder" +
           kNoLimit},
      // A policy's value that cannot be used switches the trace off; the
      // places after it are not asked.
      {P(N(1)), {}, P(T("E")), {}, "file - from machine-policy refused unreadable" + kNoLimit},
      {P(U), {}, P(T("E")), {}, "file - from machine-policy refused unreadable" + kNoLimit},
      {{},
       P(X("%NOSUCH%\\t.jsonl")),
       P(T("E")),
       {},
       "file - from user-policy refused unexpanded" + kNoLimit},
      {{},
       P(X("C:\\%NOSUCH%\\t.jsonl")),
       {},
       P(T("S")),
       "file - from user-policy refused unexpanded" + kNoLimit},
      // TraceAllowed: 0 in either policy forbids, whatever the others say;
      // one that is no DWORD forbids too. Anything else allows.
      {P({}, {}, N(0)), {}, P(T("E")), {}, "forbidden by machine-policy"},
      {P(T("M")), P({}, {}, N(0)), P(T("E")), {}, "forbidden by user-policy"},
      {P({}, {}, T("0")), {}, P(T("E")), {}, "forbidden by machine-policy"},
      {{}, P({}, {}, U), {}, P(T("S")), "forbidden by user-policy"},
      {P({}, {}, N(1)), P({}, {}, T("")), P(T("E")), {}, "file E from environment" + kNoLimit},
      // The limit, decided on its own.
      {P({}, N(1500)),
       {},
       P(T("E")),
       P({}, T("1000000")),
       "file E from environment; limit 1500 from machine-policy"},
      {{},
       P({}, T("2048")),
       P({}, T("4096")),
       P(T("S"), T("1000000")),
       "file S from user-settings; limit 2048 from user-policy"},
      {{},
       {},
       P(T("E"), T(" 1048576\t")),
       P({}, T("2")),
       "file E from environment; limit 1048576 from environment"},
      {{},
       {},
       P(T("E"), T("9999999999999999999")),
       {},
       "file E from environment; limit 9999999999999999999 from environment"},
      // A limit that decides but is no usable number gives the default, never
      // wrapped, and the user's limit stays unused.
      {P({}, N(0)),
       {},
       P(T("E")),
       P({}, T("2")),
       "file E from environment; limit 67108864 from machine-policy refused zero"},
      {P({}, T("10MB")),
       {},
       P(T("E")),
       P({}, T("2")),
       "file E from environment; limit 67108864 from machine-policy refused not-a-number"},
      {P({}, U),
       {},
       P(T("E")),
       P({}, T("2")),
       "file E from environment; limit 67108864 from machine-policy refused unreadable"},
      {{},
       {},
       P(T("E"), T("18446744073709551617")),
       P({}, T("2")),
       "file E from environment; limit 67108864 from environment refused too-long"},
      {{},
       {},
       P(T("E"), T(" ")),
       P({}, T("2")),
       "file E from environment; limit 67108864 from environment refused not-a-number"},
      {{},
       {},
       P(T("E"), T("0")),
       {},
       "file E from environment; limit 67108864 from environment refused zero"},
  };
  for (const auto& row : rows) {
    const TracePlaces places = {row.machine, row.user_policy, row.environment, row.user};
    EXPECT_EQ(Describe(DecideTrace(places)), row.want);
  }
}

// The administrative template, read with xmllint.
class PolicyTemplateTest : public ::testing::Test {
 protected:
  static constexpr const char* kAdmx = WB_POLICY_DIR "/Workbench.admx";
  static constexpr const char* kAdmls[] = {WB_POLICY_DIR "/en-US/Workbench.adml",
                                           WB_POLICY_DIR "/zh-CN/Workbench.adml"};

  // xmllint's output with `arguments`, and its exit status.
  static std::pair<std::string, int> Xmllint(const std::string& arguments) {
    FILE* pipe = popen(("xmllint " + arguments + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr)
      return {"", -1};
    std::string out;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      out.append(buffer, n);
    const int status = pclose(pipe);
    return {out, WIFEXITED(status) ? WEXITSTATUS(status) : -1};
  }
  // The XPath 1.0 expression's value as a string ("" when it selects nothing).
  static std::string Value(const char* file, const std::string& xpath) {
    std::string value = Xmllint("--xpath 'string(" + xpath + ")' " + file).first;
    if (!value.empty() && value.back() == '\n')
      value.pop_back();
    return value;
  }
  // The values of the attributes that `xpath` selects, in document order.
  static std::vector<std::string> Attributes(const char* file, const std::string& xpath) {
    std::istringstream lines(Xmllint("--xpath '" + xpath + "' " + file).first);
    std::vector<std::string> values;
    const std::regex attribute(R"re(^ [\w:]+="(.*)"$)re");
    std::smatch match;
    for (std::string line; std::getline(lines, line);) {
      if (std::regex_match(line, match, attribute))
        values.push_back(match[1]);
    }
    return values;
  }
  // An element of the template's namespace, whatever its prefix.
  static std::string E(const std::string& name) { return "*[local-name()=\"" + name + "\"]"; }
};

TEST_F(PolicyTemplateTest, IsWellFormedAndNamesTheValuesThatTheCodeReads) {
  for (const char* file : {kAdmx, kAdmls[0], kAdmls[1]})
    ASSERT_EQ(Xmllint(std::string("--noout ") + file).second, 0) << file << " is not well formed";

  const std::string key = ToUtf8(kPolicyKey);
  std::set<std::string> read, named;
  for (const char16_t* value : kPolicyValues)
    read.insert(ToUtf8(value));
  const std::string policies = "//" + E("policies") + "/" + E("policy");
  const int count = std::stoi("0" + Value(kAdmx, "count(" + policies + ")"));
  ASSERT_EQ(count, 3);
  for (int i = 1; i <= count; ++i) {
    const std::string policy = policies + "[" + std::to_string(i) + "]";
    const std::string name = Value(kAdmx, policy + "/@name");
    EXPECT_EQ(Value(kAdmx, policy + "/@key"), key) << name;
    EXPECT_EQ(Value(kAdmx, policy + "/" + E("parentCategory") + "/@ref"), "Workbench") << name;
    std::vector<std::string> values = Attributes(kAdmx, policy + "//@valueName");
    EXPECT_EQ(values.size(), 1u) << name << " sets one value";
    for (const std::string& value : values) {
      EXPECT_TRUE(read.count(value)) << name << " sets " << value << ", which the code never reads";
      named.insert(value);
    }
    for (const std::string& element_key :
         Attributes(kAdmx, policy + "//" + E("elements") + "//@key"))
      EXPECT_EQ(element_key, key) << name;
  }
  EXPECT_EQ(named, read) << "a value that the code reads has no policy";

  // What each value may hold, as the code takes it.
  const auto with = [&](const char* value) {
    return "//*[@valueName=\"" + std::string(value) + "\"]";
  };
  const std::string file = with("TraceFile");
  EXPECT_EQ(Value(kAdmx, file + "/@expandable"), "true");
  EXPECT_LE(std::stoull("0" + Value(kAdmx, file + "/@maxLength")), kMaxPolicyText);
  const std::string limit = with("TraceLimit");
  EXPECT_EQ(Value(kAdmx, "local-name(" + limit + ")"), "decimal");
  EXPECT_GE(std::stoull("0" + Value(kAdmx, limit + "/@minValue")), 1u);
  EXPECT_LE(std::stoull("0" + Value(kAdmx, limit + "/@maxValue")), kMaxPolicyLimit);
  const std::string allowed = with("TraceAllowed");
  EXPECT_EQ(Value(kAdmx, allowed + "/" + E("disabledValue") + "/" + E("decimal") + "/@value"), "0");
  EXPECT_EQ(Value(kAdmx, allowed + "/" + E("enabledValue") + "/" + E("decimal") + "/@value"), "1");
}

TEST_F(PolicyTemplateTest, BothLanguagesDefineEveryStringAndPresentation) {
  std::set<std::string> strings, presentations;
  const std::regex reference(R"re(^\$\((string|presentation)\.(\w+)\)$)re");
  std::smatch match;
  for (const std::string& text : Attributes(kAdmx, "//@*[starts-with(., \"$(\")]")) {
    ASSERT_TRUE(std::regex_match(text, match, reference)) << text;
    (match[1] == "string" ? strings : presentations).insert(match[2]);
  }
  EXPECT_GE(strings.size(), 9u);  // the category, three policies with their texts, the support
  EXPECT_EQ(presentations.size(), 2u);
  const std::set<std::string> elements = [] {
    const std::vector<std::string> ids = Attributes(kAdmx, "//" + E("elements") + "/*/@id");
    return std::set<std::string>(ids.begin(), ids.end());
  }();
  for (const char* adml : kAdmls) {
    for (const std::string& id : strings) {
      EXPECT_EQ(
          Value(adml, "count(//" + E("stringTable") + "/" + E("string") + "[@id=\"" + id + "\"])"),
          "1")
          << adml << " string " << id;
    }
    for (const std::string& id : presentations) {
      EXPECT_EQ(Value(adml, "count(//" + E("presentation") + "[@id=\"" + id + "\"])"), "1")
          << adml << " presentation " << id;
    }
    // Each box of a presentation stands for an element of the template.
    for (const std::string& ref : Attributes(adml, "//" + E("presentation") + "/*/@refId"))
      EXPECT_TRUE(elements.count(ref)) << adml << " shows " << ref << ", which no policy has";
    EXPECT_EQ(Attributes(adml, "//" + E("presentation") + "/*/@refId").size(), elements.size())
        << adml;
  }
}

}  // namespace
}  // namespace wb::trace
