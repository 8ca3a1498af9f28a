#pragma once
// The CIF grammar as a stream of events, so that a reader keeps only what it
// needs of a file. This header and its source stay within C++17: the grammar
// library's document headers do not compile as C++20 under every compiler
// the project builds with.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace velm {

class CifEvents {
public:
    virtual ~CifEvents() = default;
    virtual void DataBlock() = 0;
    virtual void LoopStart() = 0;
    virtual void LoopTag(std::string_view tag) = 0;
    virtual void LoopValue(std::string_view value) = 0;
    virtual void LoopEnd() = 0;
    virtual void ItemTag(std::string_view tag) = 0;
    virtual void ItemValue(std::string_view value) = 0;
};

// Text that is no CIF; what() says where (source, line and column) and why.
class CifSyntaxError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Parses `size` bytes of CIF text, telling `events` what it meets in order.
// Throws CifSyntaxError, and lets what `events` throws pass.
void ParseCif(const char* text, std::size_t size, const std::string& source, CifEvents& events);

}  // namespace velm
