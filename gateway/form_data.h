// The fields of a form as a browser sends them: application/x-www-form-urlencoded text, the query
// string of a GET request or the body of a POST request.
#ifndef CORVEX_GATEWAY_FORM_DATA_H
#define CORVEX_GATEWAY_FORM_DATA_H

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace gateway {

// The text cut at '&' into name=value fields, both parts decoded by decodeFormText. A field
// without '=' has an empty value; empty fields are skipped. Names are compared exactly.
class FormData {
 public:
  explicit FormData(std::string_view encoded);

  // The value of the last field called name (so a checkbox sent after a hidden field of the same
  // name overrides it), or nothing when no field has that name.
  std::optional<std::string> last(std::string_view name) const;

 private:
  std::vector<std::pair<std::string, std::string>> fields_;
};

// '+' becomes a blank and "%XX" (two hexadecimal digits, either case) the byte XX; a '%' without
// two hexadecimal digits after it stays as it is. The bytes are not checked in any other way.
std::string decodeFormText(std::string_view encoded);

}  // namespace gateway

#endif
