// Compiled as C++17 (see the header).
#include "model/CifGrammar.h"

#include <gemmi/cif.hpp>

namespace velm {

namespace {
namespace pegtl = tao::pegtl;
namespace rules = gemmi::cif::rules;

template <typename Rule>
struct Action : pegtl::nothing<Rule> {};

template <>
struct Action<rules::datablockname> {
    template <typename Input>
    static void apply(const Input&, CifEvents& e) { e.DataBlock(); }
};
template <>
struct Action<rules::str_loop> {
    template <typename Input>
    static void apply(const Input&, CifEvents& e) { e.LoopStart(); }
};
template <>
struct Action<rules::loop_tag> {
    template <typename Input>
    static void apply(const Input& in, CifEvents& e) { e.LoopTag(std::string_view(in.begin(), in.size())); }
};
template <>
struct Action<rules::loop_value> {
    template <typename Input>
    static void apply(const Input& in, CifEvents& e) { e.LoopValue(std::string_view(in.begin(), in.size())); }
};
template <>
struct Action<rules::loop> {
    template <typename Input>
    static void apply(const Input&, CifEvents& e) { e.LoopEnd(); }
};
template <>
struct Action<rules::item_tag> {
    template <typename Input>
    static void apply(const Input& in, CifEvents& e) { e.ItemTag(std::string_view(in.begin(), in.size())); }
};
template <>
struct Action<rules::item_value> {
    template <typename Input>
    static void apply(const Input& in, CifEvents& e) { e.ItemValue(std::string_view(in.begin(), in.size())); }
};

}  // namespace

void ParseCif(const char* text, std::size_t size, const std::string& source, CifEvents& events) {
    try {
        pegtl::memory_input<> in(text, size, source);
        pegtl::parse<rules::file, Action, gemmi::cif::Errors>(in, events);
    } catch (const pegtl::parse_error& e) {
        throw CifSyntaxError(e.what());
    }
}

}  // namespace velm
