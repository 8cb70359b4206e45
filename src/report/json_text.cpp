#include "report/json_text.hpp"

#include <cmath>
#include <cstdio>

namespace parasim::report {

std::string json_string(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
          out += escaped;
        } else {
          out += c;
        }
    }
  }
  return out + "\"";
}

std::string json_real(double value) {
  if (!std::isfinite(value)) {
    return "null";
  }
  char text[32];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

std::string answers_json(const model::Parameters& parameters, int indent) {
  const std::string inner(static_cast<std::size_t>(indent), ' ');
  const std::string outer(static_cast<std::size_t>(indent > 2 ? indent - 2 : 0), ' ');
  std::string out = "{\n";
  for (std::size_t i = 0; i < model::parameter_fields.size(); ++i) {
    const model::ParameterField& field = model::parameter_fields[i];
    const std::string value = field.type == model::AnswerType::integer
                                  ? std::to_string(parameters.*field.integer)
                                  : json_real(parameters.*field.real);
    out += inner + "\"" + std::string(field.name) + "\": " + value +
           (i + 1 < model::parameter_fields.size() ? ",\n" : "\n");
  }
  return out + outer + "}";
}

}  // namespace parasim::report
