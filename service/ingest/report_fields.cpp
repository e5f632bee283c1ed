#include "ingest/report_fields.h"

#include <charconv>
#include <vector>

#include "ingest/field_limits.h"

namespace zandle::service {
namespace {

// Bounds the look-ups one field can cause, however many dashes it holds.
constexpr std::size_t kMaxModelCandidates = 16;

std::string text(std::string_view bytes) { return storedText(bytes, kMaxTextBytes); }

// Model names, versions and function names, cut to what the client's buffers hold.
std::string name(std::string_view bytes) { return storedText(bytes, kMaxNameBytes); }

// The longest known model m such that `left` is m itself (exact) or starts with m + "-".
std::optional<std::size_t> knownModelLength(std::string_view left, bool allowWhole, const KnownModelCheck& isKnown) {
  if (allowWhole && isKnown(name(left))) return left.size();
  std::vector<std::size_t> dashes;
  for (std::size_t at = left.find('-'); at != std::string_view::npos && dashes.size() < kMaxModelCandidates;
       at = left.find('-', at + 1)) {
    dashes.push_back(at);
  }
  for (auto dash = dashes.rbegin(); dash != dashes.rend(); ++dash) {
    if (isKnown(name(left.substr(0, *dash)))) return *dash;
  }
  return std::nullopt;
}

std::pair<std::string_view, std::string_view> splitAtLast(std::string_view field, char separator) {
  const std::size_t at = field.rfind(separator);
  if (at == std::string_view::npos) return {field, {}};
  return {field.substr(0, at), field.substr(at + 1)};
}

}  // namespace

ModelAndVersion splitModelNameVer(std::string_view field) {
  const auto [model, version] = splitAtLast(field, ',');
  return {name(model), name(version)};
}

UserEnterParts splitUserEnterField(std::string_view field, const KnownModelCheck& isKnown) {
  // The version is last and carries no ",". Before it, a known model name
  // decides where the extra text starts; the client always asks GetAppInfo
  // with the bare model name first, so its tools are known. Failing that the
  // whole rest is taken as the model: a merged name is visible, a wrong cut is not.
  const auto [left, version] = splitAtLast(field, ',');
  UserEnterParts parts{name(left), std::nullopt, name(version)};
  if (const auto length = knownModelLength(left, true, isKnown); length && *length < left.size()) {
    parts.model = name(left.substr(0, *length));
    parts.extra = text(left.substr(*length + 1));
  }
  return parts;
}

SatisfactionParts splitSatisfactionField(std::string_view field, const KnownModelCheck& isKnown) {
  // The function name comes from the comma-separated FunName list and so holds
  // no ","; it is the text after the last ",", except that a survey may also
  // be for the model's own name, which can hold ",". A known model name at the
  // front settles where the version starts; else the version is taken to be
  // after the last "-", since version strings rarely carry one.
  if (const auto length = knownModelLength(field, false, isKnown)) {
    const std::string_view model = field.substr(0, *length);
    const std::string_view rest = field.substr(*length + 1);
    const std::string ownName = "," + std::string(model);
    if (rest.size() > ownName.size() && rest.ends_with(ownName)) {
      return {name(model), name(rest.substr(0, rest.size() - ownName.size())), name(model)};
    }
    const auto [version, function] = splitAtLast(rest, ',');
    return {name(model), name(version), name(function)};
  }
  const auto [left, function] = splitAtLast(field, ',');
  const auto [model, version] = splitAtLast(left, '-');
  return {name(model), name(version), name(function)};
}

LogInfoParts splitLogInfoField(std::string_view field) {
  // The text is free and may hold brackets, so it starts after the first "["
  // and runs to a final "]". Without any "[" the whole field is kept as text.
  const std::size_t open = field.find('[');
  if (open == std::string_view::npos) return {"", "", text(field)};
  std::string_view body = field.substr(open + 1);
  if (body.ends_with(']')) body.remove_suffix(1);
  const auto [model, version] = splitAtLast(field.substr(0, open), ',');
  return {name(model), name(version), text(body)};
}

std::optional<std::int32_t> parseDecimalInt32(std::string_view digits) {
  if (digits.empty() || digits.front() == '+') return std::nullopt;
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

}  // namespace zandle::service
