#include "tools/json/json_io.h"

#include <set>
#include <vector>

namespace brisk::json {

namespace {

// Thrown from the parser's callback to end the parse at the first fault.
struct Refusal {
  std::string reason;
};

// The library's message without its "[json.exception.parse_error.101] ".
std::string ParseFault(const Json::exception& fault) {
  const std::string what = fault.what();
  const std::size_t end = what.find("] ");
  return what.starts_with("[json.exception.") && end != std::string::npos ? what.substr(end + 2) : what;
}

}  // namespace

std::optional<Json> Parse(std::string_view text, std::string* error, int maxDepth) {
  // The names of the members read so far, one set per object being read.
  std::vector<std::set<std::string, std::less<>>> names;
  const auto check = [&names, maxDepth](int depth, Json::parse_event_t event, Json& parsed) {
    switch (event) {
      case Json::parse_event_t::object_start:
      case Json::parse_event_t::array_start:
        if (depth >= maxDepth) {
          throw Refusal{"objects and arrays nested deeper than " + std::to_string(maxDepth) +
                        (maxDepth == 1 ? " level" : " levels")};
        }
        if (event == Json::parse_event_t::object_start) names.emplace_back();
        break;
      case Json::parse_event_t::object_end:
        names.pop_back();
        break;
      case Json::parse_event_t::key: {
        const std::string& name = parsed.get_ref<const std::string&>();
        if (!names.back().insert(name).second) throw Refusal{"member \"" + name + "\" given twice"};
        break;
      }
      default:
        break;
    }
    return true;
  };
  try {
    return Json::parse(text, check);
  } catch (const Json::parse_error& fault) {
    if (error) *error = ParseFault(fault);
  } catch (const Refusal& refusal) {
    if (error) *error = refusal.reason;
  }
  return std::nullopt;
}

std::optional<Json> ParseObject(std::string_view text, std::string* error, int maxDepth) {
  std::optional<Json> value = Parse(text, error, maxDepth);
  if (value && !value->is_object()) {
    if (error) *error = "not an object";
    return std::nullopt;
  }
  return value;
}

std::string OneLine(const Json& value) { return value.dump(-1, ' ', false, Json::error_handler_t::replace); }

}  // namespace brisk::json
