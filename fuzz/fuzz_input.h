// Reading structured values out of a fuzz input: a cursor that hands out bytes, small numbers
// and zero-terminated pieces, and yields defaults once the input runs out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace trasslo::fuzz {

class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    bool empty() const { return rest_.empty(); }
    std::string_view rest() const { return rest_; }

    std::uint8_t byte() {
        if (rest_.empty()) return 0;
        const auto b = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return b;
    }

    // The bytes up to the next `end` byte (which is consumed), or the rest of the input.
    std::string_view piece(char end = '\0') {
        const std::size_t at = rest_.find(end);
        std::string_view out = rest_.substr(0, at);
        rest_.remove_prefix(at == std::string_view::npos ? rest_.size() : at + 1);
        return out;
    }

  private:
    std::string_view rest_;
};

}  // namespace trasslo::fuzz
