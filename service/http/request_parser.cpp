#include "http/request_parser.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace zandle::service {
namespace {

constexpr std::size_t kKeptCapacity = 32 * 1024;

std::string_view trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

bool isTokenChar(char c) {
  const auto byte = static_cast<unsigned char>(c);
  if (byte <= 32 || byte >= 127) return false;
  return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

std::string lowerCase(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return std::tolower(c); });
  return out;
}

bool containsToken(std::string_view list, std::string_view token) {
  const std::string lowered = lowerCase(list);
  std::size_t start = 0;
  while (start <= lowered.size()) {
    std::size_t comma = lowered.find(',', start);
    if (comma == std::string::npos) comma = lowered.size();
    if (trim(std::string_view(lowered).substr(start, comma - start)) == token) return true;
    start = comma + 1;
  }
  return false;
}

// End of the header block: the blank line, with or without carriage returns.
std::size_t findHeadEnd(std::string_view buffer, std::size_t from, std::size_t& terminatorLength) {
  for (std::size_t i = from; i < buffer.size(); ++i) {
    if (buffer[i] != '\n') continue;
    if (i + 1 < buffer.size() && buffer[i + 1] == '\n') {
      terminatorLength = 2;
      return i;
    }
    if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n') {
      terminatorLength = 3;
      return i;
    }
  }
  return std::string_view::npos;
}

}  // namespace

void RequestParser::reset() {
  request_ = HttpRequest{};
  headParsed_ = false;
  blankBytes_ = headLength_ = bodyLength_ = scannedUpTo_ = 0;
  errorStatus_ = 0;
  errorMessage_.clear();
}

void RequestParser::discardInput() {
  std::string().swap(buffer_);
  start_ = 0;
  blankBytes_ = scannedUpTo_ = 0;
}

void RequestParser::consume(std::size_t count) {
  start_ += count;
  // Moving the rest only once half the buffer is spent keeps pipelined
  // requests linear: each move costs at most what was consumed before it.
  if (start_ == buffer_.size()) {
    buffer_.clear();
    start_ = 0;
    // A large body's room is given back rather than kept by an idle connection.
    if (buffer_.capacity() > kKeptCapacity) std::string().swap(buffer_);
  } else if (start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
}

ParseOutcome RequestParser::fail(int status, std::string message) {
  errorStatus_ = status;
  errorMessage_ = std::move(message);
  return ParseOutcome::Failed;
}

ParseOutcome RequestParser::parse() {
  if (!headParsed_) {
    if (const ParseOutcome outcome = parseHead(); outcome != ParseOutcome::Complete) return outcome;
  }
  if (buffer_.size() - start_ - headLength_ < bodyLength_) return ParseOutcome::NeedMore;
  request_.body.assign(buffer_, start_ + headLength_, bodyLength_);
  consume(headLength_ + bodyLength_);
  return ParseOutcome::Complete;
}

ParseOutcome RequestParser::parseHead() {
  if (scannedUpTo_ == 0) {
    // Blank lines before a request line are tolerated, as RFC 9112 asks,
    // but only as many as the head may hold.
    std::size_t skipped = 0;
    while (start_ + skipped < buffer_.size() && (buffer_[start_ + skipped] == '\r' || buffer_[start_ + skipped] == '\n')) {
      ++skipped;
    }
    blankBytes_ += skipped;
    consume(skipped);
    if (blankBytes_ > limits_.maxHeaderBytes) return fail(431, "Request header too large");
  }
  const std::string_view pending = std::string_view(buffer_).substr(start_);
  std::size_t terminatorLength = 0;
  const std::size_t from = scannedUpTo_ > 2 ? scannedUpTo_ - 2 : 0;
  const std::size_t end = findHeadEnd(pending, from, terminatorLength);
  if (end == std::string_view::npos) {
    scannedUpTo_ = pending.size();
    if (blankBytes_ + pending.size() > limits_.maxHeaderBytes) return fail(431, "Request header too large");
    return ParseOutcome::NeedMore;
  }
  if (blankBytes_ + end > limits_.maxHeaderBytes) return fail(431, "Request header too large");
  if (!parseHeadLines(pending.substr(0, end + 1))) return ParseOutcome::Failed;
  if (!decideBodyLength()) return ParseOutcome::Failed;
  headParsed_ = true;
  headLength_ = end + terminatorLength;
  // Room for exactly this request, rather than doubling past it as bytes trickle in.
  buffer_.reserve(start_ + headLength_ + bodyLength_);
  return ParseOutcome::Complete;
}

bool RequestParser::parseHeadLines(std::string_view head) {
  bool firstLine = true;
  while (!head.empty()) {
    std::size_t newline = head.find('\n');
    std::string_view line = head.substr(0, newline);
    head.remove_prefix(newline == std::string_view::npos ? head.size() : newline + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (firstLine) {
      if (!parseRequestLine(line)) return false;
      firstLine = false;
    } else if (!parseHeaderLine(line)) {
      return false;
    }
  }
  return !firstLine || (fail(400, "Empty request"), false);
}

bool RequestParser::parseRequestLine(std::string_view line) {
  const std::size_t firstSpace = line.find(' ');
  const std::size_t lastSpace = line.rfind(' ');
  if (firstSpace == std::string_view::npos || firstSpace == lastSpace) {
    return fail(400, "Malformed request line"), false;
  }
  request_.method = std::string(line.substr(0, firstSpace));
  const std::string_view target = line.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  request_.version = std::string(line.substr(lastSpace + 1));
  if (request_.method.empty() || !std::all_of(request_.method.begin(), request_.method.end(), isTokenChar)) {
    return fail(400, "Malformed method"), false;
  }
  if (request_.version != "HTTP/1.0" && request_.version != "HTTP/1.1") {
    return fail(505, "HTTP version not supported"), false;
  }
  if (target.empty() || target.front() != '/' ||
      std::any_of(target.begin(), target.end(), [](unsigned char c) { return c <= 32 || c == 127; })) {
    return fail(400, "Malformed request target"), false;
  }
  const std::size_t question = target.find('?');
  request_.path = std::string(target.substr(0, question));
  request_.query = question == std::string_view::npos ? std::string() : std::string(target.substr(question + 1));
  return true;
}

bool RequestParser::parseHeaderLine(std::string_view line) {
  if (line.empty()) return true;
  if (line.front() == ' ' || line.front() == '\t') return fail(400, "Obsolete header folding"), false;
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos || colon == 0) return fail(400, "Malformed header"), false;
  const std::string_view name = line.substr(0, colon);
  if (!std::all_of(name.begin(), name.end(), isTokenChar)) return fail(400, "Malformed header name"), false;
  const std::string_view value = trim(line.substr(colon + 1));
  // A lone CR or a NUL would let the value mean something else to the next reader.
  if (value.find_first_of(std::string_view("\r\0", 2)) != std::string_view::npos) {
    return fail(400, "Malformed header value"), false;
  }
  if (request_.headers.size() >= limits_.maxHeaderCount) return fail(431, "Too many headers"), false;
  request_.headers.emplace_back(lowerCase(name), std::string(value));
  return true;
}

bool RequestParser::decideBodyLength() {
  bool lengthSeen = false;
  for (const auto& [name, value] : request_.headers) {
    if (name == "transfer-encoding") return fail(501, "Transfer encodings are not supported"), false;
    if (name != "content-length") continue;
    std::size_t length = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), length);
    if (value.empty() || error != std::errc() || end != value.data() + value.size()) {
      // Overflowing lengths land here too: they are far beyond any limit.
      return fail(error == std::errc::result_out_of_range ? 413 : 400, "Malformed Content-Length"), false;
    }
    if (lengthSeen && length != bodyLength_) return fail(400, "Conflicting Content-Length"), false;
    lengthSeen = true;
    bodyLength_ = length;
  }
  std::size_t limit = limits_.maxBodyBytes;
  if (limits_.bodyLimit) limit = std::min(limit, limits_.bodyLimit(request_.method, request_.path));
  if (bodyLength_ > limit) return fail(413, "Request body too large"), false;
  if (!lengthSeen && request_.method == "POST") return fail(411, "Content-Length required"), false;

  const std::string_view connection = request_.header("connection");
  request_.keepAlive = request_.version == "HTTP/1.1" ? !containsToken(connection, "close")
                                                      : containsToken(connection, "keep-alive");
  return true;
}

}  // namespace zandle::service
