// One entry of the reference suite's journal in the short form the tests
// compare, one line a creation, call or release:
//   create Finder.OneRecordPick
//   let Finder.OneRecordPick.ClassTypeID = Long 1005001
//   call Finder.OneRecordPick.Show()
//   get CtxStore.SessionBag.GetProperty(ByRef Long 4242, ByRef String "UserName") -> String "x"
//   release Finder.OneRecordPick
// Header only: the native fixture reads the journal in memory, the Windows
// console client reads the suite's journal file.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace wb::testing {

// "[ByRef ]<Kind>[ <value>]": an object by its ProgID, a text quoted.
inline std::string JournalValue(const nlohmann::json& item) {
  std::string out = item.value("byref", false) ? "ByRef " : "";
  out += item.at("type").get<std::string>();
  const auto value = item.find("value");
  if (value == item.end() || value->is_null())
    return out;
  if (value->is_object())
    return out + " " + value->value("progid", std::string("?"));
  return out + " " + value->dump();
}

inline std::string JournalLine(const nlohmann::json& entry) {
  const std::string event = entry.at("event");
  const std::string prog_id = entry.value("progid", std::string());
  if (event == "create" || event == "release" || event == "create-failed")
    return event + " " + prog_id;
  std::string line = event + " " + prog_id + "." + entry.value("member", std::string());
  const nlohmann::json args = entry.value("args", nlohmann::json::array());
  if (event == "let")
    return line + " = " + (args.empty() ? "?" : JournalValue(args.back()));
  line += "(";
  for (size_t i = 0; i < args.size(); ++i)
    line += (i ? ", " : "") + JournalValue(args[i]);
  line += ")";
  if (entry.contains("error"))
    return line + " !! " + std::to_string(entry["error"].value("number", 0));
  if (event == "get")
    line += " -> " + JournalValue(entry.at("result"));
  return line;
}

}  // namespace wb::testing
