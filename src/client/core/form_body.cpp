#include "client/core/form_body.h"

#include <algorithm>

namespace zandle {
namespace {

std::size_t EncodedByteLength(char c) {
  return (c == '%' || c == '&' || c == '=' || c == '+') ? 3 : 1;
}

void AppendEncodedByte(std::string& out, char c) {
  switch (c) {
    case '%': out += "%25"; break;
    case '&': out += "%26"; break;
    case '=': out += "%3D"; break;
    case '+': out += "%2B"; break;
    default: out.push_back(c);
  }
}

// Encoded length of the longest whole-character prefix within `budget`, and its byte count.
std::size_t EncodedPrefix(FormText text, std::size_t budget, std::size_t* sourceBytes) {
  std::size_t pos = 0, encoded = 0;
  while (pos < text.bytes.size()) {
    std::size_t n = text.charLength(text.bytes.substr(pos));
    if (n == 0) n = 1;
    std::size_t cost = 0;
    for (std::size_t i = 0; i < n; ++i) cost += EncodedByteLength(text.bytes[pos + i]);
    if (encoded + cost > budget) break;
    encoded += cost;
    pos += n;
  }
  if (sourceBytes) *sourceBytes = pos;
  return encoded;
}

std::size_t EncodedLength(FormText text) {
  std::size_t n = 0;
  for (char c : text.bytes) n += EncodedByteLength(c);
  return n;
}

}  // namespace

std::string PercentEncodeFormValue(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) AppendEncodedByte(out, c);
  return out;
}

FormBodyBuilder& FormBodyBuilder::Literal(std::string_view ascii) {
  pieces_.push_back(Piece{std::string(ascii), {}, false, 0});
  return *this;
}

FormBodyBuilder& FormBodyBuilder::Int(std::int32_t value) {
  pieces_.push_back(Piece{std::to_string(value), {}, false, 0});
  return *this;
}

FormBodyBuilder& FormBodyBuilder::Text(FormText text, int shrinkRank) {
  pieces_.push_back(Piece{{}, text, true, shrinkRank});
  return *this;
}

std::string FormBodyBuilder::Build(std::size_t bufferSize) const {
  const std::size_t limit = ContentOf(bufferSize);
  std::vector<std::size_t> keep(pieces_.size());  // source bytes kept per text piece
  std::size_t total = 0;
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    const Piece& p = pieces_[i];
    total += p.isText ? EncodedLength(p.text) : p.fixed.size();
    if (p.isText) keep[i] = p.text.bytes.size();
  }

  // Shrink values, highest rank first, later pieces first within a rank.
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < pieces_.size(); ++i)
    if (pieces_[i].isText) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
    return pieces_[a].shrinkRank > pieces_[b].shrinkRank || (pieces_[a].shrinkRank == pieces_[b].shrinkRank && a > b);
  });
  for (std::size_t i : order) {
    if (total <= limit) break;
    const std::size_t full = EncodedLength(pieces_[i].text);
    const std::size_t excess = total - limit;
    const std::size_t budget = full > excess ? full - excess : 0;
    const std::size_t kept = EncodedPrefix(pieces_[i].text, budget, &keep[i]);
    total -= full - kept;
  }

  std::string out;
  out.reserve(std::min(total, limit));
  for (std::size_t i = 0; i < pieces_.size(); ++i) {
    const Piece& p = pieces_[i];
    if (p.isText) {
      for (std::size_t b = 0; b < keep[i]; ++b) AppendEncodedByte(out, p.text.bytes[b]);
    } else {
      out += p.fixed;
    }
  }
  // Only literals and integers are left over the limit here: cut at the limit.
  if (out.size() > limit) out.resize(limit);
  return out;
}

std::string BuildGetAppInfoBody(std::int32_t uin, FormText modelUtf8, FormText versionUtf8) {
  return FormBodyBuilder{}
      .Literal("strLoginUIN=").Int(uin)
      .Literal("&strModelNameVer=").Text(modelUtf8, 1)
      .Literal(",").Text(versionUtf8, 2)
      .Build(kBodyBufferSize);
}

std::string BuildUserEnterBody(std::int32_t uin, FormText modelUtf8, const FormText* extraUtf8,
                               FormText versionLocal) {
  FormBodyBuilder body;
  body.Literal("strLoginUIN=").Int(uin).Literal("&strModelNameVer=").Text(modelUtf8, 1);
  if (extraUtf8) body.Literal("-").Text(*extraUtf8, 3);
  return body.Literal(",").Text(versionLocal, 2).Build(kBodyBufferSize);
}

std::string BuildUserLeaveBody(std::int32_t loginDetailId) {
  return FormBodyBuilder{}.Literal("nLoginDetailID=").Int(loginDetailId).Build(kBodyBufferSize);
}

std::string BuildWriteLogBody(std::int32_t uin, FormText modelUtf8, FormText versionLocal, FormText textUtf8,
                              std::int32_t level) {
  return FormBodyBuilder{}
      .Literal("strLoginUIN=").Int(uin)
      .Literal("&strLogInfo=").Text(modelUtf8, 1)
      .Literal(",").Text(versionLocal, 2)
      .Literal("[").Text(textUtf8, 3)
      .Literal("]&nLogLevel=").Int(level)
      .Build(kWriteLogBodyBufferSize);
}

std::string BuildSatisfactionBody(std::int32_t uin, FormText modelUtf8, FormText versionLocal,
                                  FormText functionUtf8, std::int32_t level) {
  return FormBodyBuilder{}
      .Literal("strLoginUIN=").Int(uin)
      .Literal("&strModelNameVer=").Text(modelUtf8, 1)
      .Literal("-").Text(versionLocal, 3)
      .Literal(",").Text(functionUtf8, 2)
      .Literal("&nSatisLevel=").Int(level)
      .Literal("&strSatisInfo=NULL")
      .Build(kBodyBufferSize);
}

}  // namespace zandle
