#include "dashboard/export_writer.h"

#include <array>

namespace zandle::service {
namespace {

constexpr std::array<std::string_view, 8> kExportNames = {"summary.json", "sessions.json", "sessions.csv",
                                                          "logs.json",    "logs.csv",      "satisfaction.json",
                                                          "satisfaction.csv", "config.json"};

// Hands the server one piece per store job.
class ExportStream final : public BodySource, public std::enable_shared_from_this<ExportStream> {
 public:
  ExportStream(std::shared_ptr<ExportCursor> cursor, StoreWorker& reader)
      : cursor_(std::move(cursor)), reader_(reader) {}

  void next(Delivery deliver) override {
    auto piece = std::make_shared<std::string>();
    auto more = std::make_shared<bool>(false);
    const bool queued = reader_.submit(
        {[self = shared_from_this(), piece, more](Database& database) {
           piece->clear();
           *more = self->cursor_->next(database, *piece);
         },
         [piece, more, deliver](bool succeeded) { deliver(std::move(*piece), !*more, !succeeded); }});
    if (!queued) deliver({}, true, true);
  }

 private:
  std::shared_ptr<ExportCursor> cursor_;
  StoreWorker& reader_;
};

// The piece read before the response was sent, then the rest.
class PrefetchedStream final : public BodySource {
 public:
  PrefetchedStream(std::string first, std::shared_ptr<BodySource> rest)
      : first_(std::move(first)), rest_(std::move(rest)) {}

  void next(Delivery deliver) override {
    if (!sentFirst_) {
      sentFirst_ = true;
      return deliver(std::move(first_), rest_ == nullptr, false);
    }
    rest_->next(std::move(deliver));
  }

 private:
  std::string first_;
  bool sentFirst_ = false;
  std::shared_ptr<BodySource> rest_;
};

}  // namespace

bool isExportName(std::string_view fileName) {
  for (std::string_view name : kExportNames) {
    if (name == fileName) return true;
  }
  return false;
}

HttpResponse exportResponse(std::string_view fileName, std::string firstPiece, bool complete,
                            std::shared_ptr<ExportCursor> cursor, StoreWorker& reader) {
  HttpResponse response;
  response.contentType = fileName.ends_with(".csv") ? "text/csv; charset=utf-8" : "application/json; charset=utf-8";
  response.headers.emplace_back("Content-Disposition", "attachment; filename=\"zandle-" + std::string(fileName) + "\"");
  std::shared_ptr<BodySource> rest;
  if (!complete) rest = std::make_shared<ExportStream>(std::move(cursor), reader);
  response.bodySource = std::make_shared<PrefetchedStream>(std::move(firstPiece), std::move(rest));
  return response;
}

}  // namespace zandle::service
