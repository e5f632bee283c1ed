#include "store/login_detail_id.h"

#include <sys/random.h>

#include <cerrno>

#include "store/database.h"

namespace zandle::service {

std::int32_t randomLoginDetailId() {
  for (;;) {
    std::uint32_t bits = 0;
    const ssize_t got = getrandom(&bits, sizeof bits, 0);
    if (got < 0 && errno == EINTR) continue;
    if (got != static_cast<ssize_t>(sizeof bits)) throw StoreError("getrandom failed");
    const auto id = static_cast<std::int32_t>(bits & 0x7FFF'FFFFu);
    if (id != 0) return id;
  }
}

}  // namespace zandle::service
