#include "http/http_response.h"

namespace zandle::service {

std::string_view reasonPhrase(int status) {
  switch (status) {
    case 200: return "OK";
    case 303: return "See Other";
    case 400: return "Bad Request";
    case 401: return "Unauthorized";
    case 403: return "Forbidden";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 411: return "Length Required";
    case 413: return "Content Too Large";
    case 429: return "Too Many Requests";
    case 431: return "Request Header Fields Too Large";
    case 500: return "Internal Server Error";
    case 501: return "Not Implemented";
    case 503: return "Service Unavailable";
    case 505: return "HTTP Version Not Supported";
    default: return "Unknown";
  }
}

std::string serializeResponse(const HttpResponse& response, bool keepAlive) {
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " ";
  out.append(reasonPhrase(response.status));
  out += "\r\nContent-Type: " + response.contentType;
  out += "\r\nContent-Length: " + std::to_string(response.body.size());
  out += keepAlive ? "\r\nConnection: keep-alive" : "\r\nConnection: close";
  for (const auto& [name, value] : response.headers) out += "\r\n" + name + ": " + value;
  out += "\r\n\r\n";
  out += response.body;
  return out;
}

std::string serializeStreamHead(const HttpResponse& response, bool keepAlive, bool chunked) {
  std::string out = "HTTP/1.1 " + std::to_string(response.status) + " ";
  out.append(reasonPhrase(response.status));
  out += "\r\nContent-Type: " + response.contentType;
  if (chunked) out += "\r\nTransfer-Encoding: chunked";
  out += keepAlive ? "\r\nConnection: keep-alive" : "\r\nConnection: close";
  for (const auto& [name, value] : response.headers) out += "\r\n" + name + ": " + value;
  out += "\r\n\r\n";
  return out;
}

HttpResponse plainTextResponse(int status, std::string_view text) {
  HttpResponse response;
  response.status = status;
  response.body = std::string(text) + "\n";
  return response;
}

HttpResponse redirectResponse(std::string_view location) {
  HttpResponse response = plainTextResponse(303, "See Other");
  response.headers.emplace_back("Location", std::string(location));
  return response;
}

}  // namespace zandle::service
