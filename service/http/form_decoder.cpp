#include "http/form_decoder.h"

namespace zandle::service {
namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string decodeFormComponent(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
      out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

FormFields FormFields::parse(std::string_view encoded) {
  FormFields form;
  while (!encoded.empty()) {
    std::size_t amp = encoded.find('&');
    std::string_view pair = encoded.substr(0, amp);
    encoded.remove_prefix(amp == std::string_view::npos ? encoded.size() : amp + 1);
    if (pair.empty()) continue;
    const std::size_t eq = pair.find('=');
    std::string name = decodeFormComponent(pair.substr(0, eq));
    std::string value = eq == std::string_view::npos ? std::string() : decodeFormComponent(pair.substr(eq + 1));
    form.fields_.emplace_back(std::move(name), std::move(value));
  }
  return form;
}

std::optional<std::string> FormFields::single(std::string_view name) const {
  std::optional<std::string> found;
  for (const auto& [key, value] : fields_) {
    if (key != name) continue;
    if (found) return std::nullopt;
    found = value;
  }
  return found;
}

bool FormFields::has(std::string_view name) const { return count(name) > 0; }

std::size_t FormFields::count(std::string_view name) const {
  std::size_t n = 0;
  for (const auto& field : fields_) n += field.first == name;
  return n;
}

}  // namespace zandle::service
