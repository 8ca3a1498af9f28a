#include "batch/StderrUiHooks.h"

namespace velm {

void StderrUiHooks::Message(std::string_view text) {
    std::fprintf(out_, "velm: %.*s\n", static_cast<int>(text.size()), text.data());
}

bool StderrUiHooks::AskYesNo(std::string_view question) {
    std::fprintf(out_, "velm: %.*s [answered no]\n", static_cast<int>(question.size()), question.data());
    return false;
}

void StderrUiHooks::SetStatusText(std::string_view text) {
    if (verbose_) std::fprintf(out_, "velm: %.*s\n", static_cast<int>(text.size()), text.data());
}

void StderrUiHooks::ProgressBegin(std::string_view title, int range) {
    title_ = title;
    range_ = range > 0 ? range : 1;
    position_ = 0;
    drawn_ = -1;
    Draw();
}

void StderrUiHooks::ProgressSet(int position) {
    position_ = position;
    Draw();
}

void StderrUiHooks::ProgressEnd() {
    if (drawn_ >= 0) std::fputc('\n', out_);
    drawn_ = -1;
}

void StderrUiHooks::Draw() {
    const int percent = position_ <= 0 ? 0 : position_ >= range_ ? 100 : static_cast<int>(100LL * position_ / range_);
    if (percent == drawn_) return;
    drawn_ = percent;
    constexpr int kWidth = 40;
    char bar[kWidth + 1];
    for (int i = 0; i < kWidth; ++i) bar[i] = i < percent * kWidth / 100 ? '#' : '.';
    bar[kWidth] = '\0';
    std::fprintf(out_, "\r%s [%s] %3d%%", title_.c_str(), bar, percent);
    std::fflush(out_);
}

}  // namespace velm
