#include "core/VelmError.h"

namespace velm {

std::string_view VelmError::source() const noexcept {
    std::string_view file = where_.file_name();
    if (const size_t slash = file.find_last_of('/'); slash != std::string_view::npos) file.remove_prefix(slash + 1);
    if (const size_t dot = file.find('.'); dot != std::string_view::npos) file = file.substr(0, dot);
    return file;
}

}  // namespace velm
